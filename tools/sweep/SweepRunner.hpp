// A whole sweep: the runs of conesim one after the other, each on an edited copy of the
// parameter file, and the folder that collects their images, stack and table.
#pragma once

#include <csignal>
#include <ostream>
#include <string>

#include "sweep/SweepOptions.hpp"

namespace conesim::tools {

struct SweepEnvironment {
    std::ostream& out;      //!< progress and summary
    std::ostream& err;      //!< warnings and errors
    bool terminal = false;  //!< out is a terminal: draw a progress bar
    std::string selfPath;   //!< this program's own path, to find conesim beside it
    // The number of the stop signal that arrived (SIGHUP, SIGINT, SIGTERM), 0 while none did.
    const volatile std::sig_atomic_t* stop = nullptr;
};

// Returns 0 when every run finished, 1 for a refused input or a file that could not be
// read or written, the failing run's status, or 128 + signal after a stop signal.
int runSweep(const SweepOptions& options, SweepEnvironment& environment);

}  // namespace conesim::tools
