#include "engine/PhotonBatch.hpp"

#include <bit>

namespace conesim {

std::uint64_t batchStreamStride(std::int64_t batchSize) {
    constexpr std::uint64_t kMaxPhotonsPerRun = 2000000000;
    const auto size = static_cast<std::uint64_t>(batchSize > 0 ? batchSize : 1);
    const std::uint64_t streams = (kMaxPhotonsPerRun + size - 1) / size + 1;
    return std::uint64_t{1} << (64 - std::bit_width(streams - 1));
}

}  // namespace conesim
