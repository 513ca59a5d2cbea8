// libFuzzer entry of the spectrum reader.
#include "FuzzTargets.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    conesim::fuzz::spectrum(data, size);
    return 0;
}
