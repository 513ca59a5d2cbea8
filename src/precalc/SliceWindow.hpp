// A rolling window of 2 * depth + 1 sample slices around the slice being processed.
// Slot k holds sample slice z - depth + k; slots before slice 0 or after the last slice
// hold zeros. Moving on by one slice rotates the slots instead of copying them.
#pragma once

#include <cstdint>
#include <istream>
#include <vector>

namespace conesim {

class SliceWindow {
  public:
    SliceWindow(int depth, std::int64_t sliceSize);

    int depth() const { return depth_; }
    int slotCount() const { return slotCount_; }
    std::int64_t sliceSize() const { return sliceSize_; }
    std::int64_t bufferBytes() const {
        return static_cast<std::int64_t>(values_.size() * sizeof(float));
    }

    // Clears every slot.
    void zero();
    // The first fill at slice 0: sample slices 0 .. depth - 1 (those below dimZ) are read in
    // order from in into slots depth + 1 .. 2 * depth.
    void fillAhead(std::istream& in, int dimZ);
    // Moves every slot down by one; the top slot then holds the next slice read from in
    // when nextSlice < dimZ, else zeros.
    void advance(std::istream& in, int nextSlice, int dimZ);

    const float* slot(int k) const { return slotStart(k); }
    // The start of every slot, indexed by slot number, valid until the next advance.
    const std::vector<const float*>& slots() const { return slotPointers_; }

  private:
    float* slotStart(int k) const;
    void refreshPointers();

    int depth_;
    int slotCount_;
    std::int64_t sliceSize_;
    int base_ = 0;  //!< physical slot of logical slot 0
    std::vector<float> values_;
    std::vector<const float*> slotPointers_;
};

}  // namespace conesim
