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

#include "common/StagedFiles.hpp"
#include "formats/RawVolume.hpp"

namespace conesim::tools {

// The volumes, their reading and the staging of their raw files and headers are formats'.
using conesim::FloatVolume;
using conesim::readFloatVolume;

class VolumeFileSet : public StagedFiles {
  public:
    bool addVolume(const std::string& folder, const std::string& name, const FloatVolume& volume,
                   std::string& error);

  private:
    bool addSlicePng(const std::string& path, std::uint32_t width, std::uint32_t height,
                     const std::vector<float>& values, std::string& error);
};

}  // namespace conesim::tools
