// Settings given by name after the END line of a parameter file. Each has a default that
// leaves the run as it is without them.
#pragma once

#include <string>

namespace conesim {

// Which energy a photon carries when the physics asks for one.
enum class PhotonEnergyMode {
    kMean,      //!< every photon has the spectrum's mean energy ("mean")
    kSpectrum,  //!< each photon draws its energy from the spectrum's list ("spectrum")
};

struct ExtensionSettings {
    double focalSpotFwhmX =
        0.0;  //!< focal spot full width at half maximum along x (length units); 0 = point source
    double focalSpotFwhmY = 0.0;                                //!< the same along y (length units)
    PhotonEnergyMode photonEnergies = PhotonEnergyMode::kMean;  //!< "mean" or "spectrum"
    double detectorBlurSigma =
        0.0;  //!< Gaussian blur of the detector, standard deviation (detector pixels)
    double lengthUnitMm = 0.0;       //!< millimetres per length unit; 0 when not given
    std::string sampleMaterials;     //!< materials file (LABEL DENSITY COMPOUND); empty: none
    std::string preMaskMaterial;     //!< opaque part of the pre-sample mask, "COMPOUND:DENSITY"
    double preMaskThickness = 0.0;   //!< its thickness (length units)
    std::string postMaskMaterial;    //!< opaque part of the post-sample mask
    double postMaskThickness = 0.0;  //!< its thickness (length units)
    std::string detectorMaterial;    //!< the detector's absorbing layer, "COMPOUND:DENSITY"
    double detectorThickness = 0.0;  //!< its thickness (length units)
    bool spectrumWeights = false;    //!< the spectrum file holds ENERGY WEIGHT pairs
    bool given = false;              //!< true when the file held at least one extension setting
};

}  // namespace conesim
