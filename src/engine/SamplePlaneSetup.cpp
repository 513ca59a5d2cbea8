#include "engine/SamplePlaneSetup.hpp"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "engine/MonteCarloRun.hpp"
#include "precalc/Collapse.hpp"
#include "precalc/InterfaceAngleMaps.hpp"
#include "precalc/MapFileErrors.hpp"
#include "precalc/MapFileHeaders.hpp"
#include "precalc/MapNames.hpp"
#include "precalc/PendingMapFiles.hpp"
#include "precalc/RefractiveIndexMap.hpp"

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

// Mode 3: the refractive index map, the two interface angle maps and their headers.
int makeVolumeMaps(const SampleVolume& sample, const SimulationParameters& parameters,
                   RunContext& context, const PendingMapFiles& files, MapNames& names) {
    report(context.console, context.log, "Calculating refractive index map.");
    int status = buildRefractiveIndexMap(sample, names, context.console, context.log,
                                         parameters.sampleValueScale, parameters.runMode,
                                         parameters.sampleEnergy, context.stopSignal, &files);
    if (status != kPrecalcOk) {
        return status;
    }
    report(context.console, context.log, "Calculating sample interface map.");
    status = buildInterfaceAngleMaps(sample, names, context.console, context.log,
                                     voxelSizesOf(parameters), parameters.edgeSearchAcross,
                                     parameters.edgeSearchDepth, parameters.runMode,
                                     context.stopSignal, &files);
    if (status != kPrecalcOk) {
        return status;
    }
    return writeVolumeMapHeaders(sample, voxelSizesOf(parameters), context.console, context.log,
                                 &files);
}

// Modes 3 and 4: the three planes from the volume maps, with previews and headers.
int collapsePlanes(const SampleVolume& sample, const SimulationParameters& parameters,
                   RunContext& context, const MapNames& names, const PendingMapFiles& files,
                   SamplePlanes& planes) {
    if (!allOpen(files.pathOf(names[0]), files.pathOf(names[1]), files.pathOf(names[2]))) {
        report(context.console, context.log,
               "ERROR: Could not find files: Z_ref-PRE,Z_iLR-PRE or Z_iUD-PRE check directory");
        return kRunMapFilesMissing;
    }
    report(context.console, context.log, "Collapsing LR interface map.");
    int status =
        collapseInterfaceMap(context.console, context.log, names[1], names[0], sample.dimX,
                             sample.dimY, sample.dimZ, planes.lr, context.stopSignal, &files);
    if (status != kPrecalcOk) {
        return status;
    }
    report(context.console, context.log, "Collapsing UD interface map.");
    status = collapseInterfaceMap(context.console, context.log, names[2], names[0], sample.dimX,
                                  sample.dimY, sample.dimZ, planes.ud, context.stopSignal, &files);
    if (status != kPrecalcOk) {
        return status;
    }
    status = collapseAttenuation(context.console, context.log, sample, names[0], parameters.runMode,
                                 planes.attenuation, context.stopSignal, &files);
    if (status != kPrecalcOk) {
        return status;
    }
    return writePlaneHeaders(sample, voxelSizesOf(parameters), context.console, context.log,
                             &files);
}

// Modes 3 and 4. Everything is made under temporary names and renamed into place only when
// the whole precalculation has succeeded: a stop or a failure on the way leaves the maps
// and planes of earlier runs as they were.
int precalculate(const SampleVolume& sample, const SimulationParameters& parameters,
                 RunContext& context, PendingMapFiles& files, SamplePlanes& planes) {
    MapNames names{kRefractiveIndexMapName, kLrAngleMapName, kUdAngleMapName};
    std::vector<std::vector<std::string>> sets;
    if (parameters.runMode == 3) {
        sets.push_back(volumeMapSetNames());
    }
    sets.push_back(planeSetNames());
    for (const std::vector<std::string>& set : sets) {
        std::string error;
        if (!files.add(set, &error)) {
            report(context.console, context.log,
                   "ERROR: Cannot make a temporary map file: " + error + ".");
            return kMapWriteFailed;
        }
    }
    if (parameters.runMode == 3) {
        const int status = makeVolumeMaps(sample, parameters, context, files, names);
        if (status != kPrecalcOk) {
            return status;
        }
    }
    const int status = collapsePlanes(sample, parameters, context, names, files, planes);
    if (status != kPrecalcOk) {
        return status;
    }
    if (stopRequested(context.stopSignal)) {
        return kPrecalcStopped;
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

}  // namespace

int readCollapsedPlanes(const SampleVolume& sample, RunContext& context, SamplePlanes& planes) {
    const std::string attenuationName = std::string(kRefractiveIndexMapName) + kPlaneSuffix;
    const std::string lrName = std::string(kLrAngleMapName) + kPlaneSuffix;
    const std::string udName = std::string(kUdAngleMapName) + kPlaneSuffix;
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
    if (parameters.runMode == 5) {
        return readCollapsedPlanes(sample, context, planes);
    }
    // Whatever this run leaves unpublished is removed when files goes out of scope.
    PendingMapFiles files;
    const int status = precalculate(sample, parameters, context, files, planes);
    if (status == kPrecalcStopped) {
        reportPrecalcStopped(context.console, context.log);
    }
    return status;
}

}  // namespace conesim
