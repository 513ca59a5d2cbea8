// The reconstruction's files: float volumes NAME.raw (little-endian, x fastest, then y,
// then z) with their MetaImage headers NAME.raw.mhd, PNGs of their central slices
// (NAME-xz.png: the x-z plane at the central y, z downwards; NAME-xy.png: the x-y plane at
// the central z), and text files. All are written under temporary names and published
// together, so that a failure leaves earlier files of those names as they were.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "util/PendingFile.hpp"

namespace conesim::tools {

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

class VolumeFileSet {
  public:
    bool addVolume(const std::string& folder, const std::string& name, const FloatVolume& volume,
                   std::string& error);
    bool addText(const std::string& path, const std::string& text, std::string& error);
    // Checks every file, then renames them into place; withdraws those renamed on failure.
    bool publish(std::string& error);

  private:
    bool addSlicePng(const std::string& path, std::uint32_t width, std::uint32_t height,
                     const std::vector<float>& values, std::string& error);
    std::vector<std::unique_ptr<PendingFile>> files_;
};

// Reads a float volume written by addVolume (or any MET_FLOAT MetaImage of 2 or 3
// dimensions) from its header; false with error naming the file otherwise.
bool readFloatVolume(const std::string& headerPath, FloatVolume& volume, std::string& error);

}  // namespace conesim::tools
