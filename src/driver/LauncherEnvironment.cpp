#include "driver/LauncherEnvironment.hpp"

#include <charconv>

namespace conesim {
namespace {

// Open MPI, MPICH and Intel MPI (Hydra, PMI), PMIx launchers, MVAPICH.
constexpr const char* kSizeVariables[] = {"OMPI_COMM_WORLD_SIZE", "PMI_SIZE", "PMIX_SIZE",
                                          "MV2_COMM_WORLD_SIZE"};
constexpr const char* kRankVariables[] = {"OMPI_COMM_WORLD_RANK", "PMI_RANK", "PMIX_RANK",
                                          "MV2_COMM_WORLD_RANK"};

// The whole number a variable holds, or -1.
int numberIn(const char* text) {
    if (text == nullptr) {
        return -1;
    }
    const std::string_view value(text);
    int number = -1;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), number);
    return error == std::errc() && end == value.data() + value.size() ? number : -1;
}

}  // namespace

MpiLaunch detectMpiLaunch(const std::function<const char*(const char*)>& variable) {
    MpiLaunch launch;
    for (const char* name : kSizeVariables) {
        const int size = numberIn(variable(name));
        if (size > 1) {
            launch.several = true;
            launch.processes = size;
            launch.evidence = std::string(name) + "=" + variable(name);
            return launch;
        }
    }
    // A launcher that gives only the rank: a rank above 0 means there are others.
    for (const char* name : kRankVariables) {
        if (numberIn(variable(name)) > 0) {
            launch.several = true;
            launch.evidence = std::string(name) + "=" + variable(name);
            return launch;
        }
    }
    return launch;
}

std::string mpiLaunchRefusal(const MpiLaunch& launch) {
    const std::string count = launch.processes > 0 ? std::to_string(launch.processes) : "several";
    return "ERROR: conesim was started by an MPI launcher as one of " + count + " processes (" +
           launch.evidence +
           "), but this build has no MPI: each process would run the whole simulation on its "
           "own. Build the MPI version with make mpi and start build-mpi/conesim under mpirun.";
}

}  // namespace conesim
