// The message for a map, plane or preview file that could not be written in full.
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
// removed and the failure passed upwards.
inline void reportWriteFailure(Console& console, std::ostream& log, const std::string& name) {
    report(console, log, "ERROR: Cannot write file " + name + ".");
    discardUnfinishedFile(name);
}

// Console and run log when a stop signal ends the precalculation.
inline void reportPrecalcStopped(Console& console, std::ostream& log) {
    report(console, log,
           "Run stopped by a signal during the precalculation; unfinished map files were "
           "removed.");
}

}  // namespace conesim
