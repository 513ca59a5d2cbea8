// The parallel-beam geometry equivalent to the program's single-plane model: every
// projection is the (rotated) volume summed along z, looked up where the ray to each pixel
// crosses the sample's mid-plane, so detector column c samples the mid-plane at
//   s(c) = (c + fx - W div 2) * pixelSizeX * zMid / L
// (and row r at (r + fy - H div 2) * pixelSizeY * zMid / L), and a sample voxel (i, k) of
// an x-z plane lies at x = (i - dimX div 2) * scaleX, z = (k - dimZ div 2) * scaleZ. The
// sample turned by t moves an offset (x, z) to (x cos t - z sin t, x sin t + z cos t), so at
// angle t voxel (x, z) is seen at s = x cos t - z sin t.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/SetupGeometry.hpp"

namespace conesim::tools {

struct ParallelGeometry {
    std::uint32_t columns = 0;   //!< detector columns W
    std::uint32_t rows = 0;      //!< detector rows H
    double columnSpacing = 1.0;  //!< pixelSizeX * zMid / L at the mid-plane (length units)
    double rowSpacing = 1.0;     //!< pixelSizeY * zMid / L
    double columnOrigin = 0.0;   //!< s of column 0: (fx - W div 2) * columnSpacing
    double rowOrigin = 0.0;      //!< mid-plane y of row 0: (fy - H div 2) * rowSpacing
    std::int64_t dimX = 0;       //!< the sample's voxels along x, y and z
    std::int64_t dimY = 0;
    std::int64_t dimZ = 0;
    double scaleX = 1.0;  //!< voxel sizes (length units)
    double scaleY = 1.0;
    double scaleZ = 1.0;
    double lengthUnitMm = 0.0;          //!< millimetres per length unit; 0: not given
    std::vector<double> anglesDegrees;  //!< sample rotation of each projection

    // Voxel index of the rotation axis along x and z (the voxel on the beam axis).
    std::int64_t centreX() const { return dimX / 2; }
    std::int64_t centreZ() const { return dimZ / 2; }
    // The continuous detector row that sees sample slice y (voxel index).
    double rowOfSlice(std::int64_t y) const {
        return (static_cast<double>(y - dimY / 2) * scaleY - rowOrigin) / rowSpacing;
    }
};

// The geometry of a run's parameter file with rays ending at pixel fraction (fx, fy).
ParallelGeometry parallelGeometry(const SetupGeometry& setup, double lengthUnitMm,
                                  double sampleScaleZ, std::int64_t dimZ, double fractionX,
                                  double fractionY, std::vector<double> anglesDegrees);

// The weight of each projection in the back-projection sum: the angular interval it stands
// for (half the gap to each neighbour in sorted order, a whole gap at the ends), scaled so
// that all weights add up to pi. Over 180 degrees that is pi / A for evenly spaced angles;
// over 360 degrees every ray is met twice and is counted half.
std::vector<double> projectionWeights(const std::vector<double>& anglesDegrees);

// The angular coverage of the angles in degrees: the span plus one mean step.
double angularCoverage(const std::vector<double>& anglesDegrees);

// geometry.json: the parallel-equivalent geometry (angles, detector sampling at the
// mid-plane, centre of rotation, volume grid, rotation convention, units).
std::string geometryJson(const ParallelGeometry& geometry);

}  // namespace conesim::tools
