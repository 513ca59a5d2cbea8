#include "engine/SamplePlaneSetup.hpp"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <optional>
#include <system_error>

#include "engine/MonteCarloRun.hpp"
#include "engine/PlaneSetChecks.hpp"
#include "engine/SampleRotationSetup.hpp"
#include "engine/ScatterSetup.hpp"
#include "input/SampleMaterials.hpp"
#include "precalc/Collapse.hpp"
#include "precalc/InterfaceAngleMaps.hpp"
#include "precalc/MapFileErrors.hpp"
#include "precalc/MapFileHeaders.hpp"
#include "precalc/MapNames.hpp"
#include "precalc/PendingMapFiles.hpp"
#include "precalc/PhaseDeflection.hpp"
#include "precalc/RefractiveIndexMap.hpp"
#include "precalc/VoxelMaterials.hpp"

namespace conesim {
namespace {

template <typename T>
std::int64_t countNotFinite(const std::vector<T>& values) {
    return std::count_if(values.begin(), values.end(), [](T v) { return !std::isfinite(v); });
}

// Not-a-number or infinite plane values (a damaged file, one that is not a plane at all, or
// settings that make the refractive indices undefined) make every photon crossing them miss
// the detector; say so instead of running silently.
void warnNotFinite(const std::string& name, std::int64_t notFinite, RunContext& context) {
    if (notFinite > 0) {
        report(context.console, context.log,
               "WARNING: " + name + " holds " + std::to_string(notFinite) +
                   " values that are not finite numbers.");
    }
}

// Reads up to count doubles from the start of a plane file; what the file lacks stays 0.
std::vector<double> readPlaneDoubles(const std::string& name, std::int64_t count,
                                     RunContext& context) {
    std::vector<double> values(static_cast<std::size_t>(count), 0.0);
    const std::int64_t expected = count * static_cast<std::int64_t>(sizeof(double));
    std::error_code error;
    const auto size = std::filesystem::file_size(name, error);
    if (!error && static_cast<std::int64_t>(size) != expected) {
        report(context.console, context.log,
               "WARNING: " + name + " holds " + std::to_string(size) + " bytes; expected " +
                   std::to_string(expected) + " bytes.");
    }
    std::ifstream in(name, std::ios::binary);
    in.read(reinterpret_cast<char*>(values.data()), static_cast<std::streamsize>(expected));
    const std::int64_t got = in.gcount() / static_cast<std::int64_t>(sizeof(double));
    // A partly read last value must not survive as a half-filled double.
    for (std::int64_t i = got; i < count; ++i) {
        values[static_cast<std::size_t>(i)] = 0.0;
    }
    warnNotFinite(name, countNotFinite(values), context);
    return values;
}

std::vector<float> narrowed(const std::vector<double>& values) {
    std::vector<float> result(values.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
        result[i] = static_cast<float>(values[i]);
    }
    return result;
}

bool allOpen(const std::string& a, const std::string& b, const std::string& c) {
    for (const std::string* name : {&a, &b, &c}) {
        std::error_code error;
        if (std::filesystem::is_directory(*name, error)) {
            return false;
        }
        std::ifstream in(*name, std::ios::binary);
        if (!in.is_open()) {
            return false;
        }
    }
    return true;
}

VoxelSizes voxelSizesOf(const SimulationParameters& parameters) {
    return VoxelSizes{parameters.sampleScaleX, parameters.sampleScaleY, parameters.sampleScaleZ};
}

bool phaseModel(const SimulationParameters& parameters) {
    return effectiveDeflectionModel(parameters.extensions) == DeflectionModel::kPhase;
}

// Mode 3: the refractive index map, the two interface angle maps (interface model only)
// and their headers.
int makeVolumeMaps(const SampleVolume& sample, const SimulationParameters& parameters,
                   RunContext& context, const PendingMapFiles& files, MapNames& names,
                   const VoxelMaterials* materials) {
    report(context.console, context.log, "Calculating refractive index map.");
    int status = buildRefractiveIndexMap(
        sample, names, context.console, context.log, parameters.sampleValueScale,
        parameters.runMode, parameters.sampleEnergy, context.stopSignal, &files, materials);
    if (status != kPrecalcOk) {
        return status;
    }
    if (phaseModel(parameters)) {
        return writeVolumeMapHeaders(sample, voxelSizesOf(parameters), context.console, context.log,
                                     &files, false, parameters.extensions.lengthUnitMm);
    }
    report(context.console, context.log, "Calculating sample interface map.");
    status = buildInterfaceAngleMaps(sample, names, context.console, context.log,
                                     voxelSizesOf(parameters), parameters.edgeSearchAcross,
                                     parameters.edgeSearchDepth, parameters.runMode,
                                     context.stopSignal, &files, materials != nullptr);
    if (status != kPrecalcOk) {
        return status;
    }
    return writeVolumeMapHeaders(sample, voxelSizesOf(parameters), context.console, context.log,
                                 &files, true, parameters.extensions.lengthUnitMm);
}

// The two deflection planes: Snell's law at the interface angles, or the phase model's
// derivative of the projected refractive index map.
int collapseDeflection(const SampleVolume& sample, const SimulationParameters& parameters,
                       RunContext& context, const MapNames& names, const PendingMapFiles& files,
                       SamplePlanes& planes) {
    if (phaseModel(parameters)) {
        return collapsePhaseMaps(context.console, context.log, names[0], sample.dimX, sample.dimY,
                                 sample.dimZ, voxelSizesOf(parameters), planes.lr, planes.ud,
                                 context.stopSignal, &files);
    }
    report(context.console, context.log, "Collapsing LR interface map.");
    int status =
        collapseInterfaceMap(context.console, context.log, names[1], names[0], sample.dimX,
                             sample.dimY, sample.dimZ, planes.lr, context.stopSignal, &files);
    if (status != kPrecalcOk) {
        return status;
    }
    report(context.console, context.log, "Collapsing UD interface map.");
    return collapseInterfaceMap(context.console, context.log, names[2], names[0], sample.dimX,
                                sample.dimY, sample.dimZ, planes.ud, context.stopSignal, &files);
}

// Modes 3 and 4: the three planes from the volume maps, with previews and headers.
int collapsePlanes(const SampleVolume& sample, const SimulationParameters& parameters,
                   RunContext& context, const MapNames& names, const PendingMapFiles& files,
                   SamplePlanes& planes, const VoxelMaterials* materials) {
    // The phase model reads the refractive index map alone.
    const std::string& lrMap = phaseModel(parameters) ? names[0] : names[1];
    const std::string& udMap = phaseModel(parameters) ? names[0] : names[2];
    if (!allOpen(files.pathOf(names[0]), files.pathOf(lrMap), files.pathOf(udMap))) {
        report(context.console, context.log,
               "ERROR: Could not find files: Z_ref-PRE,Z_iLR-PRE or Z_iUD-PRE check directory");
        return kRunMapFilesMissing;
    }
    int status = collapseDeflection(sample, parameters, context, names, files, planes);
    if (status != kPrecalcOk) {
        return status;
    }
    status = collapseAttenuation(context.console, context.log, sample, names[0], parameters.runMode,
                                 planes.attenuation, context.stopSignal, &files, materials,
                                 &planes.thickness);
    if (status != kPrecalcOk) {
        return status;
    }
    return writePlaneHeaders(sample, voxelSizesOf(parameters), context.console, context.log, &files,
                             parameters.extensions.lengthUnitMm);
}

// Modes 3 and 4. Everything is made under temporary names and renamed into place only when
// the whole precalculation has succeeded: a stop or a failure on the way leaves the maps
// and planes of earlier runs as they were.
int precalculate(const SampleVolume& sample, const SimulationParameters& parameters,
                 RunContext& context, PendingMapFiles& files, SamplePlanes& planes,
                 const SampleMaterials* sampleMaterials) {
    std::optional<VoxelMaterials> materials;
    if (sampleMaterials != nullptr) {
        const double voxelDepthCm = static_cast<double>(parameters.sampleScaleZ) *
                                    parameters.extensions.lengthUnitMm / 10.0;
        materials = makeVoxelMaterials(*sampleMaterials, parameters.sampleEnergy, voxelDepthCm);
        for (const SampleMaterial& entry : sampleMaterials->materials) {
            planes.materials.push_back(entry.material);
        }
    }
    const VoxelMaterials* voxels = materials ? &*materials : nullptr;
    MapNames names{kRefractiveIndexMapName, kLrAngleMapName, kUdAngleMapName};
    std::vector<std::vector<std::string>> sets;
    if (parameters.runMode == 3) {
        sets.push_back(volumeMapSetNames(effectiveDeflectionModel(parameters.extensions)));
    }
    const bool scatters = runScatters(parameters, sampleMaterials);
    sets.push_back(planeSetNames(voxels != nullptr, scatters));
    for (const std::vector<std::string>& set : sets) {
        std::string error;
        if (!files.add(set, &error)) {
            report(context.console, context.log,
                   "ERROR: Cannot make a temporary map file: " + error + ".");
            return kMapWriteFailed;
        }
    }
    // A turned sample is read from its temporary copies; the records name the given files.
    PrecalcInputs inputs{sample, parameters.extensions.sampleScatterFile};
    if (sampleTurns(parameters)) {
        const int status = turnSampleInputs(sample, parameters, context, files, inputs);
        if (status != kPrecalcOk) {
            return status;
        }
    }
    if (parameters.runMode == 3) {
        const int status = makeVolumeMaps(inputs.sample, parameters, context, files, names, voxels);
        if (status != kPrecalcOk) {
            return status;
        }
    }
    int status = collapsePlanes(inputs.sample, parameters, context, names, files, planes, voxels);
    if (status == kPrecalcOk && scatters) {
        status = makeScatterPlane(inputs.sample, parameters, inputs.scatterFile, context, files,
                                  planes, voxels, sampleMaterials);
    }
    if (status != kPrecalcOk) {
        return status;
    }
    if (stopRequested(context.stopSignal)) {
        return kPrecalcStopped;
    }
    const int recorded = writeRecords(parameters, sample, context, files, sampleMaterials);
    if (recorded != kPrecalcOk) {
        return recorded;
    }
    std::string failedName;
    if (!files.publish(sets, failedName)) {
        reportWriteFailure(context.console, context.log, failedName, files.pathOf(failedName));
        return kMapWriteFailed;
    }
    // Named as when a later mode-5 run reads these planes.
    warnNotFinite(std::string(kRefractiveIndexMapName) + kPlaneSuffix,
                  countNotFinite(planes.attenuation), context);
    warnNotFinite(std::string(kLrAngleMapName) + kPlaneSuffix, countNotFinite(planes.lr), context);
    warnNotFinite(std::string(kUdAngleMapName) + kPlaneSuffix, countNotFinite(planes.ud), context);
    return kPrecalcOk;
}

// Mode 5, a sample given as materials: the thickness planes, one per material; missing,
// they end the run as a missing plane does.
int readThicknessPlanes(const SampleVolume& sample, RunContext& context, SamplePlanes& planes,
                        const SampleMaterials& materials, const std::string& planeFolder) {
    const std::string name = inPlaneFolder(planeFolder, kThicknessPlaneName);
    std::error_code error;
    if (std::filesystem::is_directory(name, error) || !std::ifstream(name).is_open()) {
        report(context.console, context.log,
               "ERROR: Could not find file " + name +
                   " (the thickness planes of a sample given as materials); make the planes "
                   "again in run mode 3 or 4.");
        return kRunPlaneFilesMissing;
    }
    planes.thickness = readPlaneDoubles(
        name, sample.sliceSize() * static_cast<std::int64_t>(materials.materials.size()), context);
    for (const SampleMaterial& entry : materials.materials) {
        planes.materials.push_back(entry.material);
    }
    return kRunOk;
}

// Mode 5: the scattering plane, read when the planes' record names one, when the run asks
// for scattering, or, for a set without a record, when the folder holds one; missing where
// it is wanted, it ends the run as a missing plane does.
int readScatterPlane(const SampleVolume& sample, RunContext& context, SamplePlanes& planes,
                     const std::string& planeFolder, bool wanted) {
    const std::string name = inPlaneFolder(planeFolder, kScatterPlaneName);
    const std::string recordPath = inPlaneFolder(planeFolder, kPlaneRecordName);
    std::error_code error;
    const bool recorded = std::filesystem::exists(recordPath, error);
    const bool present =
        !std::filesystem::is_directory(name, error) && std::ifstream(name).is_open();
    if (!(wanted || recordNamesScatterPlane(recordPath) || (!recorded && present))) {
        return kRunOk;
    }
    if (!present) {
        report(context.console, context.log,
               "ERROR: Could not find file " + name +
                   " (the scattering plane these planes were made with); make the planes "
                   "again in run mode 3 or 4.");
        return kRunPlaneFilesMissing;
    }
    planes.scatter = readPlaneDoubles(name, sample.sliceSize(), context);
    return kRunOk;
}

}  // namespace

int readCollapsedPlanes(const SampleVolume& sample, RunContext& context, SamplePlanes& planes,
                        const std::string& planeFolder) {
    const auto planePath = [&](const char* map) {
        return inPlaneFolder(planeFolder, std::string(map) + kPlaneSuffix);
    };
    const std::string attenuationName = planePath(kRefractiveIndexMapName);
    const std::string lrName = planePath(kLrAngleMapName);
    const std::string udName = planePath(kUdAngleMapName);
    if (!allOpen(attenuationName, lrName, udName)) {
        report(context.console, context.log,
               "ERROR: Could not find files: Z_ref-PRE.pca or Z_iLR-PRE.pca or Z_iUD-PRE.pca "
               "check main directory");
        return kRunPlaneFilesMissing;
    }
    const std::int64_t count = sample.sliceSize();
    planes.attenuation = readPlaneDoubles(attenuationName, count, context);
    planes.lr = narrowed(readPlaneDoubles(lrName, count, context));
    planes.ud = narrowed(readPlaneDoubles(udName, count, context));
    return kRunOk;
}

int prepareSamplePlanes(const SampleVolume& sample, const SimulationParameters& parameters,
                        RunContext& context, SamplePlanes& planes) {
    const std::string& folder = parameters.extensions.planeFolder;
    std::optional<SampleMaterials> materials;
    if (!parameters.extensions.sampleMaterials.empty()) {
        std::string error;
        materials.emplace();
        if (!readSampleMaterials(parameters.extensions.sampleMaterials, *materials, error)) {
            report(context.console, context.log, error);
            return kRunSampleRefused;
        }
        report(context.console, context.log,
               "The sample is given as materials (" + materials->path +
                   "): its voxel values are labels, and sampleValueScale plays no part.");
    }
    const SampleMaterials* given = materials ? &*materials : nullptr;
    if (const int checked = checkScatterVolume(parameters, context); checked != kRunOk) {
        return checked;
    }
    const PlaneRecord wanted = recordOf(parameters, sample, given);
    if (parameters.runMode == 5) {
        if (!recordAgrees(inPlaneFolder(folder, kPlaneRecordName), wanted, "planes",
                          "Make them again in run mode 3 or 4, or give planeFolder the folder "
                          "of planes made for this run.",
                          context)) {
            return kRunPlaneRecordDiffers;
        }
        int status = readCollapsedPlanes(sample, context, planes, folder);
        if (status == kRunOk && given != nullptr) {
            status = readThicknessPlanes(sample, context, planes, *given, folder);
        }
        if (status != kRunOk) {
            return status;
        }
        return readScatterPlane(sample, context, planes, folder, runScatters(parameters, given));
    }
    PlaneFolderLock lock;
    if (!holdPlaneFolder(lock, folder, context)) {
        return kRunPlaneFolderBusy;
    }
    if (parameters.runMode == 4 &&
        !recordAgrees(inPlaneFolder(folder, kVolumeMapRecordName), wanted, "volume maps",
                      "Make them again in run mode 3, or give planeFolder the folder of maps "
                      "made for this run.",
                      context)) {
        return kRunMapRecordDiffers;
    }
    // Whatever this run leaves unpublished is removed when files goes out of scope.
    PendingMapFiles files;
    files.setFolder(folder);
    const int status = precalculate(sample, parameters, context, files, planes, given);
    if (status == kPrecalcStopped) {
        reportPrecalcStopped(context.console, context.log);
    }
    return status;
}

}  // namespace conesim
