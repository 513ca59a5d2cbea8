#include "params/SimulationParameters.hpp"

namespace conesim {

namespace {

// Every comparison widens the stored single-precision value exactly to double precision.
bool outside(double value, double low, double high) {
    return value < low || value > high;
}

// A fraction of a pixel and its offset: each within [0, 1] and their exact sum at most 1.
bool badWindow(float pif, float offset) {
    return outside(pif, 0.0, 1.0) || outside(offset, 0.0, 1.0) ||
           static_cast<double>(pif) + static_cast<double>(offset) > 1.0;
}

bool badScale(float scale, double high) {
    return scale <= 0.0F || scale > high;
}

}  // namespace

int SimulationParameters::faultCode() const {
    int code = 0;
    auto check = [&code](bool fails, int failCode) {
        if (fails) {
            code = failCode;
        }
    };
    check(preMaskSize > 10000U, 1);
    check(outside(preMaskPosition, 0.0, 20000.0), 2);
    check(badScale(preMaskScale, 1000.0), 3);
    check(outside(sampleStart, 0.0, 20000.0) ||
              static_cast<double>(sampleStart) < static_cast<double>(preMaskPosition),
          4);
    check(sampleDimX > 3000U || sampleDimY > 3000U || sampleDimZ > 3000U, 5);
    check(badScale(sampleScaleX, 10.0) || badScale(sampleScaleY, 10.0) ||
              badScale(sampleScaleZ, 10.0),
          6);
    check(outside(sampleValueScale, 0.0, 2000.0), 7);
    check(outside(edgeSearchAcross, 1.0, 30.0), 9);
    check(outside(edgeSearchDepth, 1.0, 100.0), 10);
    check(outside(smoothingThreshold, 1e-20, 1.0), 31);
    check(badWindow(apertureLrPif, apertureLrOffset), 33);
    check(badWindow(apertureUdPif, apertureUdOffset), 34);
    check(postMaskSize > 10000U, 11);
    check(postMaskPosition > 20000 ||
              static_cast<double>(postMaskPosition) < static_cast<double>(sampleStart),
          12);
    check(badScale(postMaskScale, 1000.0), 13);
    check(detectorWidth > 50000U, 17);
    check(detectorHeight > 50000U, 18);
    check(detectorPosition > 20000 || detectorPosition < postMaskPosition, 19);
    check(outside(detectorPixelSizeX, 1e-6, 10.0), 20);
    check(outside(detectorPixelSizeY, 1e-6, 10.0), 21);
    check(runMode != 3 && runMode != 4 && runMode != 5, 24);
    check(outside(quantumEfficiency, 0.0001, 1.0), 25);
    check(badWindow(detectorLrPif, detectorLrOffset), 35);
    check(badWindow(detectorUdPif, detectorUdOffset), 36);
    check(outside(photonsToRun, 10.0, 2000000000.0), 26);
    check(outside(reportEvery, 1000.0, 2000000000.0), 27);
    check(outside(splashEvery, 1000.0, 2000000000.0), 28);
    check(outside(sampleEnergy, 0.0, 20000.0), 29);
    return code;
}

}  // namespace conesim
