// Settings given by name after the END line of a parameter file. Each has a default that
// leaves the run as it is without them: its parameter table row's default text, which
// extensionDefaults() converts as the reader converts a file's value.
#pragma once

#include <string>

namespace conesim {

// Which energy a photon carries when the physics asks for one.
enum class PhotonEnergyMode {
    kMean,      //!< every photon has the spectrum's mean energy ("mean")
    kSpectrum,  //!< each photon draws its energy from the spectrum's list ("spectrum")
};

// How the precalculation turns the sample into deflection planes.
enum class DeflectionModel {
    kAuto,       //!< chosen from how the sample is given ("auto"); see effectiveDeflectionModel
    kInterface,  //!< Snell's law at fitted interface angles ("interface")
    kPhase,      //!< lateral derivative of the projected refractive-index decrement ("phase")
};

struct ExtensionSettings {
    double focalSpotFwhmX{};  //!< focal spot full width at half maximum along x (length units); 0 =
                              //!< point source
    double focalSpotFwhmY{};  //!< the same along y (length units)
    PhotonEnergyMode photonEnergies{};  //!< "mean" or "spectrum"
    double detectorBlurSigma{};     //!< Gaussian blur of the detector, standard deviation (detector
                                    //!< pixels)
    double lengthUnitMm{};          //!< millimetres per length unit; 0 when not given
    std::string sampleMaterials;    //!< materials file (LABEL DENSITY COMPOUND); empty: none
    std::string sampleScatterFile;  //!< float volume of the sample's size: per voxel the
                                    //!< linear diffusion coefficient (rad^2/mm); empty: none
    std::string preMaskMaterial;    //!< opaque part of the pre-sample mask, "COMPOUND:DENSITY"
    double preMaskThickness{};      //!< its thickness (length units)
    std::string postMaskMaterial;   //!< opaque part of the post-sample mask
    double postMaskThickness{};     //!< its thickness (length units)
    std::string detectorMaterial;   //!< the detector's absorbing layer, "COMPOUND:DENSITY"
    double detectorThickness{};     //!< its thickness (length units)
    bool spectrumWeights{};         //!< the spectrum file holds ENERGY WEIGHT pairs
    DeflectionModel deflectionModel{};  //!< "auto", "interface" or "phase"
    double preMaskShiftX{};     //!< pre-sample mask moved across the beam towards +x (length units)
    double preMaskShiftY{};     //!< the same towards +y (length units)
    double sampleRotation{};    //!< sample turned about the vertical axis (degrees)
    std::string planeFolder{};  //!< folder of the map, plane and record files
    bool given{};               //!< true when the file held at least one extension setting
};

// The settings as the parameter table's defaults give them.
ExtensionSettings extensionDefaults();

// The model a run uses. A sample given as a voxel file of values refracts through the
// interface model unless phase is asked for, a sample given as materials through the phase
// model unless interface is asked for; auto is decided here alone.
inline DeflectionModel effectiveDeflectionModel(const ExtensionSettings& settings) {
    if (settings.deflectionModel == DeflectionModel::kAuto) {
        return settings.sampleMaterials.empty() ? DeflectionModel::kInterface
                                                : DeflectionModel::kPhase;
    }
    return settings.deflectionModel;
}

}  // namespace conesim
