// Transport of a photon through the sample mid-plane: absorption, rare undeflected
// passage, otherwise deflection by the collapsed planes and a sideways shift of the path.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "engine/Bilinear.hpp"
#include "engine/ContinuousDraws.hpp"
#include "engine/EnergyFactors.hpp"
#include "engine/PhotonPath.hpp"
#include "input/PhotonSource.hpp"
#include "util/NumericHelpers.hpp"
#include "util/RandomGenerator.hpp"
#include "util/XrayMaterial.hpp"

namespace conesim {

struct SamplePlanes {
    std::vector<double> attenuation;      //!< per column, the sum of raw sample values
    std::vector<float> lr;                //!< per column, LR deflection (radians)
    std::vector<float> ud;                //!< per column, UD deflection (radians)
    std::vector<double> thickness;        //!< sample given as materials: per material (label
                                          //!< order) a plane of path lengths through it (cm)
    std::vector<XrayMaterial> materials;  //!< the materials of the thickness planes
    std::vector<double> scatter;          //!< per column, the variance of the small-angle
                                          //!< scattering angle per axis (rad^2); empty: none
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
    // The same as the coordinates are formed from them, derived once.
    Divisor divisorX{1.0};  //!< scaleX
    Divisor divisorY{1.0};  //!< scaleY
    double centreX = 0.0;   //!< dimX / 2 (integer division): the column on the axis
    double centreY = 0.0;   //!< dimY / 2: the row on the axis
    // A sample given as materials: its thickness planes (SamplePlanes::thickness, owned by
    // the run for as long as the photons run) and their number; nullptr and 0 otherwise.
    const double* thickness = nullptr;
    std::size_t materialCount = 0;
    // The scattering plane (SamplePlanes::scatter, dimX * dimY values), nullptr without one.
    const double* scatter = nullptr;
};

// The physical attenuation of a photon whose energy is not the planes' own through a sample
// given as materials: the sum over materials of mu(E) (1/cm, materialMu) times the column's
// path length through it, interpolated at the crossing like the attenuation plane.
inline double materialAttenuation(const SampleGeometry& geometry, const double* materialMu,
                                  const BilinearAxis& u, const BilinearAxis& v) {
    const std::int64_t planeSize = geometry.dimX * geometry.dimY;
    double sum = 0.0;
    for (std::size_t m = 0; m < geometry.materialCount; ++m) {
        const double* plane = geometry.thickness + static_cast<std::int64_t>(m) * planeSize;
        sum += materialMu[m] * sampleBilinear<double>(plane, geometry.dimX, planeSize, u, v);
    }
    return sum;
}

// Sample plane coordinate of a path, in voxels: (tan * zMid + offset) / scale + size / 2,
// stored in single precision; centre is size / 2 (integer division).
inline float sampleCoordinate(double tangent, double offset, double sampleMid, const Divisor& scale,
                              double centre) {
    return static_cast<float>(scale.divide(tangent * sampleMid + offset) + centre);
}
inline float sampleCoordinate(double tangent, double offset, double sampleMid, double scale,
                              std::int64_t size) {
    return sampleCoordinate(tangent, offset, sampleMid, Divisor(scale),
                            static_cast<double>(size / 2));
}

SampleGeometry makeSampleGeometry(std::int32_t dimX, std::int32_t dimY, std::int32_t dimZ,
                                  float scaleX, float scaleY, float scaleZ, float sampleStart);

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

// Small-angle scattering at the crossing (xMid, yMid): where the scattering plane's value
// (bilinear, like the other planes) is not 0, a Gaussian angle of that variance times
// energy.scatter in each axis (one Gaussian pair, four draws), added to the angles; the path
// then leaves from the crossing point, as a refracted one does.
template <typename Energy>
inline void scatterAtCrossing(PhotonState& photon, PathTangents& tangents,
                              const SampleGeometry& geometry, const BilinearAxis& u,
                              const BilinearAxis& v, double xMid, double yMid,
                              RandomGenerator& random, const Energy& energy) {
    const std::int64_t planeSize = geometry.dimX * geometry.dimY;
    const double variance =
        sampleBilinear<double>(geometry.scatter, geometry.dimX, planeSize, u, v);
    if (!(variance > 0.0)) {
        return;
    }
    const double sigma = std::sqrt(variance * energy.scatter);
    const GaussianPair angles = drawGaussianPair(random);
    photon.angleX += sigma * angles.first;
    photon.angleY += sigma * angles.second;
    tangents.x = std::tan(photon.angleX);
    tangents.y = std::tan(photon.angleY);
    photon.offsetX = xMid - tangents.x * geometry.zMid;
    photon.offsetY = yMid - tangents.y * geometry.zMid;
}

// True when the photon is removed (absorbed, or crossing no material while showAll is
// off). May change the photon's angles and offsets; the tangents are kept in step with the
// angles. energy scales the attenuation and the deflections for a photon whose energy is
// not the planes' own; whether the column holds material is decided on the plane itself.
// Energy is EnergyFactors, or PlaneEnergy for a photon of the planes' energy. Called once
// per crossing photon; kept out of line so that the chain around it stays compact.
template <typename Energy = PlaneEnergy>
[[gnu::noinline]] bool transportThroughSample(PhotonState& photon, PathTangents& tangents,
                                              const SampleGeometry& geometry,
                                              const PackedPlanes& planes, bool showAll,
                                              RandomGenerator& random,
                                              const Energy& energy = Energy{}) {
    const double zMid = geometry.zMid;
    const double xMid = tangents.x * zMid + photon.offsetX;
    const double yMid = tangents.y * zMid + photon.offsetY;
    const float column =
        sampleCoordinate(tangents.x, photon.offsetX, zMid, geometry.divisorX, geometry.centreX);
    const float row =
        sampleCoordinate(tangents.y, photon.offsetY, zMid, geometry.divisorY, geometry.centreY);
    if (!(onGrid(column, geometry.dimX) & onGrid(row, geometry.dimY))) {
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
        if (showAll && geometry.scatter != nullptr) {
            scatterAtCrossing(photon, tangents, geometry, u, v, xMid, yMid, random, energy);
        }
        return !showAll;
    }
    // Absorbed when a 30-bit uniform's mid-point lies above the transmission, compared in
    // double precision, so that no slab transmits less than it should.
    double exponent = attenuation * energy.attenuation;
    if constexpr (requires { energy.materialMu; }) {
        // Beam hardening: the materials' own attenuation at the photon's energy.
        if (energy.materialMu != nullptr) {
            exponent = materialAttenuation(geometry, energy.materialMu, u, v);
        }
    }
    const double transmissionValue = std::exp(-exponent);
    if (unitMidpoint(draw30Bits(random)) > transmissionValue) {
        return true;
    }
    const auto transmission = static_cast<float>(transmissionValue);
    const float transmitted = transmission * 32767.0F;
    const float threshold = 32767.0F - (32767.0F - transmitted) / 1000.0F;
    if (threshold < static_cast<float>(random.next())) {
        if (geometry.scatter != nullptr) {
            scatterAtCrossing(photon, tangents, geometry, u, v, xMid, yMid, random, energy);
        }
        return false;
    }
    const float deflectionX = sampleBilinear<float>(LrView{columns}, geometry.dimX, count, u, v);
    const float deflectionY = sampleBilinear<float>(UdView{columns}, geometry.dimX, count, u, v);
    photon.angleX += static_cast<double>(deflectionX) * energy.deflection;
    photon.angleY += static_cast<double>(deflectionY) * energy.deflection;
    // A zero deflection leaves the angle, and so its tangent, as it was.
    if (deflectionX != 0.0F) {
        tangents.x = std::tan(photon.angleX);
    }
    if (deflectionY != 0.0F) {
        tangents.y = std::tan(photon.angleY);
    }
    // The deflected path leaves from the point where the photon crossed the mid-plane.
    photon.offsetX = xMid - tangents.x * zMid;
    photon.offsetY = yMid - tangents.y * zMid;
    if (geometry.scatter != nullptr) {
        scatterAtCrossing(photon, tangents, geometry, u, v, xMid, yMid, random, energy);
    }
    return false;
}

// The same for the photon of a source, with the planes as separate arrays (packed on every
// call; for single photons).
template <typename Energy = PlaneEnergy>
inline bool transportThroughSample(PhotonSource& source, PathTangents& tangents,
                                   const SampleGeometry& geometry, const SamplePlanes& planes,
                                   RandomGenerator& random, const Energy& energy = Energy{}) {
    PhotonState photon{source.angleX, source.angleY, source.offsetX, source.offsetY};
    const bool removed = transportThroughSample(photon, tangents, geometry, packPlanes(planes),
                                                source.showAll, random, energy);
    source.angleX = photon.angleX;
    source.angleY = photon.angleY;
    source.offsetX = photon.offsetX;
    source.offsetY = photon.offsetY;
    return removed;
}

}  // namespace conesim
