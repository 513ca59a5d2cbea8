// A set of output files written under temporary names and published together: every file
// is checked, then all are renamed into place, and those renamed are withdrawn when one
// fails, so a reader finds the whole set or the earlier one.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "common/PngIo.hpp"
#include "formats/MetaImageHeader.hpp"
#include "util/PendingFile.hpp"

namespace conesim::tools {

class StagedFiles {
  public:
    // Each writes its file (or files) under temporary names; false with error set on failure.
    bool addPng(const std::string& path, const GreyImage& grey, std::string& error);
    bool addText(const std::string& path, const std::string& text, std::string& error);
    // rawPath (32-bit little-endian floats) and its MetaImage header rawPath.mhd.
    bool addFloatVolume(const std::string& rawPath, const MetaImageLayout& layout,
                        const std::vector<float>& values, std::string& error);
    // Checks every file, then renames them all into place; false (error set) when a check
    // or a rename fails, after withdrawing the files already renamed.
    bool publish(std::string& error);

  private:
    std::vector<std::unique_ptr<PendingFile>> files_;
};

}  // namespace conesim::tools
