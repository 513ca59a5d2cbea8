// The materials of a sample given as labels, worked out once at the sample energy: what the
// refractive index map stores for each label and what a voxel of it adds to the attenuation
// and thickness planes of its column.
#pragma once

#include <cstdint>
#include <vector>

#include "input/SampleMaterials.hpp"

namespace conesim {

struct VoxelMaterials {
    std::vector<float> labels;       //!< in increasing order
    std::vector<float> storedIndex;  //!< per label, n - 1 = -delta(E0) as the map stores it
    std::vector<double> voxelMu;     //!< per label, mu(E0) * voxel depth (dimensionless)
    double voxelDepthCm = 0.0;       //!< sampleScaleZ * lengthUnitMm / 10

    std::size_t count() const { return labels.size(); }
    // The index of the label a voxel holds; count() for 0 and for any other value (the
    // volume was checked beforehand to hold only 0 and labels).
    std::size_t indexOf(float value) const {
        for (std::size_t m = 0; m < labels.size(); ++m) {
            if (labels[m] == value) {
                return m;
            }
        }
        return labels.size();
    }
};

// delta and mu of each material at energyKeV from xraylib; voxelDepthCm is the depth of a
// voxel along the beam in cm.
VoxelMaterials makeVoxelMaterials(const SampleMaterials& materials, double energyKeV,
                                  double voxelDepthCm);

}  // namespace conesim
