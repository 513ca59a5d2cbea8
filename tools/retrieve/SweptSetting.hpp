// How the positions of a swept setting turn into detector pixels: the four window offsets
// are pixel fractions, so a position is already a distance in detector pixels along one
// axis. Moving the analyser (the sensitive strip, values 35 and 37) by +p moves the curve's
// peak to where the beamlet is; moving the beamlets (the coded-aperture window, values 6
// and 8) by +p moves them past a fixed analyser, so a beamlet refracted by +d pixels
// peaks d pixels earlier: its positions count backwards. Moving the pre-sample mask
// (preMaskShiftX/Y, length units) moves the beamlets too, magnified by L / zMask: a shift s
// is s * L / zMask / pixel size detector pixels, counted backwards as well.
#pragma once

#include <string_view>

namespace conesim::tools {

struct SweptSetting {
    bool alongRows = false;       //!< false: the shift is along the columns (LR)
    double direction = 1.0;       //!< detector pixels per unit of the setting: +1 or -1
    bool throughPreMask = false;  //!< a length at the pre-sample mask, magnified to the detector
};

// False for a setting that moves neither the analyser nor the beamlets.
bool sweptSettingAxis(std::string_view name, SweptSetting& setting);

// Detector pixels per unit of the setting, signed: the direction, times L / zMask / pixel size
// for a shift of the pre-sample mask. 0 when the mask does not lie beyond the source.
double sweptPixelsPerUnit(const SweptSetting& setting, double detectorDistance, double maskDistance,
                          double pixelSize);

// "apertureLrOffset, apertureUdOffset, detectorLrOffset, detectorUdOffset, preMaskShiftX,
// preMaskShiftY"
std::string_view sweptSettingNames();

}  // namespace conesim::tools
