// What one axis of a photon's direction decides before anything deflects it. A direction
// coordinate is a 30-bit uniform u (two draws); the table splits the 2^30 values into 2^16
// bins of 2^14 and holds, for each bin whose every u gives the same pre-sample mask and
// sample crossing, window results and rounded pixel, those results, so that most photons
// look them up instead of computing them. A bin that straddles a boundary is marked kExact:
// its photons compute their own results by the very functions the table is built from, so
// both paths give the same results bit for bit.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

#include "engine/DetectorWindow.hpp"
#include "engine/MaskTransmission.hpp"
#include "engine/SampleTransport.hpp"
#include "input/PhotonSource.hpp"
#include "util/NumericHelpers.hpp"

namespace conesim {

// The geometry of one axis (X: left-right, Y: up-down) of the imaging chain.
struct AxisGeometry {
    ConeAxis cone;            //!< direction angles along the axis, edge to edge
    double detectorDistance;  //!< detectorPosition as float
    Divisor pixelSize;        //!< detector pixel size along the axis
    double detectorCentre;    //!< detector size / 2 (integer division)
    std::int64_t detectorSize;
    float aperturePif;  //!< coded-aperture window
    float apertureOffset;
    float detectorPif;  //!< sensitive-area window
    float detectorOffset;
    MaskGeometry preMask;
    MaskGeometry postMask;
    double sampleMid;         //!< zMid of the sample plane
    Divisor sampleScale;      //!< voxel size along the axis
    std::int64_t sampleSize;  //!< voxels along the axis
    double sampleCentre;      //!< sampleSize / 2 (integer division): the voxel on the axis

    bool operator==(const AxisGeometry&) const = default;
};

// Detector coordinate, in pixels, of a path: (tan * distance + offset) / pixelSize + centre.
inline double detectorCoordinate(double tangent, double offset, const AxisGeometry& axis) {
    return axis.pixelSize.divide(tangent * axis.detectorDistance + offset) + axis.detectorCentre;
}

class AxisTable {
  public:
    static constexpr std::uint8_t kAperture = 1;        //!< coded-aperture window passes
    static constexpr std::uint8_t kDetector = 2;        //!< sensitive-area window passes
    static constexpr std::uint8_t kOnPreMask = 4;       //!< falls on the pre-sample mask
    static constexpr std::uint8_t kOnSample = 16;       //!< crosses the sample plane inside it
    static constexpr std::uint8_t kExact = 128;         //!< the bin straddles a boundary
    static constexpr std::uint16_t kFarPixel = 0xFFFF;  //!< pixel beyond every detector
    static constexpr unsigned kBinShift = 14;           //!< u >> kBinShift is the bin

    explicit AxisTable(const AxisGeometry& axis);

    // What one axis of the path x(z) = tangent * z + offset decides before anything
    // deflects it, in two parts, so that a photon stopped by the pre-sample mask is spared
    // the second. First: kOnPreMask, with the pre-sample mask coordinate.
    static std::uint8_t preMaskFlags(double tangent, double offset, const AxisGeometry& axis,
                                     float& preMask) {
        preMask = maskCoordinate(tangent, offset, axis.preMask);
        return onGrid(preMask, axis.preMask.size) ? kOnPreMask : 0;
    }
    // Then the window and sample flags, with the detector coordinate.
    static std::uint8_t beyondMaskFlags(double tangent, double offset, const AxisGeometry& axis,
                                        double& detector) {
        detector = detectorCoordinate(tangent, offset, axis);
        // Both windows test the same pixel fraction.
        const double fraction = pixelFraction(detector);
        std::uint8_t flags = 0;
        if (fractionInWindow(fraction, axis.aperturePif, axis.apertureOffset)) {
            flags |= kAperture;
        }
        if (fractionInWindow(fraction, axis.detectorPif, axis.detectorOffset)) {
            flags |= kDetector;
        }
        if (onGrid(sampleCoordinate(tangent, offset, axis.sampleMid, axis.sampleScale,
                                    axis.sampleCentre),
                   axis.sampleSize)) {
            flags |= kOnSample;
        }
        return flags;
    }

    // The direction angle of a 30-bit uniform.
    double angle(std::uint32_t u) const { return directionAngle(cone_, u); }
    // The slope of that direction, the C library's tan of the angle.
    double tangent(std::uint32_t u) const { return std::tan(angle(u)); }
    // What every photon reads first: one byte of flags, kExact when the photon's own path
    // must be tested.
    std::uint8_t flags(std::uint32_t u) const { return flags_[u >> kBinShift]; }
    // The rounded detector pixel of the undeflected path of a bin without kExact,
    // kFarPixel far off the detector.
    std::int64_t pixel(std::uint32_t u) const { return decodePixel(pixels_[u >> kBinShift]); }
    // The pre-sample mask column (or row) below the mask coordinate of every u of a bin
    // without kExact that falls on the mask, when that is the same for the whole bin; -1
    // otherwise. The pixels around it then tell whether the mask stops the photon without
    // its own coordinates (see maskCell).
    std::int64_t preMaskCell(std::uint32_t u) const { return preMaskCells_[u >> kBinShift]; }
    // The share of bins a photon must test on its own path (for the benchmarks' notes).
    double exactShare() const;

    // The rounded detector pixel of a path, clamped to kFarPixel when it lies so far off
    // the detector that no dither step can bring it back.
    static std::uint16_t encodePixel(std::int32_t pixel) {
        return pixel >= -2 && pixel < 0xFFFD ? static_cast<std::uint16_t>(pixel + 2) : kFarPixel;
    }
    static std::int64_t decodePixel(std::uint16_t code) {
        return code == kFarPixel ? -1000 : std::int64_t{code} - 2;
    }

  private:
    ConeAxis cone_;
    std::vector<std::uint8_t> flags_;
    std::vector<std::uint16_t> pixels_;       //!< rounded detector pixel + 2, or kFarPixel
    std::vector<std::int16_t> preMaskCells_;  //!< pre-sample mask cell of the bin, or -1
};

}  // namespace conesim
