// What one axis of a photon's direction decides before anything deflects it, for each of
// the 65536 directions per axis. A direction coordinate comes from one draw of 0..32767 for
// its magnitude and one for its sign, so the tangent, the pre-sample mask and sample
// coordinates, the window results and the rounded pixel of every undeflected path can be
// computed once per run, by the very functions the per-photon path uses, and looked up.
#pragma once

#include <bit>
#include <cstdint>
#include <vector>

#include "engine/DetectorWindow.hpp"
#include "engine/MaskTransmission.hpp"
#include "engine/SampleTransport.hpp"
#include "util/NumericHelpers.hpp"
#include "util/RandomGenerator.hpp"

namespace conesim {

// The geometry of one axis (X: left-right, Y: up-down) of the imaging chain.
struct AxisGeometry {
    double halfAngle;         //!< cone half-angle along the axis
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
    static constexpr std::uint16_t kFarPixel = 0xFFFF;  //!< pixel beyond every detector

    explicit AxisTable(const AxisGeometry& axis);

    // What one axis of the path x(z) = tangent * z + offset decides before anything
    // deflects it, in two parts, so that a photon stopped by the pre-sample mask is spared
    // the second. The table holds both for offset 0; a photon from a point of a finite focal
    // spot gets them from here. First: kOnPreMask, with the pre-sample mask coordinate.
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

    // The table index of a magnitude draw and a sign draw (odd = negative).
    static std::size_t index(std::int32_t magnitudeDraw, std::int32_t signDraw) {
        return static_cast<std::size_t>(magnitudeDraw) * 2U +
               static_cast<std::size_t>(signDraw & 1);
    }
    // The direction angle of an index: (magnitude / 32767) * halfAngle, with its sign.
    double angle(std::size_t index) const {
        const double magnitude = (static_cast<double>(index >> 1U) / 32767.0) * halfAngle_;
        return withSignOf(index, magnitude);
    }
    // What every photon reads first: one byte of flags, so that both axes' flags stay in the
    // fastest caches.
    std::uint8_t flags(std::size_t index) const { return flags_[index]; }
    // The rounded detector pixel of the undeflected path, kFarPixel far off the detector.
    std::int64_t pixel(std::size_t index) const { return decodePixel(pixels_[index]); }
    // The tangent of the direction. The tangent is odd, so one value per magnitude serves
    // both signs whenever the platform's tan gives exactly -tan(a) for -a (checked for
    // every angle when the table is built).
    double tangent(std::size_t index) const {
        if (!mirrored_) {
            return tangents_[index];
        }
        return withSignOf(index, tangents_[index >> 1U]);
    }

    // The rounded detector pixel of a path, clamped to kFarPixel when it lies so far off
    // the detector that no dither step can bring it back.
    static std::uint16_t encodePixel(std::int32_t pixel) {
        return pixel >= -2 && pixel < 0xFFFD ? static_cast<std::uint16_t>(pixel + 2) : kFarPixel;
    }
    static std::int64_t decodePixel(std::uint16_t code) {
        return code == kFarPixel ? -1000 : std::int64_t{code} - 2;
    }

  private:
    // The magnitude negated when the index's sign draw was odd. The sign bit is flipped
    // without a branch: the sign draw is random, and a branch on it would be mispredicted
    // every other photon. Flipping the sign bit is exactly the negation.
    static double withSignOf(std::size_t index, double magnitude) {
        const auto bits = std::bit_cast<std::uint64_t>(magnitude);
        return std::bit_cast<double>(bits ^ (static_cast<std::uint64_t>(index & 1U) << 63U));
    }

    static constexpr std::size_t kEntries = 2U * (RandomGenerator::kMax + 1U);
    double halfAngle_;
    std::vector<std::uint8_t> flags_;
    std::vector<std::uint16_t> pixels_;  //!< rounded detector pixel + 2, or kFarPixel
    std::vector<double> tangents_;
    bool mirrored_ = true;
};

}  // namespace conesim
