// The MPI build's process session. Process 0 runs the program as a single process would,
// with the cluster in its environment: it reads every file, prepares the planes, hands the
// run to the others and alone writes the console, the run log and the images. The other
// processes wait for the run, trace the batches that fall to them and add their counts to
// process 0's image. Whatever ends process 0 early ends the others too: they either receive
// its exit status instead of a run, or MPI aborts the job.
#include <mpi.h>

#include <iostream>
#include <new>
#include <optional>
#include <sstream>
#include <streambuf>

#include "driver/ClusterSession.hpp"
#include "driver/CommandLine.hpp"
#include "driver/mpi/MpiCluster.hpp"
#include "engine/RunPackage.hpp"

namespace conesim {
namespace {

// Swallows what a process other than process 0 would print.
class NullBuffer : public std::streambuf {
  protected:
    int overflow(int c) override { return traits_type::not_eof(c); }
    std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

void abortAll(const MpiCluster& cluster, const std::string& why, int status) {
    std::cerr << "conesim process " << cluster.rank() << " of " << cluster.size() << ": " << why
              << "; ending every process." << std::endl;
    MPI_Abort(MPI_COMM_WORLD, status != 0 ? status : 1);
}

// A process other than 0: receive the run (or process 0's early exit status) and trace this
// process's share of the batches.
int runWorkerProcess(const std::vector<std::string>& args, DriverEnvironment& environment,
                     MpiCluster& cluster, bool& ended) {
    std::vector<std::uint8_t> bytes;
    if (!cluster.broadcast(bytes)) {
        abortAll(cluster, "the run could not be received", 14);
    }
    int status = 0;
    SimulationParameters parameters;
    RunPackage run;
    if (!unpackRun(bytes, ended, status, parameters, run)) {
        abortAll(cluster, "the run received from process 0 is damaged", 14);
    }
    if (ended) {
        if (status != 0) {
            std::cerr << "conesim process " << cluster.rank() << " of " << cluster.size()
                      << ": process 0 ended with status " << status << " before the photons ran."
                      << std::endl;
        }
        return status;
    }
    bytes = {};
    CommandLine line;
    std::string ignored;
    parseCommandLine(args, line, ignored);
    NullBuffer sink;
    std::ostream quiet(&sink);
    std::istringstream noInput;
    Console console{quiet, noInput};
    RandomGenerator random(run.seed);
    RunContext context{console, quiet, random};
    context.stopSignal = environment.stopSignal;
    context.cluster = &cluster;
    ParallelSettings settings;
    settings.threads = threadCount(line);
    context.parallel = settings;
    std::vector<std::uint32_t> image;
    return runPackagedPhotons(parameters, run, image, context);
}

class MpiSession : public ClusterSession {
  public:
    MpiSession(int& argc, char**& argv) {
        int provided = 0;
        MPI_Init_thread(&argc, &argv, MPI_THREAD_FUNNELED, &provided);
        cluster_.emplace(MPI_COMM_WORLD);
    }
    ~MpiSession() override {
        cluster_.reset();
        MPI_Finalize();
    }

    int run(const std::vector<std::string>& args, DriverEnvironment& environment) override {
        MpiCluster& cluster = *cluster_;
        cluster.watchStop(environment.stopSignal);
        if (cluster.size() == 1) {
            // A single process runs the batches of the parallel run, as more processes do.
            environment.cluster = &cluster;
            return runProgram(args, environment);
        }
        int status = 0;
        bool endedEarly = false;
        try {
            if (cluster.rank() != 0) {
                status = runWorkerProcess(args, environment, cluster, endedEarly);
            } else {
                environment.cluster = &cluster;
                status = runProgram(args, environment);
            }
        } catch (const std::bad_alloc&) {
            abortAll(cluster, "not enough memory for the run's buffers", 14);
        }
        if (cluster.rank() == 0 && !cluster.broadcastDone()) {
            // Process 0 ended before its photons (a refused file, a missing input, --help):
            // the others end with its status instead of waiting for a run.
            std::vector<std::uint8_t> end = packEndStatus(status);
            cluster.broadcast(end);
        } else if (!endedEarly && !cluster.photonsEnded()) {
            abortAll(cluster,
                     "the run failed while the photons ran (status " + std::to_string(status) + ")",
                     status);
        }
        return status;
    }

  private:
    std::optional<MpiCluster> cluster_;
};

}  // namespace

std::unique_ptr<ClusterSession> startClusterSession(int& argc, char**& argv) {
    return std::make_unique<MpiSession>(argc, argv);
}

}  // namespace conesim
