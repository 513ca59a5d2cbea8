// The messages for a map, plane, preview or header file that could not be written in full,
// and for a precalculation ended by a stop signal.
#pragma once

#include <filesystem>
#include <ostream>
#include <string>
#include <system_error>

#include "util/Console.hpp"

namespace conesim {

// Removes what was written of a map, plane or preview file that could not be finished, so
// that no later run reads it as complete. Only regular files are removed: a name that is a
// directory or a device is left as it is.
inline void discardUnfinishedFile(const std::string& name) {
    std::error_code error;
    if (std::filesystem::is_regular_file(std::filesystem::symlink_status(name, error))) {
        std::filesystem::remove(name, error);
    }
}

// Console and run log: "ERROR: Cannot write file <name>." A half-written map would be read
// back later as if it were complete, so every such failure is named, the unfinished file
// at path (where the file named name was being written) removed and the failure passed
// upwards.
inline void reportWriteFailure(Console& console, std::ostream& log, const std::string& name,
                               const std::string& path) {
    report(console, log, "ERROR: Cannot write file " + name + ".");
    discardUnfinishedFile(path);
}

// The same for a file written under its own name.
inline void reportWriteFailure(Console& console, std::ostream& log, const std::string& name) {
    reportWriteFailure(console, log, name, name);
}

// Console and run log when a stop signal ends the precalculation. The run's files were
// made under temporary names, so the map and plane files of earlier runs are as they were.
inline void reportPrecalcStopped(Console& console, std::ostream& log) {
    report(console, log,
           "Run stopped by a signal during the precalculation; no map or plane file was "
           "changed.");
}

}  // namespace conesim
