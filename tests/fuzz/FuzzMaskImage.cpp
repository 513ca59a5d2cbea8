// libFuzzer entry of the mask image reader.
#include "FuzzTargets.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    conesim::fuzz::maskImage(data, size);
    return 0;
}
