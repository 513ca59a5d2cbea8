// Writers of the detector image: an ASCII greyscale image rescaled to 0..255 and the raw
// little-endian 32-bit counts (".dat").
#pragma once

#include <cstdint>
#include <string>

#include "util/Console.hpp"

namespace conesim {

// Each writer writes the whole file under a temporary name beside path (path followed by
// ".partial-" and the process id) and renames it to path only once it is complete, so that
// path never holds a torn image; a symbolic link at path is written through. It returns true
// when the file was written. Otherwise nothing under path has changed, no temporary file is
// left, and message holds the console line: "ERROR: Cannot create output file." when the file
// cannot be created, "ERROR: Refusing to write " + path + ": it is a folder, not a regular
// file." (or a named pipe, a device, a link leading to one) for a name that is no regular
// file, and "ERROR: Cannot write output file " + path + "." when a write, the close or the
// rename fails.
bool writeDetectorPgm(const std::string& path, std::uint32_t width, const std::uint32_t* image,
                      std::int64_t pixelCount, std::string& message);
bool writeDetectorRaw(const std::string& path, std::int64_t pixelCount, const std::uint32_t* image,
                      std::string& message);

// The same, printing the message on the console.
bool writeDetectorPgm(const std::string& path, std::uint32_t width, const std::uint32_t* image,
                      std::int64_t pixelCount, Console& console);
bool writeDetectorRaw(const std::string& path, std::int64_t pixelCount, const std::uint32_t* image,
                      Console& console);

}  // namespace conesim
