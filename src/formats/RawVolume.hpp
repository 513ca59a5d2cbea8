// Float volumes on disk: NAME.raw (little-endian 32-bit floats, x fastest, then y, then z)
// with the MetaImage header NAME.raw.mhd that describes it. Both are written under temporary
// names, so that a failure leaves earlier files of those names as they were.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "formats/MetaImageHeader.hpp"
#include "util/PendingFile.hpp"

namespace conesim {

struct FloatVolume {
    std::int64_t dimX = 0;
    std::int64_t dimY = 0;
    std::int64_t dimZ = 0;
    double spacing[3] = {1.0, 1.0, 1.0};  //!< for the header (mm with lengthUnitMm)
    std::vector<float> values;

    // The x-z plane at y (dimX x dimZ, z the row) and the x-y plane at z.
    std::vector<float> planeXz(std::int64_t y) const;
    std::vector<float> planeXy(std::int64_t z) const;
};

// Reads a float volume (any MET_FLOAT MetaImage of 2 or 3 dimensions) from its header; false
// with error naming the file otherwise.
bool readFloatVolume(const std::string& headerPath, FloatVolume& volume, std::string& error);

// Writes values to rawPath and layout's header to rawPath + ".mhd" under temporary names,
// without publishing them: both pending files are appended to files (raw, then header), which
// the caller commits together. False (error set) when an output is refused or a write fails.
bool stageFloatVolume(const std::string& rawPath, const MetaImageLayout& layout,
                      const std::vector<float>& values,
                      std::vector<std::unique_ptr<PendingFile>>& files, std::string& error);

// Fills one z slice (dimensions[0] x dimensions[1] floats, row by row) of a volume written
// slice by slice.
using FloatSliceSource = std::function<void(std::int64_t z, std::vector<float>& slice)>;

// Writes a MET_FLOAT volume of layout's size to rawPath one slice at a time (only one slice
// is held in memory), each from fill, then its header rawPath + ".mhd", and publishes both
// together; earlier files of those names are left as they were on failure. False (error
// "cannot write RAW (slice Z)", "cannot write RAW" or "cannot write RAW.mhd", or the
// refusal of an output) on failure.
bool writeFloatVolume(const std::string& rawPath, const MetaImageLayout& layout,
                      const FloatSliceSource& fill, std::string& error);

}  // namespace conesim
