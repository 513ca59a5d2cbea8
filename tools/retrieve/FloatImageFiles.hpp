// The retrieval's images on disk: NAME.raw (little-endian 32-bit floats, row by row, NaN
// where nothing was retrieved), its MetaImage header NAME.raw.mhd and a greyscale NAME.png.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/PngIo.hpp"
#include "common/StagedFiles.hpp"

namespace conesim::tools {

enum class GreyMapping {
    kFullRange,  //!< black at the smallest finite value, white at the largest
    kSymmetric,  //!< mid-grey at 0, black and white at -m and +m, m the 99th percentile of
                 //!< the non-zero |values| (larger ones clamped)
};

struct FloatImage {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    double spacingX = 1.0;  //!< pixel size along x, for the header
    double spacingY = 1.0;
    std::vector<float> values;
};

// Output files written under temporary names and published together, so that a failure
// part-way leaves every earlier file of those names as it was, never a mix of old and new.
class ImageFileSet : public StagedFiles {
  public:
    // Writes folder/name.raw, .raw.mhd and .png under temporary names. NaN pixels are black
    // in the PNG. False with error set on failure.
    bool addFloatImage(const std::string& folder, const std::string& name, const FloatImage& image,
                       GreyMapping mapping, std::string& error);
    // Writes folder/name.raw and .raw.mhd of a volume of depth images of image's size, one
    // after the other (values holds them all; NDims 3, spacing 1 along the third axis), and
    // folder/name.png of preview.
    bool addFloatVolume(const std::string& folder, const std::string& name,
                        const FloatImage& volume, std::uint32_t depth, const FloatImage& preview,
                        GreyMapping mapping, std::string& error);
    // Writes two images of one size side by side into one greyscale PNG (left, a 2-pixel
    // white gap, right), both on the grey scale that mapping gives the right-hand image.
    bool addSideBySidePng(const std::string& path, const FloatImage& left, const FloatImage& right,
                          GreyMapping mapping, std::string& error);

  private:
    bool addRaw(const std::string& rawPath, const FloatImage& image,
                const std::vector<std::int64_t>& dimensions, std::string& error);
};

}  // namespace conesim::tools
