#include <locale>
#include <sstream>

#include "params/ParameterTable.hpp"
#include "params/SimulationParameters.hpp"

namespace conesim {

namespace {

const char* runModeLine(std::int32_t runMode) {
    switch (runMode) {
        case 3:
            return "\ti.e. Photons both attenuate and refract\n"
                   "\t(LOW ram mode single plane approximation).\n";
        case 4:
            return "\ti.e. Photons both attenuate and refract\n"
                   "\t(LOW ram mode single plane approximation with precalc files).\n";
        case 5:
            return "\ti.e. Photons both attenuate and refract\n"
                   "\t(LOW ram mode single plane approximation with precalc collapsed slices "
                   "files).\n";
        default:
            return "";
    }
}

const char* notWhenInactive(bool active) {
    return active ? "" : "not ";
}

// How a unit of the table reads after a value in the run log.
std::string unitSuffix(std::string_view unit) {
    if (unit.empty()) {
        return "";
    }
    if (unit == "length") {
        return " (length units)";
    }
    return " (" + std::string(unit) + ")";
}

}  // namespace

std::string SimulationParameters::summary() const {
    // Reals as a default-formatted stream writes a float: six significant digits.
    std::ostringstream s;
    s.imbue(std::locale::classic());
    s << "Using paramter file: " << parameterFileName << "\n------------\n";
    s << "Pre-sample mask is " << notWhenInactive(preMaskActive) << "active.\n";
    s << "Pre-sample mask has size: " << preMaskSize << "\n";
    s << "Pre-sample mask is placed at: " << preMaskPosition << "\n";
    s << "Pre-sample mask dimensions are scaled by: " << preMaskScale << "\n";
    s << "Pre-sample image file: " << preMaskImageFile << "\n";
    s << "Coded Aperture in LR direction (P.I.F.): " << apertureLrPif << "\n";
    s << "Coded Aperture in LR direction (Offset): " << apertureLrOffset << "\n";
    s << "Coded Aperture in UD direction (P.I.F.): " << apertureUdPif << "\n";
    s << "Coded Aperture in UD direction (Offset): " << apertureUdOffset << "\n";
    s << "The sample is " << notWhenInactive(sampleActive) << "active.\n";
    s << "Sample starts at location " << sampleStart << "\n";
    s << "Samples has dimension (in X): " << sampleDimX << "\n";
    s << "Samples has dimension (in Y): " << sampleDimY << "\n";
    s << "Samples has dimension (in Z): " << sampleDimZ << "\n";
    s << "Samples X dimensions rescaled by: " << sampleScaleX << "\n";
    s << "Samples Y dimensions rescaled by: " << sampleScaleY << "\n";
    s << "Samples Z dimensions rescaled by: " << sampleScaleZ << "\n";
    s << "Samples values are rescaled by: " << sampleValueScale << "\n";
    s << "Sample file: " << sampleFile << "\n";
    s << "In relation to edge detection:\n";
    s << "Sample with be searched " << edgeSearchAcross << " voxels across.\n";
    s << "Sample with be searched " << edgeSearchDepth << " slices deep.\n";
    s << "Low value Smoothing will occur but not beside edges >= " << smoothingThreshold
      << " of value.\n";
    s << "Post-sample mask is " << notWhenInactive(postMaskActive) << "active.\n";
    s << "Post-sample mask has size: " << postMaskSize << "\n";
    s << "Post-sample mask is placed at: " << postMaskPosition << "\n";
    s << "Post-sample mask dimensions are scaled by: " << postMaskScale << "\n";
    s << "Post-sample image file: " << postMaskImageFile << "\n";
    s << "Detectot has width: " << detectorWidth << "\n";
    s << "Detectot has height: " << detectorHeight << "\n";
    s << "Detector is placed at: " << detectorPosition << "\n";
    s << "Detector has pixels in X of size: " << detectorPixelSizeX << "\n";
    s << "Detector has pixels in Y of size: " << detectorPixelSizeY << "\n";
    s << (showAllPhotons ? "Showing all photons.\n" : "Showing only attenuated photons.\n");
    s << (ditherPhotons ? "Dithering photons.\n" : "Not dithering photons.\n");
    s << "Running in mode: " << runMode << "\n";
    s << runModeLine(runMode);
    s << "Detector has a Quantum Efficiency of: " << quantumEfficiency << "\n";
    s << "Detector sensitive LR direction (P.I.F.): " << detectorLrPif << "\n";
    s << "Detector sensitive LR direction (Offset): " << detectorLrOffset << "\n";
    s << "Detector sensitive UD direction (P.I.F.): " << detectorUdPif << "\n";
    s << "Detector sensitive UD direction (Offset): " << detectorUdOffset << "\n";
    s << "Spectrum file: " << spectrumFile << "\n";
    s << "Number of Photons to run: " << photonsToRun << "\n";
    s << "Report run every: " << reportEvery << "\n";
    s << "Splash image: " << splashEvery << "\n";
    s << (countHitsOnly ? "Run numbers only increment on detector hits."
                        : "All emitted photons increment run numbers.")
      << "\n";
    s << "Sample calculated using photon Energy: " << sampleEnergy << "\n";
    s << "Output folder: " << outputFolder << "\n";
    s << "Progress image file prefix: " << progressPrefix << "\n";
    s << "Log file name: " << logFileName << "\n";
    s << "Final image file prefix: " << finalPrefix << "\n";
    s << (keepTemporaryFiles ? "Keeping temporary files after use.\n"
                             : "Deleting temporary files after use.\n");
    s << "The End Checkword was: " << endCheckword << "\n";
    if (extensions.given) {
        for (const ParameterInfo& info : extensionTable()) {
            s << "Extension setting " << info.name << ": " << fieldText(*this, info)
              << unitSuffix(info.unit) << "\n";
        }
    }
    s << "------------\n";
    return s.str();
}

}  // namespace conesim
