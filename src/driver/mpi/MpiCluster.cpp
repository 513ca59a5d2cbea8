#include "driver/mpi/MpiCluster.hpp"

#include <algorithm>
#include <limits>
#include <thread>

namespace conesim {
namespace {

// Largest piece handed to one MPI call: counts are int, and pieces bound the extra memory.
constexpr std::size_t kChunkBytes = std::size_t{1} << 26;

// After a stop signal, every process answers within a few coordinator ticks of 0.1 s; one
// that stays silent this long has ended. Open MPI's mpirun kills the remaining processes
// one second after its SIGTERM, so the run must find out, and clean up, before that.
constexpr auto kStopSilence = std::chrono::milliseconds(500);

}  // namespace

MpiCluster::MpiCluster(MPI_Comm communicator) : communicator_(communicator) {
    MPI_Comm_rank(communicator_, &rank_);
    MPI_Comm_size(communicator_, &size_);
}

MpiCluster::~MpiCluster() {
    if (pending_ != MPI_REQUEST_NULL) {
        MPI_Request_free(&pending_);
    }
}

MpiCluster::StatusArray MpiCluster::toArray(const ClusterStatus& s) {
    return {s.photons, s.hits, s.idle, s.signalStops, s.interrupts, s.stalls, s.failures};
}

ClusterStatus MpiCluster::fromArray(const StatusArray& v) {
    return ClusterStatus{v[0], v[1], v[2], v[3], v[4], v[5], v[6]};
}

bool MpiCluster::broadcast(std::vector<std::uint8_t>& bytes) {
    std::uint64_t size = bytes.size();
    if (MPI_Bcast(&size, 1, MPI_UINT64_T, 0, communicator_) != MPI_SUCCESS) {
        return false;
    }
    if (rank_ != 0) {
        bytes.resize(static_cast<std::size_t>(size));
    }
    for (std::size_t first = 0; first < bytes.size(); first += kChunkBytes) {
        const auto count = static_cast<int>(std::min(kChunkBytes, bytes.size() - first));
        if (MPI_Bcast(bytes.data() + first, count, MPI_BYTE, 0, communicator_) != MPI_SUCCESS) {
            return false;
        }
    }
    broadcastDone_ = true;
    return true;
}

bool MpiCluster::silentAfterStop() {
    // Only process 0 has files to clean up; the launcher ends the others. A process that
    // gave up on a slow process 0 (writing a large progress image, say) would instead end a
    // sound run without its images.
    if (rank_ != 0 || stop_ == nullptr || *stop_ == 0) {
        return false;
    }
    const auto now = std::chrono::steady_clock::now();
    if (!silentSince_) {
        silentSince_ = now;
    }
    if (now - *silentSince_ > kStopSilence) {
        lost_ = true;
    }
    return lost_;
}

bool MpiCluster::await(MPI_Request& request) {
    for (;;) {
        int done = 0;
        MPI_Test(&request, &done, MPI_STATUS_IGNORE);
        if (done != 0) {
            silentSince_.reset();
            return true;
        }
        if (lost_ || silentAfterStop()) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

bool MpiCluster::exchange(const ClusterStatus& local, ClusterStatus& total) {
    if (lost_) {
        return false;
    }
    if (pending_ == MPI_REQUEST_NULL) {
        sent_ = toArray(local);
        MPI_Iallreduce(sent_.data(), summed_.data(), kStatusFields, MPI_INT64_T, MPI_SUM,
                       communicator_, &pending_);
    }
    int done = 0;
    MPI_Test(&pending_, &done, MPI_STATUS_IGNORE);
    if (done == 0) {
        silentAfterStop();
        return false;
    }
    silentSince_.reset();
    total = fromArray(summed_);
    return true;
}

ClusterStatus MpiCluster::exchangeNow(const ClusterStatus& local) {
    // The buffers are members: a request given up on may still write into them.
    nowSent_ = toArray(local);
    MPI_Request request = MPI_REQUEST_NULL;
    if (lost_ || MPI_Iallreduce(nowSent_.data(), nowSummed_.data(), kStatusFields, MPI_INT64_T,
                                MPI_SUM, communicator_, &request) != MPI_SUCCESS) {
        return local;
    }
    if (!await(request)) {
        return local;
    }
    return fromArray(nowSummed_);
}

bool MpiCluster::sumImages(std::vector<std::uint32_t>& image, std::uint64_t& lostCounts) {
    // Every process holds an image of the same size; the sums travel as 64-bit numbers so
    // that no count wraps on the way, and process 0 keeps counts above the largest one at it.
    // The buffers are members: a request given up on may still write into them.
    constexpr std::size_t kChunk = kChunkBytes / sizeof(std::uint64_t);
    if (lost_) {
        return false;
    }
    piece_.resize(std::min(kChunk, image.size()));
    sums_.resize(rank_ == 0 ? piece_.size() : 0);
    for (std::size_t first = 0; first < image.size(); first += kChunk) {
        const std::size_t count = std::min(kChunk, image.size() - first);
        std::copy_n(image.begin() + static_cast<std::ptrdiff_t>(first), count, piece_.begin());
        MPI_Request request = MPI_REQUEST_NULL;
        if (MPI_Ireduce(piece_.data(), sums_.data(), static_cast<int>(count), MPI_UINT64_T, MPI_SUM,
                        0, communicator_, &request) != MPI_SUCCESS ||
            !await(request)) {
            return false;
        }
        if (rank_ == 0) {
            for (std::size_t i = 0; i < count; ++i) {
                const std::uint64_t sum = sums_[i];
                const std::uint64_t kept = std::min<std::uint64_t>(sum, 0xFFFFFFFFULL);
                lostCounts += sum - kept;
                image[first + i] = static_cast<std::uint32_t>(kept);
            }
        }
    }
    lostSent_ = lostCounts;
    MPI_Request request = MPI_REQUEST_NULL;
    if (MPI_Ireduce(&lostSent_, &lostSummed_, 1, MPI_UINT64_T, MPI_SUM, 0, communicator_,
                    &request) != MPI_SUCCESS ||
        !await(request)) {
        return false;
    }
    if (rank_ == 0) {
        // Process 0's own lost counts are in the sum already.
        lostCounts = lostSummed_;
    }
    return true;
}

}  // namespace conesim
