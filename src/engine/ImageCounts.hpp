// The two ways photons are counted into a detector image. Counts saturate: a pixel at
// 4294967295 stays there, and the lost counts are tallied so that the run can say so.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <limits>

namespace conesim {

inline constexpr std::uint32_t kMaxCount = std::numeric_limits<std::uint32_t>::max();

// Adds one to a counter unless it is full; returns false when the count was lost.
inline bool addSaturating(std::uint32_t& counter) {
    if (counter == kMaxCount) {
        return false;
    }
    ++counter;
    return true;
}

// Counts into an image that one worker owns, a few photons late: each new pixel's cache
// line is fetched when the photon is scored and incremented only when kDepth more have been
// scored, so the loop does not wait for the image memory. The counts are the same once
// flushed; flush() must run before anyone reads the image.
class DeferredCounts {
  public:
    explicit DeferredCounts(std::uint32_t* image) : image_(image) { pending_.fill(&spare_); }
    void add(std::int64_t index) {
        std::uint32_t* const counter = image_ + index;
        __builtin_prefetch(counter, 1);
        count(*pending_[head_]);
        pending_[head_] = counter;
        head_ = (head_ + 1) % kDepth;
    }
    void flush() {
        for (std::uint32_t*& counter : pending_) {
            count(*counter);
            counter = &spare_;
        }
        spare_ = 0;
    }
    std::uint64_t lostCounts() const { return lost_; }

  private:
    void count(std::uint32_t& counter) { lost_ += addSaturating(counter) ? 0U : 1U; }

    static constexpr std::size_t kDepth = 8;
    std::uint32_t* image_;
    std::array<std::uint32_t*, kDepth> pending_{};
    std::size_t head_ = 0;
    std::uint32_t spare_ = 0;  //!< what the empty slots count into
    std::uint64_t lost_ = 0;
};

// Counts into one image that all workers share, by atomic increments: for detectors too
// large to give every worker an image of its own.
class SharedCounts {
  public:
    explicit SharedCounts(std::uint32_t* image) : image_(image) {}
    void add(std::int64_t index) {
        std::atomic_ref<std::uint32_t> counter(image_[index]);
        std::uint32_t value = counter.load(std::memory_order_relaxed);
        do {
            if (value == kMaxCount) {
                ++lost_;
                return;
            }
        } while (!counter.compare_exchange_weak(value, value + 1, std::memory_order_relaxed));
    }
    void flush() {}
    std::uint64_t lostCounts() const { return lost_; }

  private:
    std::uint32_t* image_;
    std::uint64_t lost_ = 0;
};

}  // namespace conesim
