// Everything the photons of a run share, derived once from the settings before the first
// photon and read-only afterwards: the masks, the sample planes, the geometry of each axis
// and the per-axis tables. Any number of workers trace photons against one set-up.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "engine/AxisTable.hpp"
#include "engine/MaskTransmission.hpp"
#include "engine/PhotonEffects.hpp"
#include "engine/SampleTransport.hpp"
#include "params/SimulationParameters.hpp"

namespace conesim {

// The detector of the settings as the photon source's cone sees it.
DetectorCone detectorCone(const SimulationParameters& p);

struct PhotonLoopInputs {
    const SimulationParameters& parameters;
    const SampleGeometry& sample;
    const SamplePlanes& planes;
    const std::vector<std::uint8_t>& preMask;
    const std::vector<std::uint8_t>& postMask;
    const std::string& runName;
};

class PhotonSetup {
  public:
    // coneX/Y: the cone's direction angles (from the photon source); showAll: whether
    // photons crossing zero attenuation go on; energies: the spectrum's accepted entries,
    // from which each photon draws its energy when the settings ask for it (the planes were
    // made at the parameters' sampleEnergy).
    PhotonSetup(const PhotonLoopInputs& inputs, const ConeAxis& coneX, const ConeAxis& coneY,
                bool showAll, std::span<const float> energies = {},
                std::span<const double> weights = {});
    PhotonSetup(const PhotonSetup&) = delete;
    PhotonSetup& operator=(const PhotonSetup&) = delete;

    const AxisTable& tableX() const { return tableX_; }
    // A square set-up has the same geometry along both axes: one table then serves both,
    // which halves what the photons read.
    const AxisTable& tableY() const { return ownTableY_ ? *ownTableY_ : tableX_; }

    const SimulationParameters& parameters;
    const bool preMaskActive;
    const bool postMaskActive;
    const bool sampleActive;
    const bool showAll;
    const bool ditherPhotons;
    const MaskGeometry preMask;
    const MaskGeometry postMask;
    const SampleGeometry sample;
    const AxisGeometry axisX;
    const AxisGeometry axisY;
    const PackedPlanes planes;
    const std::int64_t width;             //!< detector pixels per row
    const std::int64_t height;            //!< detector rows
    const float efficiencyLimit;          //!< quantumEfficiency * 32767: a draw above it is lost
    const LayerMaterials layerMaterials;  //!< the masks' and the detector's materials
    const LayerTransmission planeLayers;  //!< their effect at the planes' energy
    const bool detectorLayer;     //!< the detector has a material: efficiency from a 30-bit uniform
    const PhotonEffects effects;  //!< focal spot, photon energies, detector blur

  private:
    AxisTable tableX_;
    std::optional<AxisTable> ownTableY_;
};

}  // namespace conesim
