#include "params/SetupDesign.hpp"

#include <cmath>
#include <map>
#include <sstream>
#include <string>

#include "engine/SampleTransport.hpp"

namespace conesim::tools {

namespace {

// h c in keV mm: the wavelength in mm is this over the energy in keV.
constexpr double kPlanckTimesLightKeVMm = 1.239841984e-6;

std::string number(double value) {
    std::ostringstream text;
    text.imbue(std::locale::classic());
    text.precision(6);
    text << value;
    return text.str();
}

// The most frequent value of counts; the smaller one on a tie.
double mostFrequent(const std::map<std::int64_t, int>& counts) {
    std::int64_t best = 0;
    int bestCount = 0;
    for (const auto& [value, count] : counts) {
        if (count > bestCount) {
            best = value;
            bestCount = count;
        }
    }
    return static_cast<double>(best);
}

// What one mask's pattern is on the detector, at magnification m = L / z.
void writeMask(std::ostream& out, const char* name, const MaskPattern& pattern, std::uint32_t size,
               double scale, double shift, double magnification, const SimulationParameters& p) {
    if (!pattern.found) {
        out << name << ": no grating along its central row.\n";
        return;
    }
    const double pixel = static_cast<double>(p.detectorPixelSizeX);
    const double periodPixels = pattern.period / scale * magnification / pixel;
    const double openPixels = pattern.openWidth / scale * magnification / pixel;
    out << name << ": period " << number(pattern.period)
        << " mask pixels = " << number(periodPixels) << " detector pixels; opening "
        << number(pattern.openWidth) << " mask pixels = " << number(openPixels)
        << " detector pixels (" << number(openPixels / periodPixels) << " of the period).\n";
    // The centre of the opening nearest the axis (the mask moved by shift), on the detector's
    // column coordinate (the pixel on the axis is detectorWidth / 2).
    const double centre = (pattern.openCentre - static_cast<double>(size / 2)) / scale + shift;
    const double column = centre * magnification / pixel + static_cast<double>(p.detectorWidth / 2);
    // A detector pixel's centre is at a whole column (positions round half away from zero).
    const double nearest = std::round(column);
    out << "  Opening nearest the axis centred at column " << number(column) << ": "
        << number(column - nearest) << " pixels from the centre of column " << number(nearest)
        << ".\n";
}

}  // namespace

MaskPattern centralRowPattern(const std::vector<std::uint8_t>& pixels, std::int64_t size) {
    MaskPattern pattern;
    if (size <= 0 || static_cast<std::int64_t>(pixels.size()) < size * size) {
        return pattern;
    }
    const std::uint8_t* row = pixels.data() + size * (size / 2);
    std::map<std::int64_t, int> widths;
    std::map<std::int64_t, int> periods;
    std::int64_t lastStart = -1;
    double nearest = 0.0;
    for (std::int64_t i = 1; i < size; ++i) {
        if (row[i] != 0 || row[i - 1] == 0) {
            continue;
        }
        std::int64_t end = i;
        while (end < size && row[end] == 0) {
            ++end;
        }
        if (end == size) {
            break;  // a clear run that reaches the edge is no opening
        }
        ++widths[end - i];
        if (lastStart >= 0) {
            ++periods[i - lastStart];
        }
        const double centre = 0.5 * static_cast<double>(i + end - 1);
        const double axis = static_cast<double>(size / 2);
        if (!pattern.found || std::fabs(centre - axis) < std::fabs(nearest - axis)) {
            nearest = centre;
        }
        pattern.found = true;
        lastStart = i;
        i = end;
    }
    pattern.openWidth = mostFrequent(widths);
    pattern.period = mostFrequent(periods);
    pattern.openCentre = nearest;
    pattern.found = pattern.found && pattern.period > 0.0;
    return pattern;
}

void writeDesign(std::ostream& out, const SimulationParameters& p, const MaskPattern& pre,
                 const MaskPattern& post) {
    const double detector = static_cast<double>(p.detectorPosition);
    const double zPre = static_cast<double>(p.preMaskPosition);
    const double zPost = static_cast<double>(p.postMaskPosition);
    const SampleGeometry sample = makeSampleGeometry(
        static_cast<std::int32_t>(p.sampleDimX), static_cast<std::int32_t>(p.sampleDimY),
        static_cast<std::int32_t>(p.sampleDimZ), p.sampleScaleX, p.sampleScaleY, p.sampleScaleZ,
        p.sampleStart);
    const double zMid = static_cast<double>(sample.zMid);
    const double pixel = static_cast<double>(p.detectorPixelSizeX);
    out << "Magnification L / z: pre-sample mask " << number(detector / zPre)
        << ", sample (mid-plane " << number(zMid) << ") " << number(detector / zMid)
        << ", post-sample mask " << number(detector / zPost) << ".\n";
    const ExtensionSettings& e = p.extensions;
    writeMask(out, "Pre-sample mask", pre, p.preMaskSize, static_cast<double>(p.preMaskScale),
              e.preMaskShiftX, detector / zPre, p);
    writeMask(out, "Post-sample mask", post, p.postMaskSize, static_cast<double>(p.postMaskScale),
              0.0, detector / zPost, p);
    const double lever = (detector - zPre) / zPre;
    out << "Focal-spot penumbra F (L - zMask) / zMask: " << number(e.focalSpotFwhmX * lever)
        << " x " << number(e.focalSpotFwhmY * lever)
        << " length units = " << number(e.focalSpotFwhmX * lever / pixel) << " x "
        << number(e.focalSpotFwhmY * lever / static_cast<double>(p.detectorPixelSizeY))
        << " detector pixels of blur.\n";
    out << "One detector pixel of shift: " << number(pixel / (detector - zMid))
        << " rad of refraction (pixel size / (L - zMid)).\n";
    if (!pre.found) {
        return;
    }
    if (!(e.lengthUnitMm > 0.0)) {
        out << "Fresnel number of the pre-sample mask's opening: unknown without lengthUnitMm.\n";
        return;
    }
    if (!(p.sampleEnergy > 0.0F)) {
        out << "Fresnel number of the pre-sample mask's opening: unknown without a sampleEnergy.\n";
        return;
    }
    const double opening = pre.openWidth / static_cast<double>(p.preMaskScale) * e.lengthUnitMm;
    const double distance = (detector - zPre) * e.lengthUnitMm;
    const double wavelength = kPlanckTimesLightKeVMm / static_cast<double>(p.sampleEnergy);
    const double fresnel = opening * opening / (wavelength * distance);
    out << "Fresnel number a^2 / (lambda z) of the pre-sample mask's opening: " << number(fresnel)
        << " (a " << number(opening) << " mm, lambda " << number(wavelength) << " mm, z "
        << number(distance) << " mm).\n";
    if (fresnel < 1.0) {
        out << "WARNING: the Fresnel number is below 1: diffraction at the pre-sample mask "
               "spreads the beamlets and ray optics, which conesim follows, no longer holds.\n";
    }
}

}  // namespace conesim::tools
