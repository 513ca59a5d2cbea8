#include "sweep/SweepOutputFolder.hpp"

#include <algorithm>
#include <regex>
#include <system_error>
#include <vector>

#include "sweep/SweepFiles.hpp"

namespace conesim::tools {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kNamesShown = 3;

// Whether entry is the regular file keep under its own name (not a link to it).
bool isKept(const fs::path& entry, const fs::path& keep) {
    std::error_code code;
    return !keep.empty() && !fs::is_symlink(entry, code) && fs::equivalent(entry, keep, code);
}

std::string listed(const std::vector<std::string>& names) {
    std::string text;
    for (std::size_t i = 0; i < names.size() && i < kNamesShown; ++i) {
        text += (i == 0 ? "" : ", ") + names[i];
    }
    if (names.size() > kNamesShown) {
        text += " and " + std::to_string(names.size() - kNamesShown) + " more";
    }
    return text;
}

}  // namespace

bool isSweepFileName(const std::string& name) {
    static const std::regex runFile(R"(run-\d+(\.1\.dat|\.1\.dat\.mhd|\.1\.pgm|\.1\.json|\.log))");
    return name == kSweepTableName || name == kSweepStackName ||
           name == std::string(kSweepStackName) + ".mhd" || name == kSweepParametersName ||
           std::regex_match(name, runFile);
}

std::string runLogClash(const fs::path& folder, const std::string& logFileName) {
    const fs::path log = (folder / logFileName).lexically_normal();
    if (log.parent_path() != folder.lexically_normal() ||
        !isSweepFileName(log.filename().string())) {
        return "";
    }
    return "the run log's name " + logFileName + " (value 46) is one of the sweep's own files in " +
           folder.string() +
           " (params.txt, stack.raw, stack.raw.mhd, sweep.csv, run-NNN.*), whose content the "
           "log would mix with its own; give the log another name";
}

bool prepareSweepFolder(const fs::path& folder, const std::string& shownName, bool force,
                        const fs::path& keep, std::string& error) {
    std::error_code code;
    fs::create_directories(folder, code);
    if (code || !fs::is_directory(folder, code)) {
        error = "cannot create folder " + shownName;
        return false;
    }
    std::vector<std::string> found;
    bool earlierSweep = false;
    for (const auto& entry : fs::directory_iterator(folder, code)) {
        const std::string name = entry.path().filename().string();
        if (isSweepFileName(name) && !isKept(entry.path(), keep)) {
            found.push_back(name);
            earlierSweep = earlierSweep || name == kSweepTableName || name == kSweepStackName;
        }
    }
    if (code) {
        error = "cannot list folder " + shownName + ": " + code.message();
        return false;
    }
    std::sort(found.begin(), found.end());
    if (!found.empty() && !force) {
        error = earlierSweep ? shownName +
                                   " holds an earlier sweep (sweep.csv or stack.raw); give "
                                   "--force to replace it, or another -o DIR"
                             : shownName + " holds " + listed(found) +
                                   ", which this sweep writes; give --force to replace them, "
                                   "or another -o DIR";
        return false;
    }
    for (const std::string& name : found) {
        // remove takes away a link itself, never the file it leads to.
        if (!fs::remove(folder / name, code) || code) {
            error = "cannot remove " + (folder / name).string() + " for the new sweep" +
                    (code ? ": " + code.message() : "");
            return false;
        }
    }
    return true;
}

}  // namespace conesim::tools
