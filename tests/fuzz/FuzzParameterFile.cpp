// libFuzzer entry of the parameter file reader.
#include "FuzzTargets.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    conesim::fuzz::parameterFile(data, size);
    return 0;
}
