#include "retrieve/SinogramFill.hpp"

#include <cmath>

namespace conesim::tools {

std::int64_t fillAlongRows(std::vector<float>& values, std::int64_t width, float empty) {
    std::int64_t filled = 0;
    const auto size = static_cast<std::int64_t>(values.size());
    for (std::int64_t start = 0; start + width <= size; start += width) {
        float* row = values.data() + start;
        std::int64_t left = -1;  // the last number seen
        for (std::int64_t x = 0; x <= width; ++x) {
            if (x < width && std::isnan(row[x])) {
                continue;
            }
            // The gap between left and x (x == width: the row's end) is filled.
            for (std::int64_t gap = left + 1; gap < x; ++gap) {
                if (left < 0 && x == width) {
                    row[gap] = empty;
                } else if (left < 0) {
                    row[gap] = row[x];
                } else if (x == width) {
                    row[gap] = row[left];
                } else {
                    const double t =
                        static_cast<double>(gap - left) / static_cast<double>(x - left);
                    row[gap] = static_cast<float>(row[left] + t * (row[x] - row[left]));
                }
                ++filled;
            }
            left = x;
        }
    }
    return filled;
}

std::vector<float> rowThroughVolume(const std::vector<float>& volume, std::int64_t width,
                                    std::int64_t height, std::int64_t y) {
    const std::int64_t depth =
        width * height > 0 ? static_cast<std::int64_t>(volume.size()) / (width * height) : 0;
    std::vector<float> image;
    image.reserve(static_cast<std::size_t>(width * depth));
    for (std::int64_t k = 0; k < depth; ++k) {
        const auto from = volume.begin() + (k * height + y) * width;
        image.insert(image.end(), from, from + width);
    }
    return image;
}

}  // namespace conesim::tools
