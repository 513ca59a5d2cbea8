// What the materials of the masks and the detector do to a photon of one energy: a mask's
// opaque pixels transmit T(E) = exp(-mu(E) t) instead of nothing, and a detector layer
// interacts with (catches) a photon with probability 1 - exp(-mu(E) t).
#pragma once

#include "params/ExtensionSettings.hpp"
#include "util/XrayMaterial.hpp"

namespace conesim {

// For one photon energy.
struct LayerTransmission {
    double preMaskBlocking = 1.0;     //!< 1 - T(E) of the pre-sample mask's opaque pixels
    double postMaskBlocking = 1.0;    //!< the same for the post-sample mask
    double detectorEfficiency = 1.0;  //!< quantumEfficiency * (1 - exp(-mu(E) t)) of the layer
};

// One layer: its material and its thickness in cm.
struct MaterialLayer {
    bool present = false;
    XrayMaterial material;
    double thicknessCm = 0.0;

    // exp(-mu(E) t).
    double transmission(double energyKeV) const;
};

struct LayerMaterials {
    MaterialLayer preMask;
    MaterialLayer postMask;
    MaterialLayer detector;

    bool any() const { return preMask.present || postMask.present || detector.present; }
    // The layers' effect at one energy, the detector's with the settings' quantumEfficiency.
    LayerTransmission at(double energyKeV, float quantumEfficiency) const;
};

// The layers the extension settings give (checked when the file was read).
LayerMaterials makeLayerMaterials(const ExtensionSettings& settings);

}  // namespace conesim
