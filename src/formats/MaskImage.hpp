// Reader of the ASCII greyscale mask images: four header lines skipped, then decimal
// values; a value above 0 makes its pixel opaque (1), anything else leaves it clear (0).
// It never refuses a file: what cannot be read stays clear. Whole greyscale images are read
// as numbers, with refusals, by PgmReader.hpp.
#pragma once

#include <csignal>
#include <cstdint>
#include <string>
#include <vector>

#include "util/Console.hpp"

namespace conesim {

constexpr std::size_t kMaxMaskHeaderLine = 4096;  //!< characters of a skipped header line
constexpr std::size_t kMaxMaskToken = 64;         //!< characters of one raster value

// Fills the first pixelCount bytes of buffer (already all 0). Returns 1 when the mask is
// inactive, 2 when the file cannot be opened (active is then cleared), else pixelCount.
// A header line beyond kMaxMaskHeaderLine characters leaves the whole mask clear, and a
// raster token beyond kMaxMaskToken characters the rest of it, with the reason in note
// (when given): "line N of its header is longer than ..." or "holds a token ...".
std::int64_t readMaskImage(const std::string& path, std::vector<std::uint8_t>& buffer,
                           std::int64_t pixelCount, bool& active, std::string* note = nullptr);

// What one read of a mask image found besides its pixels.
struct MaskRead {
    std::string note;          //!< why part of the mask was left clear; empty when none was
    std::int64_t width = -1;   //!< the width its P2 header states; -1 when it states none
    std::int64_t height = -1;  //!< the height its P2 header states
    bool stopped = false;      //!< a stop request ended a read that waited for a pipe
};

// The same, saying what the read found in read. A named pipe or device is read as it comes,
// at most what a mask of pixelCount values can hold, and a set stop flag (stop may be null)
// ends a read that waits for it.
std::int64_t readMaskImage(const std::string& path, std::vector<std::uint8_t>& buffer,
                           std::int64_t pixelCount, bool& active, MaskRead& read,
                           const volatile std::sig_atomic_t* stop);

// Reads a mask image of a run as readMaskImage does, and tells the user on the console,
// and in warnings for the run log, when the image does not exist or cannot be read (the
// mask is then off), when part of it was left clear, or when its header states another
// size than the parameter file gives (pixelCount is that size squared). maskName is
// "Pre-sample" or "Post-sample". False when a stop request ended the read.
bool readRunMask(const std::string& maskName, const std::string& path,
                 std::vector<std::uint8_t>& buffer, std::int64_t pixelCount, bool& active,
                 Console& console, std::vector<std::string>& warnings,
                 const volatile std::sig_atomic_t* stop = nullptr);

}  // namespace conesim
