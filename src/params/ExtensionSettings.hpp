// Settings given by name after the END line of a parameter file. Each has a default that
// leaves the run as it is without them.
#pragma once

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
        0.0;             //!< Gaussian blur of the detector, standard deviation (detector pixels)
    bool given = false;  //!< true when the file held at least one extension setting
};

}  // namespace conesim
