#include "formats/ImageWriters.hpp"

#include <array>
#include <charconv>
#include <fstream>
#include <new>
#include <string>
#include <vector>

#include "formats/PgmWriter.hpp"
#include "util/PendingFile.hpp"

namespace conesim {

namespace {

// Text and bytes are gathered in memory and handed to the stream in blocks of this size,
// so that images of millions of pixels are written with few, large writes.
constexpr std::size_t kChunkBytes = std::size_t{1} << 20;

std::string cannotCreateMessage() {
    return "ERROR: Cannot create output file.";
}

std::string cannotWriteMessage(const std::string& path) {
    return "ERROR: Cannot write output file " + path + ".";
}

bool writeChunk(std::ofstream& file, const std::string& chunk) {
    file.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
    return static_cast<bool>(file);
}

// The grey level 0..255 of one pixel: (p - min) * scale in single precision, halves up.
int greyLevel(float pixel, float minimum, float scale) {
    const float v = (pixel - minimum) * scale;
    int q = static_cast<int>(v);
    if (v - static_cast<float>(q) >= 0.5F) {
        ++q;
    }
    return q;
}

// Writes the whole detector image as grey-level text; false when a write fails.
bool writePgmBody(std::ofstream& file, std::uint32_t width, const std::uint32_t* image,
                  std::int64_t pixelCount) {
    const std::int64_t height = width == 0 ? 0 : pixelCount / width;
    // Without a row length no row can be formed, so no value is written.
    const std::int64_t valueCount = width == 0 ? 0 : pixelCount;

    std::string chunk;
    chunk.reserve(kChunkBytes + 64);
    chunk += pgmHeaderText(width, height);
    if (valueCount == 0) {
        return writeChunk(file, chunk);
    }

    float minimum = static_cast<float>(image[0]);
    float maximum = minimum;
    for (std::int64_t i = 1; i < valueCount; ++i) {
        const float value = static_cast<float>(image[i]);
        if (value > maximum) {
            maximum = value;
        }
        if (value < minimum) {
            minimum = value;
        }
    }
    float scale = 0.0F;
    if (maximum != minimum) {
        scale = 255.0F / (maximum - minimum);
    } else {
        minimum = 0.0F;  // every value comes out 0
    }

    std::int64_t column = 0;
    for (std::int64_t i = 0; i < valueCount; ++i) {
        const int level = greyLevel(static_cast<float>(image[i]), minimum, scale);
        std::array<char, 16> digits{};
        const auto result = std::to_chars(digits.data(), digits.data() + digits.size(), level);
        chunk.append(digits.data(), result.ptr);
        chunk += '\t';
        if (++column == width) {
            chunk += '\n';
            column = 0;
        }
        if (chunk.size() >= kChunkBytes) {
            if (!writeChunk(file, chunk)) {
                return false;
            }
            chunk.clear();
        }
    }
    // A last row shorter than the width (a pixel count that is not a whole number of rows)
    // still ends its line, so the file always ends with a line end.
    if (column != 0) {
        chunk += '\n';
    }
    return writeChunk(file, chunk);
}

bool writeRawBody(std::ofstream& file, const std::uint32_t* image, std::int64_t pixelCount) {
    std::string chunk;
    chunk.reserve(kChunkBytes + 4);
    for (std::int64_t i = 0; i < pixelCount; ++i) {
        const std::uint32_t value = image[i];
        // Little-endian whatever the byte order of this machine.
        chunk += static_cast<char>(value & 0xFFU);
        chunk += static_cast<char>((value >> 8U) & 0xFFU);
        chunk += static_cast<char>((value >> 16U) & 0xFFU);
        chunk += static_cast<char>((value >> 24U) & 0xFFU);
        if (chunk.size() >= kChunkBytes) {
            if (!writeChunk(file, chunk)) {
                return false;
            }
            chunk.clear();
        }
    }
    return writeChunk(file, chunk);
}

// Writes the body under a temporary name beside path and renames it to path once every
// write and the close succeeded, so that path never holds a partial image: a reader sees the
// earlier file or the complete new one. body(file, pixelCount) returns whether everything was
// written. On failure message holds the console line and nothing under path has changed.
template <typename Body>
bool writeImageFile(const std::string& path, const std::uint32_t* image, std::int64_t pixelCount,
                    std::string& message, Body body) {
    PendingFile pending(path);
    std::ofstream file;
    std::string error;
    if (!pending.open(file, error)) {
        // A name that is a folder, a device or a named pipe is never written through.
        const std::string refusal = "refusing to write ";
        message = error.rfind(refusal, 0) == 0
                      ? "ERROR: Refusing to write " + error.substr(refusal.size()) + "."
                      : cannotCreateMessage();
        return false;
    }
    if (image == nullptr || pixelCount < 0) {
        pixelCount = 0;
    }
    bool written = false;
    try {
        written = body(file, pixelCount);
    } catch (const std::bad_alloc&) {
        written = false;
    }
    if (!written) {
        file.close();
    }
    if (!written || !pending.finish(file, error)) {
        message = cannotWriteMessage(path);
        return false;
    }
    return true;
}

bool printed(bool written, const std::string& message, Console& console) {
    if (!written) {
        writeLine(console.out, message);
    }
    return written;
}

}  // namespace

bool writeDetectorPgm(const std::string& path, std::uint32_t width, const std::uint32_t* image,
                      std::int64_t pixelCount, std::string& message) {
    return writeImageFile(path, image, pixelCount, message,
                          [&](std::ofstream& file, std::int64_t count) {
                              return writePgmBody(file, width, image, count);
                          });
}

bool writeDetectorRaw(const std::string& path, std::int64_t pixelCount, const std::uint32_t* image,
                      std::string& message) {
    return writeImageFile(
        path, image, pixelCount, message,
        [&](std::ofstream& file, std::int64_t count) { return writeRawBody(file, image, count); });
}

bool writeDetectorPgm(const std::string& path, std::uint32_t width, const std::uint32_t* image,
                      std::int64_t pixelCount, Console& console) {
    std::string message;
    return printed(writeDetectorPgm(path, width, image, pixelCount, message), message, console);
}

bool writeDetectorRaw(const std::string& path, std::int64_t pixelCount, const std::uint32_t* image,
                      Console& console) {
    std::string message;
    return printed(writeDetectorRaw(path, pixelCount, image, message), message, console);
}

}  // namespace conesim
