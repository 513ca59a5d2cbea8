// The processes of an MPI run as the parallel photon run sees them. Only the coordinating
// thread of each process calls MPI (MPI_THREAD_FUNNELED); the workers never do.
#pragma once

#include <mpi.h>

#include <array>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <optional>
#include <vector>

#include "engine/BatchCluster.hpp"

namespace conesim {

class MpiCluster : public BatchCluster {
  public:
    explicit MpiCluster(MPI_Comm communicator);
    ~MpiCluster() override;
    MpiCluster(const MpiCluster&) = delete;
    MpiCluster& operator=(const MpiCluster&) = delete;

    int rank() const override { return rank_; }
    int size() const override { return size_; }
    bool broadcast(std::vector<std::uint8_t>& bytes) override;
    bool exchange(const ClusterStatus& local, ClusterStatus& total) override;
    ClusterStatus exchangeNow(const ClusterStatus& local) override;
    bool sumImages(std::vector<std::uint32_t>& image, std::uint64_t& lostCounts) override;
    void photonsDone() override { photonsDone_ = true; }
    bool lost() const override { return lost_; }
    // The stop flag that the exchanges look at while they wait (may be null).
    void watchStop(const volatile std::sig_atomic_t* stop) { stop_ = stop; }

    // Whether process 0 has handed out a run, and whether the photon loop ended everywhere.
    bool broadcastDone() const { return broadcastDone_; }
    bool photonsEnded() const { return photonsDone_; }

  private:
    static constexpr int kStatusFields = 7;
    using StatusArray = std::array<std::int64_t, kStatusFields>;
    static StatusArray toArray(const ClusterStatus& status);
    static ClusterStatus fromArray(const StatusArray& values);
    // Process 0, while a stop was requested: true once no exchange has completed for
    // kStopSilence.
    bool silentAfterStop();
    // Waits for request; false when the process stays silent after a stop (lost_ is then set).
    bool await(MPI_Request& request);

    MPI_Comm communicator_;
    int rank_ = 0;
    int size_ = 1;
    MPI_Request pending_ = MPI_REQUEST_NULL;
    StatusArray sent_{};
    StatusArray summed_{};
    StatusArray nowSent_{};
    StatusArray nowSummed_{};
    std::vector<std::uint64_t> piece_;
    std::vector<std::uint64_t> sums_;
    std::uint64_t lostSent_ = 0;
    std::uint64_t lostSummed_ = 0;
    bool broadcastDone_ = false;
    bool photonsDone_ = false;
    bool lost_ = false;
    const volatile std::sig_atomic_t* stop_ = nullptr;
    std::optional<std::chrono::steady_clock::time_point> silentSince_;
};

}  // namespace conesim
