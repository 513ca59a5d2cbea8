// What keeps the map and plane sets of one plane folder apart: the record each set is
// published with and checked against, and the folder's writer lock.
#pragma once

#include <string>

#include "engine/RunContext.hpp"
#include "input/SampleMaterials.hpp"
#include "input/SampleVolume.hpp"
#include "params/SimulationParameters.hpp"
#include "precalc/PendingMapFiles.hpp"
#include "precalc/PlaneFolderLock.hpp"
#include "precalc/PlaneRecord.hpp"

namespace conesim {

// The record of the sets a run makes, or expects to read: its effective deflection model,
// its sample energy (already the spectrum's mean when value 43 was 0), its sample file, its
// sampleRotation and, for a sample given as materials, the materials and the length unit;
// for a run that scatters, its scattering plane (key kScatterRecordKey).
PlaneRecord recordOf(const SimulationParameters& parameters, const SampleVolume& sample,
                     const SampleMaterials* materials = nullptr);

inline constexpr const char* kScatterRecordKey = "scatter";

// True when the record file at recordPath exists and names a scattering plane.
bool recordNamesScatterPlane(const std::string& recordPath);

// Writes the records of the sets this run publishes, where files places them: the volume
// maps' (when pending, mode 3) and the planes'. kPrecalcOk, or kMapWriteFailed after
// "ERROR: Cannot write file <record>.".
int writeRecords(const SimulationParameters& parameters, const SampleVolume& sample,
                 RunContext& context, const PendingMapFiles& files,
                 const SampleMaterials* materials = nullptr);

// True when the set whose record is at recordPath may be used: its record matches wanted,
// or it has none. Otherwise false after "ERROR: The <what> (<record>) were made with KEY =
// VALUE; this run has KEY = VALUE. <remedy>" (or "ERROR: Cannot read <record>.") on the
// console and in the run log.
bool recordAgrees(const std::string& recordPath, const PlaneRecord& wanted, const char* what,
                  const char* remedy, RunContext& context);

// Takes the plane folder's writer lock. False after "ERROR: Another run (process PID) is
// writing maps and planes in folder <absolute folder>; ..." when another live process
// holds it. A folder whose lock file cannot be made is not refused here: its writes fail
// later, with their own messages.
bool holdPlaneFolder(PlaneFolderLock& lock, const std::string& folder, RunContext& context);

}  // namespace conesim
