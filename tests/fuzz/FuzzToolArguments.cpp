// libFuzzer entry of the companion tools' option parsers.
#include "ToolArgumentTarget.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    conesim::fuzz::toolArguments(data, size);
    return 0;
}
