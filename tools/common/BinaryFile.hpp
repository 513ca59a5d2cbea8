// Output folders and the fixed-point text of the tools' figures, beside the whole-file reads
// and checked writes of util and the raw-value files of formats, which the tools reach through
// this header.
#pragma once

#include <string>

#include "formats/RawValues.hpp"
#include "util/BinaryFile.hpp"

namespace conesim::tools {

using conesim::openInput;
using conesim::readDoubleFile;
using conesim::readFileBytes;
using conesim::readFloatFile;
using conesim::readUint32File;
using conesim::regularFileSize;
using conesim::stageFile;
using conesim::writeChecked;

// Creates the folder and any missing parents; false (with error "cannot create folder P")
// when that fails or P is not a folder.
bool makeFolder(const std::string& path, std::string& error);

// A number with digits decimals ("%.*f"), as the tools' figures print it.
std::string fixed(double value, int digits);

}  // namespace conesim::tools
