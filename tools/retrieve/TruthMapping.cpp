#include "retrieve/TruthMapping.hpp"

#include <cmath>

#include "engine/Bilinear.hpp"
#include "engine/SampleTransport.hpp"

namespace conesim::tools {

namespace {

// The tangent of the undeflected path that reaches detector coordinate u: the inverse of
// the photon loop's coordinate = tan * L / pixelSize + size / 2.
double pathTangent(double u, std::uint32_t size, double pixelSize, double distance) {
    return (u - static_cast<double>(size / 2)) * pixelSize / distance;
}

}  // namespace

bool mapTruth(const SetupGeometry& geometry, const std::vector<double>& attenuation,
              const std::vector<double>& deflection, const TruthOptions& options,
              TruthImages& images, std::string& error, const std::vector<double>& scattering) {
    const SampleGeometry& sample = geometry.sample;
    const auto planeSize = static_cast<std::size_t>(sample.dimX * sample.dimY);
    if (!scattering.empty() && scattering.size() != planeSize) {
        error = "the scattering plane holds " + std::to_string(scattering.size()) +
                " values; the sample plane has " + std::to_string(sample.dimX) + " x " +
                std::to_string(sample.dimY);
        return false;
    }
    if (attenuation.size() != planeSize || deflection.size() != planeSize) {
        error = "the planes hold " + std::to_string(attenuation.size()) + " and " +
                std::to_string(deflection.size()) + " values; the sample plane has " +
                std::to_string(sample.dimX) + " x " + std::to_string(sample.dimY);
        return false;
    }
    // The photon loop keeps the deflections in single precision.
    const std::vector<float> deflectionValues(deflection.begin(), deflection.end());
    const auto count = static_cast<std::int64_t>(planeSize);
    const double zMid = sample.zMid;
    const double pixelSize = options.alongRows ? geometry.pixelSizeY : geometry.pixelSizeX;
    const double pixelsPerRadian = geometry.leverArm() / pixelSize;
    const std::uint32_t width = geometry.detectorWidth;
    const std::uint32_t height = geometry.detectorHeight;
    const auto pixels = static_cast<std::size_t>(width) * height;
    TruthImages result;
    result.transmission.assign(pixels, 1.0F);
    result.refraction.assign(pixels, 0.0F);
    result.angle.assign(pixels, 0.0F);
    result.darkfield.assign(pixels, 0.0F);
    for (std::uint32_t row = 0; row < height; ++row) {
        const double tanY = pathTangent(row + options.fractionY, height, geometry.pixelSizeY,
                                        geometry.detectorDistance);
        const float v = sampleCoordinate(tanY, 0.0, zMid, sample.scaleY, sample.dimY);
        if (!onGrid(v, sample.dimY)) {
            continue;
        }
        const BilinearAxis rowAxis = bilinearAxis(v);
        for (std::uint32_t column = 0; column < width; ++column) {
            const double tanX = pathTangent(column + options.fractionX, width, geometry.pixelSizeX,
                                            geometry.detectorDistance);
            const float u = sampleCoordinate(tanX, 0.0, zMid, sample.scaleX, sample.dimX);
            if (!onGrid(u, sample.dimX)) {
                continue;
            }
            const BilinearAxis columnAxis = bilinearAxis(u);
            const double n =
                sampleBilinear<double>(attenuation, sample.dimX, count, columnAxis, rowAxis);
            if (n == 0.0) {
                continue;
            }
            const float d =
                sampleBilinear<float>(deflectionValues, sample.dimX, count, columnAxis, rowAxis);
            const std::size_t i = static_cast<std::size_t>(row) * width + column;
            result.transmission[i] = static_cast<float>(std::exp(-n));
            result.angle[i] = d;
            result.refraction[i] = static_cast<float>(static_cast<double>(d) * pixelsPerRadian);
            if (!scattering.empty()) {
                const double variance =
                    sampleBilinear<double>(scattering, sample.dimX, count, columnAxis, rowAxis);
                result.darkfield[i] =
                    static_cast<float>(variance * pixelsPerRadian * pixelsPerRadian);
            }
            ++result.insidePixels;
        }
    }
    images = std::move(result);
    return true;
}

}  // namespace conesim::tools
