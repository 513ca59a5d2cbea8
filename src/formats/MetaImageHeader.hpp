// MetaImage (.mhd) headers beside the headerless binary files, so that ITK, SimpleITK,
// 3D Slicer, ParaView and Fiji open the raw data with its size, type and spacing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "util/PendingFile.hpp"

namespace conesim {

enum class MetaElementType { kUint32, kFloat32, kFloat64 };

struct MetaImageLayout {
    std::vector<std::int64_t> dimensions;  //!< elements along x, y (and z), x fastest
    std::vector<double> spacing;           //!< element size along each axis (length units)
    MetaElementType type = MetaElementType::kUint32;
};

// The element type's name in a header ("MET_UINT", "MET_FLOAT", "MET_DOUBLE") and its size
// in bytes; metaElementTypeOf reads a name back (false for any other name).
const char* metaElementTypeName(MetaElementType type);
std::size_t metaElementSize(MetaElementType type);
bool metaElementTypeOf(const std::string& name, MetaElementType& type);

// The header's name: the whole raw file name with ".mhd" appended.
inline std::string metaImageHeaderPath(const std::string& rawPath) {
    return rawPath + ".mhd";
}

// The header text for a raw file in the same folder (little-endian, uncompressed).
std::string metaImageHeaderText(const std::string& rawPath, const MetaImageLayout& layout);

// Writes rawPath + ".mhd" under a temporary name and renames it into place, so that no
// half-written header ever stands under the final name. False with error set on failure.
// Writes the header of rawPath into header (opened here, not yet committed); false with
// "cannot write PATH" or the open's error otherwise.
bool stageMetaImageHeader(PendingFile& header, const std::string& rawPath,
                          const MetaImageLayout& layout, std::string& error);
bool writeMetaImageHeader(const std::string& rawPath, const MetaImageLayout& layout,
                          std::string& error);

}  // namespace conesim
