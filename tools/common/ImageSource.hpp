// The images conesim-png reads, as plain values row by row: a final raw image (".dat"),
// an ASCII greyscale image ("P2": the program's final and progress images, plane
// previews and mask images), a collapsed plane (".pca") and a raw file described by a
// MetaImage header (".mhd", see MetaImageSource.hpp).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace conesim::tools {

enum class SourceKind { Raw, Pgm, Plane, MetaImage };

constexpr std::size_t kLongestPgmWord = 64;

struct SourceImage {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::vector<double> values;  //!< row by row
};

// The kind named by the file's ending (".dat", ".pgm", ".pca", ".mhd", in any case); false
// when the ending is none of them.
bool kindFromName(const std::string& path, SourceKind& kind);
// The kind named by a --type word ("dat", "pgm", "pca", "mhd").
bool kindFromWord(const std::string& word, SourceKind& kind);

// Reads a raw or plane file as rows of width values: its value count must be a positive
// multiple of width.
bool readRawSource(const std::string& path, SourceKind kind, std::uint32_t width,
                   SourceImage& image, std::string& error);
// Reads an ASCII greyscale image: magic "P2", width, height and maximum value, with "#"
// comments anywhere in the header, then width * height decimal values. A word (number) longer
// than kLongestPgmWord characters is refused before more of it is read.
bool readPgmSource(const std::string& path, SourceImage& image, std::string& error);

}  // namespace conesim::tools
