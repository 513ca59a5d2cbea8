// The processes one invocation of the program runs in. A plain build runs in one process;
// the MPI build (make mpi) starts MPI here and lets process 0 run the program while the
// others trace their share of the photons. The session lives for the whole process.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "driver/Driver.hpp"

namespace conesim {

class ClusterSession {
  public:
    virtual ~ClusterSession() = default;
    // Runs the program's part of this process; returns the process's exit code.
    virtual int run(const std::vector<std::string>& args, DriverEnvironment& environment) = 0;
};

// Called first thing in the process, before any thread or signal handler exists.
std::unique_ptr<ClusterSession> startClusterSession(int& argc, char**& argv);

}  // namespace conesim
