#include "engine/SampleTransport.hpp"

#include <algorithm>
#include <cmath>

#include "engine/Bilinear.hpp"

namespace conesim {

namespace {

// Views of one plane inside the packed columns, for the bilinear look-up.
struct AttenuationView {
    const PlaneColumn* columns;
    double operator[](std::int64_t i) const { return columns[i].attenuation; }
};
struct LrView {
    const PlaneColumn* columns;
    float operator[](std::int64_t i) const { return columns[i].lr; }
};
struct UdView {
    const PlaneColumn* columns;
    float operator[](std::int64_t i) const { return columns[i].ud; }
};

}  // namespace

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
    return geometry;
}

bool transportThroughSample(PhotonSource& source, PathTangents& tangents,
                            const SampleGeometry& geometry, const PackedPlanes& planes,
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
    // Corners beyond the planes read as 0, as beyond the last column of the last row.
    const auto count =
        std::min(geometry.dimX * geometry.dimY, static_cast<std::int64_t>(planes.size()));
    const PlaneColumn* columns = planes.data();
    const double attenuation =
        sampleBilinear<double>(AttenuationView{columns}, geometry.dimX, count, u, v);
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
    const float deflectionX = sampleBilinear<float>(LrView{columns}, geometry.dimX, count, u, v);
    const float deflectionY = sampleBilinear<float>(UdView{columns}, geometry.dimX, count, u, v);
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
