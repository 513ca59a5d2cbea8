// Whole-file binary input that refuses what is not a regular file, and checked binary output
// staged under a pending file's temporary name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "util/PendingFile.hpp"

namespace conesim {

// The size in bytes of a regular file; false (with error set) for a missing file or a folder.
bool regularFileSize(const std::string& path, std::uint64_t& size, std::string& error);
// Opens a regular file for binary input and tells its size; false (with error set) for a
// missing file, a folder or a file that cannot be opened.
bool openInput(const std::string& path, std::ifstream& file, std::uint64_t& size,
               std::string& error);
// All bytes of a file; false (with error set) when it cannot be opened or read in full.
bool readFileBytes(const std::string& path, std::vector<std::uint8_t>& bytes, std::string& error);

// Writes size bytes; false once the stream has failed.
bool writeChecked(std::ofstream& file, const void* data, std::size_t size);

// Writes size bytes under pending's temporary name, complete, without publishing them (the
// caller commits); false (with error set) when the output is refused or a write fails.
bool stageFile(PendingFile& pending, const void* data, std::size_t size, std::string& error);

}  // namespace conesim
