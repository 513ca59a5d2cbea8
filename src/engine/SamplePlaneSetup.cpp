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
#include "precalc/MapNames.hpp"
#include "precalc/RefractiveIndexMap.hpp"

namespace conesim {
namespace {

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
    // Not-a-number or infinite values (a damaged file, or one that is not a plane at all)
    // make every photon crossing them miss the detector; say so instead of running silently.
    const auto notFinite =
        std::count_if(values.begin(), values.end(), [](double v) { return !std::isfinite(v); });
    if (notFinite > 0) {
        report(context.console, context.log,
               "WARNING: " + name + " holds " + std::to_string(notFinite) +
                   " values that are not finite numbers.");
    }
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

int collapsePlanes(const SampleVolume& sample, const SimulationParameters& parameters,
                   RunContext& context, const MapNames& names, SamplePlanes& planes) {
    if (!allOpen(names[0], names[1], names[2])) {
        report(context.console, context.log,
               "ERROR: Could not find files: Z_ref-PRE,Z_iLR-PRE or Z_iUD-PRE check directory");
        return kRunMapFilesMissing;
    }
    report(context.console, context.log, "Collapsing LR interface map.");
    int status = collapseInterfaceMap(context.console, context.log, names[1], names[0], sample.dimX,
                                      sample.dimY, sample.dimZ, planes.lr, context.stopSignal);
    if (status != kPrecalcOk) {
        return status;
    }
    report(context.console, context.log, "Collapsing UD interface map.");
    status = collapseInterfaceMap(context.console, context.log, names[2], names[0], sample.dimX,
                                  sample.dimY, sample.dimZ, planes.ud, context.stopSignal);
    if (status != kPrecalcOk) {
        return status;
    }
    return collapseAttenuation(context.console, context.log, sample, names[0], parameters.runMode,
                               planes.attenuation, context.stopSignal);
}

// After a stopped or failed write, the planes on disk no longer form one set: some may be
// new, some from an earlier run. All of them go, so that no later run mixes them.
int discardPlanesAfter(int status) {
    if (status == kPrecalcStopped || status == kMapWriteFailed) {
        for (const char* map : {kRefractiveIndexMapName, kLrAngleMapName, kUdAngleMapName}) {
            discardUnfinishedFile(std::string(map) + ".pca");
            discardUnfinishedFile(std::string(map) + ".pgm");
        }
    }
    return status;
}

}  // namespace

int readCollapsedPlanes(const SampleVolume& sample, RunContext& context, SamplePlanes& planes) {
    const std::string attenuationName = std::string(kRefractiveIndexMapName) + ".pca";
    const std::string lrName = std::string(kLrAngleMapName) + ".pca";
    const std::string udName = std::string(kUdAngleMapName) + ".pca";
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
    MapNames names;
    if (parameters.runMode == 3) {
        report(context.console, context.log, "Calculating refractive index map.");
        int status = buildRefractiveIndexMap(sample, names, context.console, context.log,
                                             parameters.sampleValueScale, parameters.runMode,
                                             parameters.sampleEnergy, context.stopSignal);
        if (status != kPrecalcOk) {
            return discardPlanesAfter(status);
        }
        report(context.console, context.log, "Calculating sample interface map.");
        status = buildInterfaceAngleMaps(
            sample, names, context.console, context.log,
            VoxelSizes{parameters.sampleScaleX, parameters.sampleScaleY, parameters.sampleScaleZ},
            parameters.edgeSearchAcross, parameters.edgeSearchDepth, parameters.runMode,
            context.stopSignal);
        if (status != kPrecalcOk) {
            return discardPlanesAfter(status);
        }
    } else {
        names = {kRefractiveIndexMapName, kLrAngleMapName, kUdAngleMapName};
    }
    if (parameters.runMode == 5) {
        return readCollapsedPlanes(sample, context, planes);
    }
    return discardPlanesAfter(collapsePlanes(sample, parameters, context, names, planes));
}

}  // namespace conesim
