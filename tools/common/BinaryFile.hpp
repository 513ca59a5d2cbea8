// Whole-file reads of the program's headerless binary images and planes, checked writes
// (unsigned 32-bit little-endian counts ".dat", little-endian doubles ".pca"), output folders,
// and the fixed-point text of the tools' figures.
#pragma once

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "util/PendingFile.hpp"

namespace conesim::tools {

// The size in bytes of a regular file; false (with error set) for a missing file or a folder.
bool regularFileSize(const std::string& path, std::uint64_t& size, std::string& error);
// Opens a regular file for binary input and tells its size; false (with error set) for a
// missing file, a folder or a file that cannot be opened.
bool openInput(const std::string& path, std::ifstream& file, std::uint64_t& size,
               std::string& error);
// All bytes of a file; false (with error set) when it cannot be opened or read in full.
bool readFileBytes(const std::string& path, std::vector<std::uint8_t>& bytes, std::string& error);
// The file as 4-byte little-endian unsigned values; its size must be a multiple of 4.
bool readUint32File(const std::string& path, std::vector<std::uint32_t>& values,
                    std::string& error);
// The file as 8-byte little-endian doubles; its size must be a multiple of 8.
bool readDoubleFile(const std::string& path, std::vector<double>& values, std::string& error);

// Creates the folder and any missing parents; false (with error "cannot create folder P")
// when that fails or P is not a folder.
bool makeFolder(const std::string& path, std::string& error);

// A number with digits decimals ("%.*f"), as the tools' figures print it.
std::string fixed(double value, int digits);

// Writes size bytes; false once the stream has failed.
bool writeChecked(std::ofstream& file, const void* data, std::size_t size);

// Writes size bytes under pending's temporary name, complete, without publishing them (the
// caller commits); false (with error set) when the output is refused or a write fails.
bool stageFile(PendingFile& pending, const void* data, std::size_t size, std::string& error);

}  // namespace conesim::tools
