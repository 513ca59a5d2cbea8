// A sample file that is itself one of the map or plane files would be replaced by its own
// run. Files are compared as files (device and inode), so a name, a hard link and a
// symbolic link are all found.
#pragma once

#include <string>

#include "params/ExtensionSettings.hpp"
#include "util/Console.hpp"

namespace conesim {

// The first map, plane, preview or header file that a run in runMode writes and that is the
// same file as samplePath; empty when there is none. Mode 3 writes the volume maps and the
// planes, mode 4 the planes; mode 5 writes none, so its answer is always empty. The files
// are those of the deflection model, in planeFolder.
std::string mapFileSameAsSample(const std::string& samplePath, int runMode,
                                const std::string& planeFolder = ".",
                                DeflectionModel model = DeflectionModel::kInterface);

// False, after "ERROR: Sample file <sample> is the same file as <map>, which run mode <mode>
// writes; copy the sample to a file of its own." on the console, when the sample is such a
// file; the run must then end before it writes anything.
bool sampleIsApartFromMapFiles(const std::string& samplePath, int runMode, Console& console,
                               const std::string& planeFolder = ".",
                               DeflectionModel model = DeflectionModel::kInterface);

}  // namespace conesim
