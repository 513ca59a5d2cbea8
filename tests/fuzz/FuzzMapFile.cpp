// libFuzzer entry of the map-file reads and collapse.
#include "FuzzTargets.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    conesim::fuzz::mapFile(data, size);
    return 0;
}
