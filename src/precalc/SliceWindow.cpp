#include "precalc/SliceWindow.hpp"

#include <algorithm>

#include "precalc/SliceIo.hpp"

namespace conesim {

SliceWindow::SliceWindow(int depth, std::int64_t sliceSize)
    : depth_(depth),
      slotCount_(2 * depth + 1),
      sliceSize_(sliceSize),
      values_(static_cast<std::size_t>(sliceSize * (2 * depth + 1)), 0.0f),
      slotPointers_(static_cast<std::size_t>(2 * depth + 1), nullptr) {
    refreshPointers();
}

float* SliceWindow::slotStart(int k) const {
    const int physical = (base_ + k) % slotCount_;
    return const_cast<float*>(values_.data()) + physical * sliceSize_;
}

void SliceWindow::refreshPointers() {
    for (int k = 0; k < slotCount_; ++k) {
        slotPointers_[static_cast<std::size_t>(k)] = slotStart(k);
    }
}

void SliceWindow::zero() {
    std::fill(values_.begin(), values_.end(), 0.0f);
    base_ = 0;
    refreshPointers();
}

void SliceWindow::fillAhead(std::istream& in, int dimZ) {
    for (int s = 0; s < depth_ && s < dimZ; ++s) {
        readSliceOrZeros(in, slotStart(depth_ + 1 + s), sliceSize_);
    }
}

void SliceWindow::advance(std::istream& in, int nextSlice, int dimZ) {
    base_ = (base_ + 1) % slotCount_;
    float* top = slotStart(slotCount_ - 1);
    if (nextSlice < dimZ) {
        readSliceOrZeros(in, top, sliceSize_);
    } else {
        std::fill(top, top + sliceSize_, 0.0f);
    }
    refreshPointers();
}

}  // namespace conesim
