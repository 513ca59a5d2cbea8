// Shared by the end-to-end tests of the map and plane files: the inputs of a small run, the
// built program run through the shell, and the folder's files as a comparable snapshot.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "ParameterFileText.hpp"
#include "ProgramRun.hpp"
#include "TestSupport.hpp"

extern char** environ;

namespace conesim::testing {

// A 20 x 20 x 8 sample of unit voxels from 60, a 40 x 40 detector at 150: every photon
// that reaches the detector crosses the sample.
inline constexpr int kSampleX = 20;
inline constexpr int kSampleY = 20;
inline constexpr int kSampleZ = 8;

// Every voxel 10: a column attenuation of 80, which absorbs every photon.
inline std::vector<float> opaqueSample() {
    return std::vector<float>(kSampleX * kSampleY * kSampleZ, 10.0F);
}

// Every voxel 0: vacuum.
inline std::vector<float> emptySample() {
    return std::vector<float>(kSampleX * kSampleY * kSampleZ, 0.0F);
}

// The parameter file of such a run in the given mode, with further values replaced.
inline std::string precalcParameters(int mode, std::map<int, std::string> overrides = {}) {
    overrides.emplace(10, std::to_string(kSampleX));
    overrides.emplace(11, std::to_string(kSampleY));
    overrides.emplace(12, std::to_string(kSampleZ));
    overrides.emplace(32, std::to_string(mode));
    return parameterFileText(overrides);
}

// OUT, Spectrum, Sample.bin and params.txt for a run in mode; no mask files (masks off).
inline void writePrecalcInputs(const ScratchDir& dir, int mode, const std::vector<float>& sample,
                               std::map<int, std::string> overrides = {}) {
    std::filesystem::create_directories(dir.path() / "OUT");
    writeText(dir.file("Spectrum"), "30\n");
    writeValues(dir.file("Sample.bin"), sample);
    writeText(dir.file("params.txt"), precalcParameters(mode, std::move(overrides)));
}

// Starts program (found on the PATH unless it holds a '/') with the arguments in folder,
// standard input from /dev/null, standard output and error to outputFd unless it is -1 (then
// inherited), and every signal at its default action and unblocked, as from a login shell:
// a test runner may have passed on SIGPIPE ignored. The process id, or -1.
inline pid_t spawnInFolder(const std::filesystem::path& folder, std::vector<std::string> words,
                           int outputFd = -1, int closeFd = -1) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (outputFd >= 0) {
        posix_spawn_file_actions_adddup2(&actions, outputFd, 1);
        posix_spawn_file_actions_adddup2(&actions, outputFd, 2);
        posix_spawn_file_actions_addclose(&actions, outputFd);
    }
    if (closeFd >= 0) {
        posix_spawn_file_actions_addclose(&actions, closeFd);
    }
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t all;
    sigfillset(&all);
    posix_spawnattr_setsigdefault(&attributes, &all);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], &actions, &attributes, argv.data(), environ) != 0) {
        pid = -1;
    }
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

struct ShellRun {
    int status = -1;  //!< the exit status as a shell reports it (ProgramResult::shellStatus)
    std::string console;
};

// Runs the built program in dir with arguments (words separated by blanks) under a time
// limit, console (output and error) also to console.txt, standard input from /dev/null,
// with an address-space limit when addressSpaceKiB is above 0 and the environment's
// NAME=VALUE added.
inline ShellRun runInFolder(const ScratchDir& dir, const std::string& arguments,
                            std::int64_t addressSpaceKiB = 0,
                            const std::vector<std::string>& environment = {}) {
    ProgramCall call{CONESIM_BINARY, words(arguments), dir.path()};
    call.addressSpaceKiB = addressSpaceKiB;
    call.environment = environment;
    call.timeoutSeconds = 60;
    call.mergeErrorIntoOutput = true;
    const ProgramResult result = runProgram(call);
    writeText(dir.file("console.txt"), result.out);
    return ShellRun{result.shellStatus(), result.out};
}

// Every entry of the folder itself with its bytes ("link -> target" for a link, "folder"
// for a folder), but the console capture and the output folder.
inline std::map<std::string, std::string> folderSnapshot(const ScratchDir& dir) {
    std::map<std::string, std::string> entries;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        const std::string name = entry.path().filename().string();
        if (name == "console.txt" || name == "OUT") {
            continue;
        }
        if (entry.is_symlink()) {
            entries[name] = "link -> " + std::filesystem::read_symlink(entry.path()).string();
        } else if (entry.is_directory()) {
            entries[name] = "folder";
        } else {
            entries[name] = readText(entry.path().string());
        }
    }
    return entries;
}

// The names in a snapshot that hold a temporary name of the precalculation.
inline std::vector<std::string> temporaryNames(const std::map<std::string, std::string>& files) {
    std::vector<std::string> names;
    for (const auto& [name, content] : files) {
        if (name.find(".partial-") != std::string::npos) {
            names.push_back(name);
        }
    }
    return names;
}

// The total of the counts in a raw detector image.
inline std::uint64_t totalCounts(const std::string& path) {
    std::uint64_t total = 0;
    for (std::uint32_t count : readValues<std::uint32_t>(path)) {
        total += count;
    }
    return total;
}

}  // namespace conesim::testing
