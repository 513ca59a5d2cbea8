#include "precalc/InterfaceAngleFit.hpp"

#include <cmath>

namespace conesim {

InterfaceAngleFit::InterfaceAngleFit(int across, int depth, float lateralScale, float depthScale)
    : across_(across), depth_(depth), depthScale_(depthScale) {
    const std::size_t n = static_cast<std::size_t>(2 * across);
    steps_.reserve(n);
    for (int t = -across; t <= across; ++t) {
        if (t != 0) {
            steps_.push_back(t);
        }
    }
    lateralOffsets_.resize(n);
    for (std::size_t k = 0; k < n; ++k) {
        lateralOffsets_[k] = static_cast<float>(steps_[k]) * lateralScale;
    }
    depthOffsets_.resize(n);
    foundDepths_.resize(n);
}

float InterfaceAngleFit::angle(const float* const* slots, std::int64_t j, std::int64_t stride,
                               int m) {
    const float value = slots[depth_][j];
    const float sentinel = static_cast<float>(depth_);
    const int n = 2 * across_;
    for (int k = 0; k < n; ++k) {
        float found = sentinel;
        const std::int64_t column = j + steps_[static_cast<std::size_t>(k)] * stride;
        for (int zoff = -m; zoff <= m; ++zoff) {
            if (slots[depth_ + zoff][column] == value) {
                found = static_cast<float>(zoff);
                break;
            }
        }
        depthOffsets_[static_cast<std::size_t>(k)] = found;
    }
    foundDepths_ = depthOffsets_;

    // A neighbour whose match lies on the search limit counts as one that found nothing:
    // drop the outermost pair while either end is such a neighbour, down to one pair.
    int first = 0;
    int last = n - 1;
    int halfWidth = across_;
    auto onLimit = [&](float d) { return d == sentinel || d == -sentinel; };
    while (halfWidth != 1 && (onLimit(depthOffsets_[static_cast<std::size_t>(first)]) ||
                              onLimit(depthOffsets_[static_cast<std::size_t>(last)]))) {
        ++first;
        --last;
        --halfWidth;
    }
    const int count = last - first + 1;
    float sum = 0.0f;
    for (int i = first; i <= last; ++i) {
        sum += lateralOffsets_[static_cast<std::size_t>(i)];
    }
    const float mean = sum / static_cast<float>(count);
    float sxx = 0.0f;
    float sxy = 0.0f;
    for (int i = first; i <= last; ++i) {
        const float dx = lateralOffsets_[static_cast<std::size_t>(i)] - mean;
        sxx += dx * dx;
        sxy += dx * (depthOffsets_[static_cast<std::size_t>(i)] * depthScale_);
    }
    const float slope = sxy / sxx;
    return static_cast<float>(std::atan(static_cast<double>(slope)));
}

}  // namespace conesim
