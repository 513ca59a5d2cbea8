#include "engine/SampleTransport.hpp"

#include <cmath>

namespace conesim {

PackedPlanes packPlanes(const SamplePlanes& planes) {
    PackedPlanes packed(planes.attenuation.size());
    for (std::size_t i = 0; i < packed.size(); ++i) {
        packed[i].attenuation = planes.attenuation[i];
        packed[i].lr = i < planes.lr.size() ? planes.lr[i] : 0.0F;
        packed[i].ud = i < planes.ud.size() ? planes.ud[i] : 0.0F;
    }
    return packed;
}

SampleGeometry makeSampleGeometry(std::int32_t dimX, std::int32_t dimY, std::int32_t dimZ,
                                  float scaleX, float scaleY, float scaleZ, float sampleStart) {
    SampleGeometry geometry;
    geometry.dimX = dimX;
    geometry.dimY = dimY;
    geometry.zMid = static_cast<float>(dimZ / 2) * scaleZ + sampleStart;
    geometry.scaleX = scaleX;
    geometry.scaleY = scaleY;
    geometry.divisorX = Divisor(static_cast<double>(scaleX));
    geometry.divisorY = Divisor(static_cast<double>(scaleY));
    geometry.centreX = static_cast<double>(geometry.dimX / 2);
    geometry.centreY = static_cast<double>(geometry.dimY / 2);
    return geometry;
}

}  // namespace conesim
