// The one reader of MetaImage headers (".mhd") and the raw data they describe: 2-D images,
// or one z slice of a 3-D volume or of a 4-D sweep stack, of unsigned 32-bit counts or 32- or
// 64-bit floats, little-endian and uncompressed, in a separate data file. Headers are read
// with bounds and refused when hostile, whichever tool reads them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "formats/MetaImageHeader.hpp"
#include "formats/ValueImage.hpp"

namespace conesim {

// Bounds on what is read of a header before it is refused.
constexpr std::size_t kLongestHeaderLine = 4096;
constexpr std::size_t kLargestHeader = 65536;

struct MetaImageInfo {
    std::vector<std::int64_t> dimensions;  //!< DimSize: x, y (and z, or inner and outer)
    MetaElementType type = MetaElementType::kUint32;
    std::string dataPath;  //!< ElementDataFile, taken from the header's folder
};

// Reads the header's lines ("Key = Value") up to ElementDataFile. Refuses (false, error
// naming the header and what is wrong) a line longer than kLongestHeaderLine, a header larger
// than kLargestHeader bytes, NDims other than 2, 3 or 4, a DimSize that is not NDims whole
// numbers from 1 to 2147483647, an ElementType other than MET_UINT, MET_FLOAT or MET_DOUBLE,
// data in the header itself or in a list of files, compressed, ASCII or multi-channel data,
// a HeaderSize other than 0, and byte order other than BinaryDataByteOrderMSB = False
// (ElementByteOrderMSB is read the same way), which must be given.
bool readMetaImageHeader(const std::string& headerPath, MetaImageInfo& info, std::string& error);

// The image of a header read by readMetaImageHeader: the whole 2-D image, or slice z of a
// 3-D volume (slice may be omitted for a volume of one slice). Of a 4-D stack (W x H x INNER x
// OUTER) slice K alone counts the slices one after the other (inner index fastest: run K of a
// sweep); with outer J it is inner index K of outer value J. The data file's size must be
// exactly what the header describes; only the slice's bytes are read. The messages name the
// choices as conesim-png's options --slice and --outer, through which users make them.
bool readMetaImageSlice(const MetaImageInfo& info, const std::string& headerPath,
                        std::optional<std::int64_t> slice, ValueImage& image, std::string& error,
                        std::optional<std::int64_t> outer = std::nullopt);

}  // namespace conesim
