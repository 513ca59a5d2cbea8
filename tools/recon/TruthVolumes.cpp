#include "recon/TruthVolumes.hpp"

#include <cmath>
#include <numbers>

#include "common/BinaryFile.hpp"
#include "common/ParameterLookup.hpp"
#include "common/RefractionEnergy.hpp"
#include "input/SampleMaterials.hpp"
#include "precalc/RefractiveIndexModel.hpp"

namespace conesim::tools {

namespace {

bool readVolumeFile(const std::string& path, const SimulationParameters& p, const char* what,
                    std::vector<float>& values, std::string& error) {
    if (!readFloatFile(path, values, error)) {
        error = "cannot read the " + std::string(what) + " " + path + ": " + error;
        return false;
    }
    const std::uint64_t expected = std::uint64_t{p.sampleDimX} * p.sampleDimY * p.sampleDimZ;
    if (values.size() != expected) {
        error = path + " (the " + what + ") holds " + std::to_string(values.size()) +
                " floats, not " + std::to_string(p.sampleDimX) + "x" +
                std::to_string(p.sampleDimY) + "x" + std::to_string(p.sampleDimZ);
        return false;
    }
    return true;
}

FloatVolume emptyVolume(const SimulationParameters& p) {
    FloatVolume v;
    v.dimX = p.sampleDimX;
    v.dimY = p.sampleDimY;
    v.dimZ = p.sampleDimZ;
    const double mm = p.extensions.lengthUnitMm > 0.0 ? p.extensions.lengthUnitMm : 1.0;
    v.spacing[0] = p.sampleScaleX * mm;
    v.spacing[1] = p.sampleScaleY * mm;
    v.spacing[2] = p.sampleScaleZ * mm;
    v.values.assign(static_cast<std::size_t>(v.dimX * v.dimY * v.dimZ), 0.0F);
    return v;
}

}  // namespace

void rotateVolume(FloatVolume& volume, double degrees, double scaleX, double scaleZ) {
    if (degrees == 0.0) {
        return;
    }
    const double t = degrees * std::numbers::pi / 180.0;
    const double c = std::cos(t);
    const double s = std::sin(t);
    const std::int64_t cx = volume.dimX / 2;
    const std::int64_t cz = volume.dimZ / 2;
    std::vector<float> turned(volume.values.size(), 0.0F);
    for (std::int64_t k = 0; k < volume.dimZ; ++k) {
        const double z = static_cast<double>(k - cz) * scaleZ;
        for (std::int64_t i = 0; i < volume.dimX; ++i) {
            const double x = static_cast<double>(i - cx) * scaleX;
            const auto si = static_cast<std::int64_t>(std::lround((x * c + z * s) / scaleX)) + cx;
            const auto sk = static_cast<std::int64_t>(std::lround((-x * s + z * c) / scaleZ)) + cz;
            if (si < 0 || si >= volume.dimX || sk < 0 || sk >= volume.dimZ) {
                continue;
            }
            for (std::int64_t y = 0; y < volume.dimY; ++y) {
                turned[static_cast<std::size_t>((k * volume.dimY + y) * volume.dimX + i)] =
                    volume.values[static_cast<std::size_t>((sk * volume.dimY + y) * volume.dimX +
                                                           si)];
            }
        }
    }
    volume.values = std::move(turned);
}

bool makeTruthVolumes(const std::string& parametersPath, double rotationDegrees,
                      TruthVolumes& truth, std::string& error) {
    SimulationParameters p;
    if (!loadParameterFile(parametersPath, p, error)) {
        return false;
    }
    std::vector<float> sample;
    if (!readVolumeFile(p.sampleFile, p, "sample file", sample, error)) {
        return false;
    }
    const double energy = refractionEnergy(p);
    const double unitMm = p.extensions.lengthUnitMm;
    TruthVolumes result;
    result.mu = emptyVolume(p);
    result.delta = emptyVolume(p);
    result.scatter = emptyVolume(p);
    if (!p.extensions.sampleMaterials.empty()) {
        SampleMaterials materials;
        if (!readSampleMaterials(p.extensions.sampleMaterials, materials, error)) {
            return false;
        }
        for (std::size_t i = 0; i < sample.size(); ++i) {
            for (const SampleMaterial& entry : materials.materials) {
                if (sample[i] != static_cast<float>(entry.label)) {
                    continue;
                }
                // Without lengthUnitMm a voxel is 0 cm deep: the run neither attenuates
                // nor scatters.
                result.mu.values[i] =
                    unitMm > 0.0 ? static_cast<float>(linearAttenuation(entry.material, energy))
                                 : 0.0F;
                result.delta.values[i] =
                    static_cast<float>(refractiveDecrement(entry.material, energy));
                result.scatter.values[i] = unitMm > 0.0 ? static_cast<float>(entry.scatter) : 0.0F;
            }
        }
        result.source =
            "materials " + p.extensions.sampleMaterials + " at " + std::to_string(energy) + " keV";
    } else {
        const RefractiveIndexModel model(energy);
        const float valueScale =
            p.sampleValueScale == 0.0F
                ? static_cast<float>(10.0 / static_cast<double>(p.sampleScaleX))
                : p.sampleValueScale;
        const double perUnit = unitMm > 0.0 ? 10.0 / unitMm : 1.0;
        for (std::size_t i = 0; i < sample.size(); ++i) {
            result.mu.values[i] =
                static_cast<float>(static_cast<double>(sample[i]) / p.sampleScaleZ * perUnit);
            result.delta.values[i] = -model.storedValue(sample[i], valueScale);
        }
        result.source = "attenuation volume " + p.sampleFile;
        if (!p.extensions.sampleScatterFile.empty() && unitMm > 0.0 &&
            !readVolumeFile(p.extensions.sampleScatterFile, p, "scattering volume",
                            result.scatter.values, error)) {
            return false;
        }
    }
    for (FloatVolume* v : {&result.mu, &result.delta, &result.scatter}) {
        rotateVolume(*v, rotationDegrees, p.sampleScaleX, p.sampleScaleZ);
    }
    truth = std::move(result);
    return true;
}

bool readLabelVolume(const std::string& parametersPath, double rotationDegrees, FloatVolume& labels,
                     std::string& error) {
    SimulationParameters p;
    if (!loadParameterFile(parametersPath, p, error)) {
        return false;
    }
    if (p.extensions.sampleMaterials.empty()) {
        error = parametersPath + " gives its sample as values, not as labels of materials";
        return false;
    }
    FloatVolume result = emptyVolume(p);
    if (!readVolumeFile(p.sampleFile, p, "sample file", result.values, error)) {
        return false;
    }
    rotateVolume(result, rotationDegrees, p.sampleScaleX, p.sampleScaleZ);
    labels = std::move(result);
    return true;
}

}  // namespace conesim::tools
