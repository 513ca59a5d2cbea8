#include "driver/MpiCluster.hpp"

#include <algorithm>
#include <limits>

namespace conesim {
namespace {

// Largest piece handed to one MPI call: counts are int, and pieces bound the extra memory.
constexpr std::size_t kChunkBytes = std::size_t{1} << 26;

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

bool MpiCluster::exchange(const ClusterStatus& local, ClusterStatus& total) {
    if (pending_ == MPI_REQUEST_NULL) {
        sent_ = toArray(local);
        MPI_Iallreduce(sent_.data(), summed_.data(), kStatusFields, MPI_INT64_T, MPI_SUM,
                       communicator_, &pending_);
    }
    int done = 0;
    MPI_Test(&pending_, &done, MPI_STATUS_IGNORE);
    if (done == 0) {
        return false;
    }
    total = fromArray(summed_);
    return true;
}

ClusterStatus MpiCluster::exchangeNow(const ClusterStatus& local) {
    StatusArray values = toArray(local);
    StatusArray sums{};
    MPI_Allreduce(values.data(), sums.data(), kStatusFields, MPI_INT64_T, MPI_SUM, communicator_);
    return fromArray(sums);
}

bool MpiCluster::sumImages(std::vector<std::uint32_t>& image, std::uint64_t& lostCounts) {
    // Every process holds an image of the same size; the sums travel as 64-bit numbers so
    // that no count wraps on the way, and process 0 keeps counts above the largest one at it.
    constexpr std::size_t kChunk = kChunkBytes / sizeof(std::uint64_t);
    std::vector<std::uint64_t> piece(std::min(kChunk, image.size()));
    std::vector<std::uint64_t> sums(rank_ == 0 ? piece.size() : 0);
    for (std::size_t first = 0; first < image.size(); first += kChunk) {
        const std::size_t count = std::min(kChunk, image.size() - first);
        std::copy_n(image.begin() + static_cast<std::ptrdiff_t>(first), count, piece.begin());
        if (MPI_Reduce(piece.data(), sums.data(), static_cast<int>(count), MPI_UINT64_T, MPI_SUM, 0,
                       communicator_) != MPI_SUCCESS) {
            return false;
        }
        if (rank_ == 0) {
            for (std::size_t i = 0; i < count; ++i) {
                const std::uint64_t sum = sums[i];
                const std::uint64_t kept = std::min<std::uint64_t>(sum, 0xFFFFFFFFULL);
                lostCounts += sum - kept;
                image[first + i] = static_cast<std::uint32_t>(kept);
            }
        }
    }
    std::uint64_t lost = lostCounts;
    std::uint64_t allLost = 0;
    if (MPI_Reduce(&lost, &allLost, 1, MPI_UINT64_T, MPI_SUM, 0, communicator_) != MPI_SUCCESS) {
        return false;
    }
    if (rank_ == 0) {
        // Process 0's own lost counts are in allLost already.
        lostCounts = allLost;
    }
    return true;
}

}  // namespace conesim
