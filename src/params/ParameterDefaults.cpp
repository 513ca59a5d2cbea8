#include "params/SimulationParameters.hpp"

namespace conesim {

void SimulationParameters::resetToDefaults() {
    preMaskSize = 100;
    preMaskPosition = 50;
    preMaskScale = 1.0f;
    preMaskImageFile = "1.pgm";
    apertureLrPif = 1.0f;
    apertureLrOffset = 0.0f;
    apertureUdPif = 1.0f;
    apertureUdOffset = 0.0f;
    sampleStart = 50.0f;
    sampleDimX = 100;
    sampleDimY = 100;
    sampleDimZ = 100;
    sampleScaleX = 100.0f;
    sampleScaleY = 100.0f;
    sampleScaleZ = 100.0f;
    sampleValueScale = 1000.0f;
    sampleFile = "Sample.bin";
    edgeSearchAcross = 3;
    edgeSearchDepth = 20;
    smoothingThreshold = 0.0001f;
    postMaskSize = 100;
    postMaskPosition = 150;
    postMaskScale = 1.0f;
    postMaskImageFile = "2.pgm";
    detectorWidth = 400;
    detectorHeight = 400;
    detectorPosition = 150;
    detectorPixelSizeX = 1.0f;
    detectorPixelSizeY = 1.0f;
    showAllPhotons = true;
    ditherPhotons = true;
    runMode = 0;
    quantumEfficiency = 1.0f;
    detectorLrPif = 1.0f;
    detectorLrOffset = 0.0f;
    detectorUdPif = 1.0f;
    detectorUdOffset = 0.0f;
    spectrumFile = "Spectrum";
    photonsToRun = 500000;
    reportEvery = 100000;
    splashEvery = 550000;
    countHitsOnly = false;
    sampleEnergy = 100.0f;
    outputFolder = "OUTS-DBG";
    progressPrefix = "Part";
    logFileName = "Logger.txt";
    finalPrefix = "Final";
    keepTemporaryFiles = true;
    endCheckword = "BAD";
    parameterFileName = "NONE";
    parameterFileLoaded = false;
    preMaskActive = true;
    postMaskActive = true;
    sampleActive = true;
    extensions = ExtensionSettings{};
    warnings.clear();
}

}  // namespace conesim
