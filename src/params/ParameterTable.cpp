#include "params/ParameterTable.hpp"

#include <algorithm>
#include <array>
#include <locale>
#include <sstream>
#include <type_traits>
#include <variant>

namespace conesim {

namespace {

// Kept in the order of the file; a test compares every column with the README.
constexpr std::array<ParameterInfo, 48> kPositional = {{
    {1, "preMaskSize", ParameterKind::kUnsignedInteger, "pixels",
     "edge of the square pre-sample mask image", "≤ 10000", 1, "100", "1000", false,
     &SimulationParameters::preMaskSize, 0.0, 10000.0, RangeRule::kAtMost},
    {2, "preMaskPosition", ParameterKind::kInteger, "length",
     "distance of the pre-sample mask from the source (integer)", "0 to 20000", 2, "50", "4000",
     false, &SimulationParameters::preMaskPosition, 0.0, 20000.0, RangeRule::kBetween},
    {3, "preMaskScale", ParameterKind::kReal, "pixels/length",
     "pre-sample mask pixels per length unit (a pixel is 1/scale wide)", "> 0 and ≤ 1000", 3, "1",
     "10", false, &SimulationParameters::preMaskScale, 0.0, 1000.0, RangeRule::kAboveZero},
    {4, "preMaskImageFile", ParameterKind::kText, "path",
     "pre-sample mask image (P2); a file that cannot be opened switches the mask off, with a "
     "warning",
     "", 0, "1.pgm", "pre-mask.pgm", false, &SimulationParameters::preMaskImageFile},
    {5, "apertureLrPif", ParameterKind::kReal, "pixel fraction",
     "coded-aperture window, LR: the fraction of a detector pixel, on the undeflected path, "
     "through which photons pass",
     "0 to 1, and 5 + 6 ≤ 1", 33, "1", "1", false, &SimulationParameters::apertureLrPif, 0.0, 1.0,
     RangeRule::kBetween},
    {6, "apertureLrOffset", ParameterKind::kReal, "pixel fraction",
     "where in the pixel that window begins, LR", "0 to 1, and 5 + 6 ≤ 1", 33, "0", "0", false,
     &SimulationParameters::apertureLrOffset, 0.0, 1.0, RangeRule::kBetween},
    {7, "apertureUdPif", ParameterKind::kReal, "pixel fraction", "coded-aperture window, UD",
     "0 to 1, and 7 + 8 ≤ 1", 34, "1", "1", false, &SimulationParameters::apertureUdPif, 0.0, 1.0,
     RangeRule::kBetween},
    {8, "apertureUdOffset", ParameterKind::kReal, "pixel fraction", "start of that window, UD",
     "0 to 1, and 7 + 8 ≤ 1", 34, "0", "0", false, &SimulationParameters::apertureUdOffset, 0.0,
     1.0, RangeRule::kBetween},
    {9, "sampleStart", ParameterKind::kReal, "length", "position of the sample's first slice",
     "0 to 20000, and ≥ value 2", 4, "50", "5000", false, &SimulationParameters::sampleStart, 0.0,
     20000.0, RangeRule::kBetween},
    {10, "sampleDimX", ParameterKind::kUnsignedInteger, "voxels", "voxels along x", "≤ 3000", 5,
     "100", "128", true, &SimulationParameters::sampleDimX, 0.0, 3000.0, RangeRule::kAtMost},
    {11, "sampleDimY", ParameterKind::kUnsignedInteger, "voxels", "voxels along y", "≤ 3000", 5,
     "100", "128", true, &SimulationParameters::sampleDimY, 0.0, 3000.0, RangeRule::kAtMost},
    {12, "sampleDimZ", ParameterKind::kUnsignedInteger, "voxels", "voxels along z, the beam",
     "≤ 3000", 5, "100", "64", true, &SimulationParameters::sampleDimZ, 0.0, 3000.0,
     RangeRule::kAtMost},
    {13, "sampleScaleX", ParameterKind::kReal, "length", "voxel size along x", "> 0 and ≤ 10", 6,
     "100", "0.1", true, &SimulationParameters::sampleScaleX, 0.0, 10.0, RangeRule::kAboveZero},
    {14, "sampleScaleY", ParameterKind::kReal, "length", "voxel size along y", "> 0 and ≤ 10", 6,
     "100", "0.1", true, &SimulationParameters::sampleScaleY, 0.0, 10.0, RangeRule::kAboveZero},
    {15, "sampleScaleZ", ParameterKind::kReal, "length", "voxel size along z", "> 0 and ≤ 10", 6,
     "100", "0.1", true, &SimulationParameters::sampleScaleZ, 0.0, 10.0, RangeRule::kAboveZero},
    {16, "sampleValueScale", ParameterKind::kReal, "",
     "factor turning voxel values into attenuation coefficients (1/cm) for the refractive index; "
     "0: 10 / sampleScaleX",
     "0 to 2000", 7, "1000", "1000", true, &SimulationParameters::sampleValueScale, 0.0, 2000.0,
     RangeRule::kBetween},
    {17, "sampleFile", ParameterKind::kText, "path", "sample volume file", "", 0, "Sample.bin",
     "sample.bin", true, &SimulationParameters::sampleFile},
    {18, "edgeSearchAcross", ParameterKind::kInteger, "voxels",
     "neighbouring columns on each side searched for a boundary's tilt", "1 to 30", 9, "3", "3",
     true, &SimulationParameters::edgeSearchAcross, 1.0, 30.0, RangeRule::kBetween},
    {19, "edgeSearchDepth", ParameterKind::kInteger, "slices",
     "slices before and after searched for a boundary's tilt", "1 to 100", 10, "20", "20", true,
     &SimulationParameters::edgeSearchDepth, 1.0, 100.0, RangeRule::kBetween},
    {20, "smoothingThreshold", ParameterKind::kReal, "",
     "low-value smoothing threshold; listed in the run log, used by nothing else", "1e-20 to 1", 31,
     "0.0001", "0.0001", true, &SimulationParameters::smoothingThreshold, 1e-20, 1.0,
     RangeRule::kBetween},
    {21, "postMaskSize", ParameterKind::kUnsignedInteger, "pixels",
     "edge of the square post-sample mask image", "≤ 10000", 11, "100", "1000", false,
     &SimulationParameters::postMaskSize, 0.0, 10000.0, RangeRule::kAtMost},
    {22, "postMaskPosition", ParameterKind::kInteger, "length",
     "distance of the post-sample mask from the source (integer)", "≤ 20000, and ≥ value 9", 12,
     "150", "19000", false, &SimulationParameters::postMaskPosition, 0.0, 20000.0,
     RangeRule::kAtMost},
    {23, "postMaskScale", ParameterKind::kReal, "pixels/length",
     "post-sample mask pixels per length unit", "> 0 and ≤ 1000", 13, "1", "10", false,
     &SimulationParameters::postMaskScale, 0.0, 1000.0, RangeRule::kAboveZero},
    {24, "postMaskImageFile", ParameterKind::kText, "path",
     "post-sample mask image (P2); a file that cannot be opened switches the mask off, with a "
     "warning",
     "", 0, "2.pgm", "post-mask.pgm", false, &SimulationParameters::postMaskImageFile},
    {25, "detectorWidth", ParameterKind::kUnsignedInteger, "pixels", "detector pixels per row",
     "≤ 50000", 17, "400", "400", false, &SimulationParameters::detectorWidth, 0.0, 50000.0,
     RangeRule::kAtMost},
    {26, "detectorHeight", ParameterKind::kUnsignedInteger, "pixels", "detector rows", "≤ 50000",
     18, "400", "400", false, &SimulationParameters::detectorHeight, 0.0, 50000.0,
     RangeRule::kAtMost},
    {27, "detectorPosition", ParameterKind::kTruncatedReal, "length",
     "source-to-detector distance (read as a real, truncated)", "≤ 20000, and ≥ value 22", 19,
     "150", "20000", false, &SimulationParameters::detectorPosition, 0.0, 20000.0,
     RangeRule::kAtMost},
    {28, "detectorPixelSizeX", ParameterKind::kReal, "length", "pixel size along x", "1e-6 to 10",
     20, "1", "0.5", false, &SimulationParameters::detectorPixelSizeX, 1e-6, 10.0,
     RangeRule::kBetween},
    {29, "detectorPixelSizeY", ParameterKind::kReal, "length", "pixel size along y", "1e-6 to 10",
     21, "1", "0.5", false, &SimulationParameters::detectorPixelSizeY, 1e-6, 10.0,
     RangeRule::kBetween},
    {30, "showAllPhotons", ParameterKind::kFlag, "flag",
     "1: photons crossing the sample where its attenuation is 0 are counted; 0: they are removed",
     "", 0, "1", "1", false, &SimulationParameters::showAllPhotons},
    {31, "ditherPhotons", ParameterKind::kFlag, "flag",
     "1: each counted photon's pixel is moved at random by up to one column and row", "", 0, "1",
     "1", false, &SimulationParameters::ditherPhotons},
    {32, "runMode", ParameterKind::kInteger, "",
     "3: compute the planes from the sample; 4: from the volume maps of an earlier run; 5: read "
     "the planes of an earlier run",
     "3, 4 or 5", 24, "0", "3", true, &SimulationParameters::runMode, 3.0, 5.0, RangeRule::kOneOf},
    {33, "quantumEfficiency", ParameterKind::kReal, "",
     "probability that a photon reaching the detector is counted", "0.0001 to 1", 25, "1", "1",
     false, &SimulationParameters::quantumEfficiency, 0.0001, 1.0, RangeRule::kBetween},
    {34, "detectorLrPif", ParameterKind::kReal, "pixel fraction",
     "sensitive fraction of each pixel, LR, on the deflected path", "0 to 1, and 34 + 35 ≤ 1", 35,
     "1", "1", false, &SimulationParameters::detectorLrPif, 0.0, 1.0, RangeRule::kBetween},
    {35, "detectorLrOffset", ParameterKind::kReal, "pixel fraction",
     "start of the sensitive part, LR", "0 to 1, and 34 + 35 ≤ 1", 35, "0", "0", false,
     &SimulationParameters::detectorLrOffset, 0.0, 1.0, RangeRule::kBetween},
    {36, "detectorUdPif", ParameterKind::kReal, "pixel fraction", "sensitive fraction, UD",
     "0 to 1, and 36 + 37 ≤ 1", 36, "1", "1", false, &SimulationParameters::detectorUdPif, 0.0, 1.0,
     RangeRule::kBetween},
    {37, "detectorUdOffset", ParameterKind::kReal, "pixel fraction",
     "start of the sensitive part, UD", "0 to 1, and 36 + 37 ≤ 1", 36, "0", "0", false,
     &SimulationParameters::detectorUdOffset, 0.0, 1.0, RangeRule::kBetween},
    {38, "spectrumFile", ParameterKind::kText, "path", "spectrum file", "", 0, "Spectrum",
     "spectrum.txt", true, &SimulationParameters::spectrumFile},
    {39, "photonsToRun", ParameterKind::kInteger, "photons", "photons to run (see value 42)",
     "10 to 2000000000", 26, "500000", "1000000", false, &SimulationParameters::photonsToRun, 10.0,
     2e9, RangeRule::kBetween},
    {40, "reportEvery", ParameterKind::kInteger, "photons",
     "a progress line every this many photons", "1000 to 2000000000", 27, "100000", "100000", false,
     &SimulationParameters::reportEvery, 1000.0, 2e9, RangeRule::kBetween},
    {41, "splashEvery", ParameterKind::kInteger, "photons",
     "a progress image every this many photons", "1000 to 2000000000", 28, "550000", "500000",
     false, &SimulationParameters::splashEvery, 1000.0, 2e9, RangeRule::kBetween},
    {42, "countHitsOnly", ParameterKind::kFlag, "flag",
     "1: only photons that pass the detector's sensitive-area test count towards value 39; 0: "
     "every emitted photon counts",
     "", 0, "0", "0", false, &SimulationParameters::countHitsOnly},
    {43, "sampleEnergy", ParameterKind::kReal, "keV",
     "photon energy for the refractive indices; 0: the spectrum's mean energy", "0 to 20000", 29,
     "100", "0", true, &SimulationParameters::sampleEnergy, 0.0, 20000.0, RangeRule::kBetween},
    {44, "outputFolder", ParameterKind::kText, "path",
     "folder for the run log, progress and final images; must exist", "", 0, "OUTS-DBG", "out",
     false, &SimulationParameters::outputFolder},
    {45, "progressPrefix", ParameterKind::kText, "text", "file name prefix of progress images", "",
     0, "Part", "Part", false, &SimulationParameters::progressPrefix},
    {46, "logFileName", ParameterKind::kText, "text",
     "file name of the run log inside the output folder", "", 0, "Logger.txt", "Logger.txt", false,
     &SimulationParameters::logFileName},
    {47, "finalPrefix", ParameterKind::kText, "text",
     "file name prefix of the final images (replaced by OUTPUT_NAME)", "", 0, "Final", "Final",
     false, &SimulationParameters::finalPrefix},
    {48, "keepTemporaryFiles", ParameterKind::kFlag, "flag",
     "listed in the run log as keeping (1) or deleting (0) temporary files; nothing else depends "
     "on it, and no file is deleted because of it",
     "", 0, "1", "1", false, &SimulationParameters::keepTemporaryFiles},
}};

constexpr std::array<std::string_view, 2> kEnergyWords = {"mean", "spectrum"};
constexpr std::array<std::string_view, 3> kDeflectionWords = {"auto", "interface", "phase"};

constexpr std::array<ParameterInfo, 19> kExtensions = {{
    {0, "focalSpotFwhmX", ParameterKind::kReal, "length",
     "focal spot full width at half maximum along x; 0: a point source", "0 to 1000", 0, "0", "0.3",
     false, &ExtensionSettings::focalSpotFwhmX, 0.0, 1000.0},
    {0, "focalSpotFwhmY", ParameterKind::kReal, "length",
     "focal spot full width at half maximum along y; 0: a point source", "0 to 1000", 0, "0", "0.3",
     false, &ExtensionSettings::focalSpotFwhmY, 0.0, 1000.0},
    {0, "photonEnergies", ParameterKind::kWord, "",
     "mean: every photon has the spectrum's mean energy; spectrum: each photon draws its "
     "energy from the spectrum",
     "mean or spectrum", 0, "mean", "spectrum", false, &ExtensionSettings::photonEnergies},
    {0, "detectorBlurSigma", ParameterKind::kReal, "detector pixels",
     "standard deviation of a Gaussian blur of the detector, in detector pixels; 0: no blur",
     "0 to 100", 0, "0", "0.5", false, &ExtensionSettings::detectorBlurSigma, 0.0, 100.0},
    {0, "deflectionModel", ParameterKind::kWord, "",
     "interface: Snell's law at fitted interface angles; phase: lateral derivative of the "
     "projected refractive-index decrement; auto: phase with sampleMaterials, else interface",
     "auto, interface or phase", 0, "auto", "phase", true, &ExtensionSettings::deflectionModel},
    {0, "planeFolder", ParameterKind::kText, "path",
     "folder where modes 3 and 4 write and modes 4 and 5 read the map, plane and record files; "
     "must exist",
     "", 0, ".", ".", false, &ExtensionSettings::planeFolder},
    {0, "lengthUnitMm", ParameterKind::kReal, "mm",
     "millimetres per length unit; needed by every material setting; 0: not given", "0 to 1000000",
     0, "0", "0.1", true, &ExtensionSettings::lengthUnitMm, 0.0, 1e6},
    {0, "sampleMaterials", ParameterKind::kText, "path",
     "materials file, one LABEL DENSITY COMPOUND a line; the voxel values are then labels", "", 0,
     "", "", true, &ExtensionSettings::sampleMaterials},
    {0, "sampleScatterFile", ParameterKind::kText, "path",
     "float volume of the sample's size holding per voxel the linear diffusion coefficient "
     "(variance of the scattering angle per mm, rad^2/mm, at sampleEnergy); empty: none",
     "", 0, "", "", true, &ExtensionSettings::sampleScatterFile},
    {0, "preMaskMaterial", ParameterKind::kMaterial, "compound:g/cm^3",
     "material of the pre-sample mask's opaque pixels; empty: they stop every photon",
     "a compound xraylib knows, with its density", 0, "", "Au:19.3", false,
     &ExtensionSettings::preMaskMaterial},
    {0, "preMaskThickness", ParameterKind::kReal, "length",
     "thickness of the pre-sample mask's material", "0 to 1000000", 0, "0", "0.2", false,
     &ExtensionSettings::preMaskThickness, 0.0, 1e6},
    {0, "postMaskMaterial", ParameterKind::kMaterial, "compound:g/cm^3",
     "material of the post-sample mask's opaque pixels; empty: they stop every photon",
     "a compound xraylib knows, with its density", 0, "", "Au:19.3", false,
     &ExtensionSettings::postMaskMaterial},
    {0, "postMaskThickness", ParameterKind::kReal, "length",
     "thickness of the post-sample mask's material", "0 to 1000000", 0, "0", "0.2", false,
     &ExtensionSettings::postMaskThickness, 0.0, 1e6},
    {0, "detectorMaterial", ParameterKind::kMaterial, "compound:g/cm^3",
     "the detector's absorbing layer; the efficiency becomes quantumEfficiency times the "
     "probability of interacting in it; empty: quantumEfficiency alone",
     "a compound xraylib knows, with its density", 0, "", "CsI:4.51", false,
     &ExtensionSettings::detectorMaterial},
    {0, "detectorThickness", ParameterKind::kReal, "length", "thickness of the detector's layer",
     "0 to 1000000", 0, "0", "1.5", false, &ExtensionSettings::detectorThickness, 0.0, 1e6},
    {0, "spectrumWeights", ParameterKind::kFlag, "flag",
     "1: the spectrum file holds ENERGY WEIGHT pairs and photons draw energies in proportion to "
     "the weights",
     "0 or 1", 0, "0", "0", false, &ExtensionSettings::spectrumWeights},
    {0, "preMaskShiftX", ParameterKind::kReal, "length",
     "the pre-sample mask moved across the beam towards +x; a sweep of it is a sample-mask scan",
     "-1000000 to 1000000", 0, "0", "0.01", false, &ExtensionSettings::preMaskShiftX, -1e6, 1e6},
    {0, "preMaskShiftY", ParameterKind::kReal, "length",
     "the pre-sample mask moved across the beam towards +y", "-1000000 to 1000000", 0, "0", "0",
     false, &ExtensionSettings::preMaskShiftY, -1e6, 1e6},
    {0, "sampleRotation", ParameterKind::kReal, "degrees",
     "the sample turned about the vertical axis through its central voxel column before the "
     "planes are made; a sweep over it is a tomographic scan",
     "-360 to 360", 0, "0", "0", true, &ExtensionSettings::sampleRotation, -360.0, 360.0},
}};

template <typename Value>
std::string streamText(const Value& value) {
    std::ostringstream text;
    text.imbue(std::locale::classic());
    text << value;
    return text.str();
}

}  // namespace

std::span<const ParameterInfo> parameterTable() {
    return kPositional;
}

std::span<const ParameterInfo> extensionTable() {
    return kExtensions;
}

const ParameterInfo* findParameter(std::string_view name) {
    for (std::span<const ParameterInfo> table : {parameterTable(), extensionTable()}) {
        const auto found =
            std::find_if(table.begin(), table.end(),
                         [name](const ParameterInfo& info) { return info.name == name; });
        if (found != table.end()) {
            return &*found;
        }
    }
    return nullptr;
}

const ParameterInfo* findParameter(int number) {
    if (number < 1 || number > static_cast<int>(kPositional.size())) {
        return nullptr;
    }
    return &kPositional[static_cast<std::size_t>(number - 1)];
}

double numericValue(const SimulationParameters& parameters, const ParameterInfo& info) {
    return std::visit(
        [&parameters](auto member) -> double {
            using Member = decltype(member);
            if constexpr (kExtensionField<Member>) {
                return 0.0;
            } else {
                using Value = std::remove_cvref_t<decltype(parameters.*member)>;
                if constexpr (std::is_arithmetic_v<Value>) {
                    return static_cast<double>(parameters.*member);
                } else {
                    return 0.0;
                }
            }
        },
        info.field);
}

bool withinRange(const ParameterInfo& info, double value) {
    switch (info.rule) {
        case RangeRule::kNone:
            return true;
        case RangeRule::kBetween:
        case RangeRule::kOneOf:
            return value >= info.minimum && value <= info.maximum;
        case RangeRule::kAboveZero:
            return value > 0.0 && value <= info.maximum;
        case RangeRule::kAtMost:
            return value <= info.maximum;
    }
    return true;
}

std::span<const std::string_view> parameterWords(const ParameterInfo& info) {
    if (std::holds_alternative<PhotonEnergyMode ExtensionSettings::*>(info.field)) {
        return kEnergyWords;
    }
    if (std::holds_alternative<DeflectionModel ExtensionSettings::*>(info.field)) {
        return kDeflectionWords;
    }
    return {};
}

std::string fieldText(const SimulationParameters& parameters, const ParameterInfo& info) {
    const ExtensionSettings& extensions = parameters.extensions;
    return std::visit(
        [&](auto member) -> std::string {
            using Member = decltype(member);
            if constexpr (std::is_same_v<Member, std::string SimulationParameters::*>) {
                return parameters.*member;
            } else if constexpr (std::is_same_v<Member, bool SimulationParameters::*>) {
                return parameters.*member ? "1" : "0";
            } else if constexpr (std::is_same_v<Member, PhotonEnergyMode ExtensionSettings::*>) {
                return std::string(kEnergyWords[static_cast<std::size_t>(extensions.*member)]);
            } else if constexpr (std::is_same_v<Member, DeflectionModel ExtensionSettings::*>) {
                return std::string(deflectionModelWord(extensions.*member));
            } else if constexpr (std::is_same_v<Member, std::string ExtensionSettings::*>) {
                return extensions.*member;
            } else if constexpr (std::is_same_v<Member, double ExtensionSettings::*>) {
                return streamText(extensions.*member);
            } else if constexpr (std::is_same_v<Member, bool ExtensionSettings::*>) {
                return extensions.*member ? "1" : "0";
            } else {
                return streamText(parameters.*member);
            }
        },
        info.field);
}

std::string_view deflectionModelWord(DeflectionModel model) {
    return kDeflectionWords[static_cast<std::size_t>(model)];
}

}  // namespace conesim
