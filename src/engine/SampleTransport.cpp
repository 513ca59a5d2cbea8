#include "engine/SampleTransport.hpp"

#include <cmath>

#include "engine/Bilinear.hpp"

namespace conesim {

SampleGeometry makeSampleGeometry(std::int32_t dimX, std::int32_t dimY, std::int32_t dimZ,
                                  float scaleX, float scaleY, float scaleZ, float sampleStart) {
    SampleGeometry geometry;
    geometry.dimX = dimX;
    geometry.dimY = dimY;
    geometry.zMid = static_cast<float>(dimZ / 2) * scaleZ + sampleStart;
    geometry.scaleX = scaleX;
    geometry.scaleY = scaleY;
    return geometry;
}

bool transportThroughSample(PhotonSource& source, PathTangents& tangents,
                            const SampleGeometry& geometry, const SamplePlanes& planes,
                            RandomGenerator& random) {
    const double zMid = geometry.zMid;
    const double xMid = tangents.x * zMid + source.offsetX;
    const double yMid = tangents.y * zMid + source.offsetY;
    const float column =
        sampleCoordinate(tangents.x, source.offsetX, zMid, geometry.scaleX, geometry.dimX);
    const float row =
        sampleCoordinate(tangents.y, source.offsetY, zMid, geometry.scaleY, geometry.dimY);
    if (!onGrid(column, geometry.dimX) || !onGrid(row, geometry.dimY)) {
        return false;
    }
    const BilinearAxis u = bilinearAxis(column);
    const BilinearAxis v = bilinearAxis(row);
    const std::int64_t count = geometry.dimX * geometry.dimY;
    const double attenuation =
        sampleBilinear<double>(planes.attenuation, geometry.dimX, count, u, v);
    if (attenuation == 0.0) {
        return !source.showAll;
    }
    const auto transmission = static_cast<float>(std::exp(-attenuation));
    const float transmitted = transmission * 32767.0F;
    if (transmitted < static_cast<float>(random.next())) {
        return true;
    }
    const float threshold = 32767.0F - (32767.0F - transmitted) / 1000.0F;
    if (threshold < static_cast<float>(random.next())) {
        return false;
    }
    const float deflectionX = sampleBilinear<float>(planes.lr, geometry.dimX, count, u, v);
    const float deflectionY = sampleBilinear<float>(planes.ud, geometry.dimX, count, u, v);
    source.angleX += static_cast<double>(deflectionX);
    source.angleY += static_cast<double>(deflectionY);
    // A zero deflection leaves the angle, and so its tangent, as it was.
    if (deflectionX != 0.0F) {
        tangents.x = std::tan(source.angleX);
    }
    if (deflectionY != 0.0F) {
        tangents.y = std::tan(source.angleY);
    }
    source.offsetX = 2.0 * (xMid - (tangents.x * zMid + source.offsetX));
    source.offsetY = 2.0 * (yMid - (tangents.y * zMid + source.offsetY));
    return false;
}

}  // namespace conesim
