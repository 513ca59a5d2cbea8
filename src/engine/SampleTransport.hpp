// Transport of a photon through the sample mid-plane: absorption, rare undeflected
// passage, otherwise deflection by the collapsed planes and a sideways shift of the path.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/PhotonPath.hpp"
#include "engine/RandomGenerator.hpp"
#include "input/PhotonSource.hpp"

namespace conesim {

struct SamplePlanes {
    std::vector<double> attenuation;  //!< per column, the sum of raw sample values
    std::vector<float> lr;            //!< per column, LR deflection (radians)
    std::vector<float> ud;            //!< per column, UD deflection (radians)
};

// The three planes side by side for each column, so that a look-up reads each corner's
// attenuation and deflections from one place instead of three arrays.
struct PlaneColumn {
    double attenuation;
    float lr;
    float ud;
};
using PackedPlanes = std::vector<PlaneColumn>;

// One entry per attenuation value; a deflection plane shorter than that gives 0.
PackedPlanes packPlanes(const SamplePlanes& planes);

struct SampleGeometry {
    std::int64_t dimX = 0;  //!< plane width (voxels along X)
    std::int64_t dimY = 0;  //!< plane height (voxels along Y)
    float zMid = 0.0F;      //!< (dimZ / 2) * sampleScaleZ + sampleStart
    float scaleX = 1.0F;    //!< sampleScaleX
    float scaleY = 1.0F;    //!< sampleScaleY
};

// Sample plane coordinate of a path, in voxels: (tan * zMid + offset) / scale + size / 2,
// stored in single precision.
inline float sampleCoordinate(double tangent, double offset, double sampleMid, double scale,
                              std::int64_t size) {
    return static_cast<float>((tangent * sampleMid + offset) / scale +
                              static_cast<double>(size / 2));
}

SampleGeometry makeSampleGeometry(std::int32_t dimX, std::int32_t dimY, std::int32_t dimZ,
                                  float scaleX, float scaleY, float scaleZ, float sampleStart);

// True when the photon is removed. May change the source's angles and offsets; the
// tangents are kept in step with the angles.
bool transportThroughSample(PhotonSource& source, PathTangents& tangents,
                            const SampleGeometry& geometry, const PackedPlanes& planes,
                            RandomGenerator& random);

// The same with the planes as separate arrays (packed on every call; for single photons).
inline bool transportThroughSample(PhotonSource& source, PathTangents& tangents,
                                   const SampleGeometry& geometry, const SamplePlanes& planes,
                                   RandomGenerator& random) {
    return transportThroughSample(source, tangents, geometry, packPlanes(planes), random);
}

}  // namespace conesim
