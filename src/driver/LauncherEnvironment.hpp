// Whether an MPI launcher (mpirun, mpiexec, srun with PMI) started this process as one of
// several, read from the variables the common launchers put in each process's environment.
// The build without MPI refuses such a start: each process would run the whole simulation
// alone and write the same image under its own run number.
#pragma once

#include <functional>
#include <string>

namespace conesim {

struct MpiLaunch {
    bool several = false;  //!< the launcher started more than one process
    int processes = 0;     //!< how many, when a variable says so; 0 when only a rank does
    std::string evidence;  //!< the variable that shows it, as NAME=VALUE
};

// variable gives the value of an environment variable, or null when it is not set.
MpiLaunch detectMpiLaunch(const std::function<const char*(const char*)>& variable);

// The refusal of the build without MPI, naming the MPI build.
std::string mpiLaunchRefusal(const MpiLaunch& launch);

}  // namespace conesim
