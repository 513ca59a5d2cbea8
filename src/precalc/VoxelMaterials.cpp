#include "precalc/VoxelMaterials.hpp"

namespace conesim {

VoxelMaterials makeVoxelMaterials(const SampleMaterials& materials, double energyKeV,
                                  double voxelDepthCm) {
    VoxelMaterials result;
    result.voxelDepthCm = voxelDepthCm;
    for (const SampleMaterial& entry : materials.materials) {
        result.labels.push_back(static_cast<float>(entry.label));
        result.storedIndex.push_back(
            static_cast<float>(-refractiveDecrement(entry.material, energyKeV)));
        result.voxelMu.push_back(linearAttenuation(entry.material, energyKeV) * voxelDepthCm);
    }
    return result;
}

}  // namespace conesim
