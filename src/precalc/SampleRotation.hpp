// The sample turned about the vertical axis (y) before the precalculation. Every x-z plane
// (fixed y) turns about its voxel (dimX / 2, dimZ / 2): the material at the physical offset
// (dx, dz) from that voxel's centre moves to (dx cos t - dz sin t, dx sin t + dz cos t).
// Each voxel of the result takes the value of the source voxel nearest to where its centre
// came from, so interfaces stay sharp and quarter turns of square voxels only permute
// voxels; what turns out of the grid is lost, and voxels turned in from outside hold 0.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "precalc/StopRequest.hpp"
#include "precalc/VoxelSizes.hpp"
#include "util/Console.hpp"

namespace conesim {

// For every voxel of one x-z plane (index z * dimX + x): the source voxel it takes its
// value from (x and z; x is -1 when the source lies outside the grid), and whether the
// voxel itself is turned out of the grid.
struct PlaneTurn {
    int dimX = 0;
    int dimZ = 0;
    std::vector<std::int32_t> sourceX;
    std::vector<std::int32_t> sourceZ;
    std::vector<std::uint8_t> turnedOut;
};

// The turn by degrees of an x-z plane of dimX * dimZ voxels of the given sizes (x and z
// used). Multiples of 90 degrees use exact sines and cosines.
PlaneTurn makePlaneTurn(int dimX, int dimZ, VoxelSizes sizes, double degrees);

inline constexpr std::int64_t kRotationBandBytes = std::int64_t{4} << 20;

// The non-zero voxels of the input and those of them turned out of the grid.
struct RotationLoss {
    std::int64_t nonZero = 0;
    std::int64_t lost = 0;
};

// Turns rows consecutive x-z planes held as a volume file band holds them (x fastest, then
// the rows, then z: value (z * rows + r) * dimX + x) from in into out, adding to loss.
void turnBand(const PlaneTurn& turn, int rows, const float* in, float* out, RotationLoss& loss);

// Writes the volume of float voxels at inputPath (x fastest, then y, then z), turned by
// degrees, to outputPath in the same layout. Works in bands of rows of y: at most bandBytes
// (at least one x-z plane) read and as much written at a time, so the memory used does not
// grow with dimY. kPrecalcOk; kCollapseFailed when the input cannot
// be read; kMapWriteFailed after "ERROR: Cannot write file <outputName>." when the output
// could not be written in full; kPrecalcStopped when stop was raised.
int rotateVolumeFile(Console& console, std::ostream& log, const std::string& inputPath,
                     const std::string& outputPath, const std::string& outputName, int dimX,
                     int dimY, int dimZ, VoxelSizes sizes, double degrees, RotationLoss& loss,
                     StopFlag stop = nullptr, std::int64_t bandBytes = kRotationBandBytes);

// The rotation as the record and messages give it: "none" for 0, otherwise the degrees in
// the shortest text that reads back as the same value.
std::string rotationText(double degrees);

// Console and run log, when loss.lost > 0: "WARNING: sampleRotation = D degrees turns L of
// N non-zero voxels of <name> (a fraction F) out of the sample's grid; they are left out."
void warnRotationLoss(Console& console, std::ostream& log, const std::string& name, double degrees,
                      const RotationLoss& loss);

}  // namespace conesim
