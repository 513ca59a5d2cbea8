#include "engine/PlaneSetChecks.hpp"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <system_error>

#include "engine/ScatterSetup.hpp"
#include "precalc/MapFileErrors.hpp"
#include "precalc/MapNames.hpp"
#include "precalc/SampleRotation.hpp"

namespace conesim {
namespace {

// The plane folder as messages name it: its absolute path.
std::string folderText(const std::string& folder) {
    std::error_code error;
    const std::filesystem::path path =
        std::filesystem::weakly_canonical(std::filesystem::absolute(folder, error), error);
    return error || path.empty() ? folder : path.string();
}

}  // namespace

namespace {

PlaneRecord recordWithoutScatter(const SimulationParameters& parameters, const SampleVolume& sample,
                                 const SampleMaterials* materials) {
    const DeflectionModel model = effectiveDeflectionModel(parameters.extensions);
    const std::string rotation = rotationText(parameters.extensions.sampleRotation);
    if (materials == nullptr) {
        return makePlaneRecord(model, parameters.sampleEnergy, sample.path, "none", "voxel values",
                               rotation);
    }
    std::ostringstream unit;
    unit << "lengthUnitMm " << parameters.extensions.lengthUnitMm;
    return makePlaneRecord(model, parameters.sampleEnergy, sample.path,
                           materials->path + ": " + materialsSignature(*materials), unit.str(),
                           rotation);
}

}  // namespace

PlaneRecord recordOf(const SimulationParameters& parameters, const SampleVolume& sample,
                     const SampleMaterials* materials) {
    PlaneRecord record = recordWithoutScatter(parameters, sample, materials);
    // Only a run that scatters names its scattering plane, so that the records of sets
    // made without one stay as they were.
    const std::string scatter = scatterRecordValue(parameters, materials);
    if (!scatter.empty()) {
        record.entries.emplace_back(kScatterRecordKey, scatter);
    }
    return record;
}

bool recordNamesScatterPlane(const std::string& recordPath) {
    std::ifstream in(recordPath, std::ios::binary);
    if (!in.is_open()) {
        return false;
    }
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return !parsePlaneRecord(text).valueOf(kScatterRecordKey).empty();
}

int writeRecords(const SimulationParameters& parameters, const SampleVolume& sample,
                 RunContext& context, const PendingMapFiles& files,
                 const SampleMaterials* materials) {
    const PlaneRecord record = recordOf(parameters, sample, materials);
    for (const char* name : {kVolumeMapRecordName, kPlaneRecordName}) {
        if (!files.isPending(name)) {
            continue;
        }
        if (!writePlaneRecord(files.pathOf(name), record)) {
            reportWriteFailure(context.console, context.log, name, files.pathOf(name));
            return kMapWriteFailed;
        }
    }
    return kPrecalcOk;
}

bool recordAgrees(const std::string& recordPath, const PlaneRecord& wanted, const char* what,
                  const char* remedy, RunContext& context) {
    RecordDifference difference;
    const RecordCheck check = checkPlaneRecord(recordPath, wanted, difference);
    if (recordAccepted(check)) {
        return true;
    }
    if (check == RecordCheck::kUnreadable) {
        report(context.console, context.log, "ERROR: Cannot read " + recordPath + ".");
        return false;
    }
    report(context.console, context.log,
           std::string("ERROR: The ") + what + " (" + recordPath + ") were made with " +
               difference.key + " = " + difference.recorded + "; this run has " + difference.key +
               " = " + difference.wanted + ". " + remedy);
    return false;
}

bool holdPlaneFolder(PlaneFolderLock& lock, const std::string& folder, RunContext& context) {
    if (lock.acquire(folder) != PlaneFolderLock::Result::kHeldByOther) {
        return true;
    }
    const std::string holder =
        lock.holder() > 0 ? " (process " + std::to_string(lock.holder()) + ")" : "";
    report(context.console, context.log,
           "ERROR: Another run" + holder + " is writing maps and planes in folder " +
               folderText(folder) +
               "; wait until it has finished, or give this run a planeFolder of its own.");
    return false;
}

}  // namespace conesim
