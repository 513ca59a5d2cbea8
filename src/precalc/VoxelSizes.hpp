// The sample's voxel size along each axis.
#pragma once

namespace conesim {

struct VoxelSizes {
    float x;  //!< sampleScaleX (length units per voxel)
    float y;  //!< sampleScaleY
    float z;  //!< sampleScaleZ
};

}  // namespace conesim
