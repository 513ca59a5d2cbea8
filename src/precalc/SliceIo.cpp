#include "precalc/SliceIo.hpp"

#include <algorithm>
#include <fstream>

namespace conesim {

std::int64_t readSliceOrZeros(std::istream& in, float* values, std::int64_t count) {
    std::int64_t got = 0;
    if (count > 0 && in) {
        in.read(reinterpret_cast<char*>(values),
                static_cast<std::streamsize>(count * std::int64_t{sizeof(float)}));
        got = static_cast<std::int64_t>(in.gcount()) / std::int64_t{sizeof(float)};
    }
    if (got < count) {
        std::fill(values + got, values + count, 0.0f);
    }
    return got;
}

bool writeSlice(std::ostream& out, const float* values, std::int64_t count) {
    if (count > 0) {
        out.write(reinterpret_cast<const char*>(values),
                  static_cast<std::streamsize>(count * std::int64_t{sizeof(float)}));
    }
    return static_cast<bool>(out);
}

bool writeDoubles(const std::string& path, const std::vector<double>& values) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    const bool opened = out.is_open();
    if (opened && !values.empty()) {
        out.write(reinterpret_cast<const char*>(values.data()),
                  static_cast<std::streamsize>(values.size() * sizeof(double)));
    }
    out.close();
    return opened && !out.fail();
}

}  // namespace conesim
