// The processes of a run that spreads its batches over several processes (MPI), as the
// parallel run sees them. A run in one process uses this base class as it is: it is its
// own cluster of one. The MPI build derives from it; the engine never sees MPI.
#pragma once

#include <cstdint>
#include <vector>

namespace conesim {

// What each process tells the others while the photons run; exchanged as sums.
struct ClusterStatus {
    std::int64_t photons = 0;      //!< photons numbered so far
    std::int64_t hits = 0;         //!< photons scored so far
    std::int64_t idle = 0;         //!< processes whose workers have all ended
    std::int64_t signalStops = 0;  //!< processes that received a stop signal
    std::int64_t interrupts = 0;   //!< processes whose user confirmed an interruption
    std::int64_t stalls = 0;       //!< processes with a batch that could not count photons
    std::int64_t failures = 0;     //!< processes that failed (a message says why)
};

class BatchCluster {
  public:
    virtual ~BatchCluster() = default;

    virtual int rank() const { return 0; }
    virtual int size() const { return 1; }
    // Non-blocking: contributes local to the next exchange (or goes on with the one in
    // progress) and returns true, with the sums over all processes in total, once every
    // process has contributed. Every process makes the same sequence of exchanges.
    virtual bool exchange(const ClusterStatus& local, ClusterStatus& total) {
        total = local;
        return true;
    }
    // Process 0 hands bytes to every other process, which receive them into bytes (called
    // by all processes at the same point). False on a failure.
    virtual bool broadcast(std::vector<std::uint8_t>& bytes) {
        (void)bytes;
        return true;
    }
    // Blocking exchange, called by all processes at the same point.
    virtual ClusterStatus exchangeNow(const ClusterStatus& local) { return local; }
    // Blocking: sums the images of all processes into the one of process 0 (64-bit sums,
    // counts above 4294967295 stay at 4294967295 and add to lostCounts). False on a
    // failure (then every process ends the run).
    virtual bool sumImages(std::vector<std::uint32_t>& image, std::uint64_t& lostCounts) {
        (void)image;
        (void)lostCounts;
        return true;
    }
    // The photon loop of this process ended together with the others' (after the last
    // image sum): from here on no process waits for another.
    virtual void photonsDone() {}
    // True once another process stopped answering after a stop signal (an MPI launcher
    // stops every process when one of them ends, and ends them at once soon after): the
    // exchanges then fail instead of waiting for it, and the run ends without images.
    virtual bool lost() const { return false; }
};

}  // namespace conesim
