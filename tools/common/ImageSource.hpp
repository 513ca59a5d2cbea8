// The kinds of image conesim-png reads, as plain values row by row: a final raw image
// (".dat"), an ASCII greyscale image ("P2": the program's final and progress images, plane
// previews and mask images), a collapsed plane (".pca") and a raw file described by a
// MetaImage header (".mhd"); formats reads each (RawValues.hpp, PgmReader.hpp,
// MetaImageReader.hpp).
#pragma once

#include <string>

#include "formats/ValueImage.hpp"

namespace conesim::tools {

enum class SourceKind { Raw, Pgm, Plane, MetaImage };

using SourceImage = conesim::ValueImage;

// The kind named by the file's ending (".dat", ".pgm", ".pca", ".mhd", in any case); false
// when the ending is none of them.
bool kindFromName(const std::string& path, SourceKind& kind);
// The kind named by a --type word ("dat", "pgm", "pca", "mhd").
bool kindFromWord(const std::string& word, SourceKind& kind);

}  // namespace conesim::tools
