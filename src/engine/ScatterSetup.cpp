#include "engine/ScatterSetup.hpp"

#include <filesystem>
#include <sstream>
#include <system_error>

#include "engine/MonteCarloRun.hpp"
#include "precalc/MapFileHeaders.hpp"
#include "precalc/MapNames.hpp"
#include "precalc/ScatterPlane.hpp"

namespace conesim {

bool runScatters(const SimulationParameters& parameters, const SampleMaterials* materials) {
    return !parameters.extensions.sampleScatterFile.empty() ||
           (materials != nullptr && anyScatters(*materials));
}

int checkScatterVolume(const SimulationParameters& parameters, RunContext& context) {
    const std::string& path = parameters.extensions.sampleScatterFile;
    if (path.empty()) {
        return kRunOk;
    }
    const SampleVolume volume = loadSampleVolume(path, parameters.sampleDimX, parameters.sampleDimY,
                                                 parameters.sampleDimZ, 1.0F, parameters.runMode);
    if (volume.loaded) {
        return kRunOk;
    }
    report(context.console, context.log,
           "ERROR: Scattering file " + path +
               " (sampleScatterFile) is missing or not of the sample's size, " +
               std::to_string(parameters.sampleDimX) + "x" + std::to_string(parameters.sampleDimY) +
               "x" + std::to_string(parameters.sampleDimZ) + " floats.");
    return kRunSampleRefused;
}

std::string scatterRecordValue(const SimulationParameters& parameters,
                               const SampleMaterials* materials) {
    if (!runScatters(parameters, materials)) {
        return {};
    }
    std::ostringstream text;
    const std::string& path = parameters.extensions.sampleScatterFile;
    text << kScatterPlaneName << " from ";
    if (path.empty()) {
        text << "materials";
    } else {
        std::error_code error;
        const auto bytes = std::filesystem::file_size(path, error);
        text << std::filesystem::path(path).lexically_normal().string() << " ("
             << (error ? std::string("unknown") : std::to_string(bytes)) << " bytes)";
    }
    text << ", lengthUnitMm " << parameters.extensions.lengthUnitMm;
    return text.str();
}

int makeScatterPlane(const SampleVolume& sample, const SimulationParameters& parameters,
                     const std::string& scatterFile, RunContext& context,
                     const PendingMapFiles& files, SamplePlanes& planes,
                     const VoxelMaterials* voxels, const SampleMaterials* materials) {
    ScatterSource source;
    source.volumePath = scatterFile;
    if (source.volumePath.empty()) {
        source.materials = voxels;
        for (const SampleMaterial& entry : materials->materials) {
            source.materialScatter.push_back(entry.scatter);
        }
    }
    const double voxelDepthMm =
        static_cast<double>(parameters.sampleScaleZ) * parameters.extensions.lengthUnitMm;
    const int status = collapseScatter(context.console, context.log, sample, source, voxelDepthMm,
                                       planes.scatter, context.stopSignal, &files);
    if (status != kPrecalcOk) {
        return status;
    }
    const VoxelSizes sizes{parameters.sampleScaleX, parameters.sampleScaleY,
                           parameters.sampleScaleZ};
    return writeScatterPlaneHeader(sample, sizes, context.console, context.log, &files,
                                   parameters.extensions.lengthUnitMm);
}

}  // namespace conesim
