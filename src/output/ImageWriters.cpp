#include "output/ImageWriters.hpp"

#include <array>
#include <charconv>
#include <fstream>
#include <new>
#include <string>
#include <vector>

namespace conesim {

namespace {

// Text and bytes are gathered in memory and handed to the stream in blocks of this size,
// so that images of millions of pixels are written with few, large writes.
constexpr std::size_t kChunkBytes = std::size_t{1} << 20;

void reportCannotCreate(Console& console) {
    writeLine(console.out, "ERROR: Cannot create output file.");
}

void reportCannotWrite(Console& console, const std::string& path) {
    writeLine(console.out, "ERROR: Cannot write output file " + path + ".");
}

bool writeChunk(std::ofstream& file, const std::string& chunk) {
    file.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
    return static_cast<bool>(file);
}

// Closes the file and tells whether everything buffered reached it.
bool closeChecked(std::ofstream& file) {
    file.close();
    return !file.fail();
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
    chunk += "P2\n";
    chunk += std::to_string(width) + " " + std::to_string(height) + "\n";
    chunk += "255\n";
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

// Creates the file, writes its body and checks every write and the close; failures are
// reported on the console. body(file, pixelCount) returns whether everything was written.
template <typename Body>
bool writeImageFile(const std::string& path, std::ios::openmode mode, const std::uint32_t* image,
                    std::int64_t pixelCount, Console& console, Body body) {
    std::ofstream file(path, mode | std::ios::out | std::ios::trunc);
    if (!file.is_open()) {
        reportCannotCreate(console);
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
    written = closeChecked(file) && written;
    if (!written) {
        reportCannotWrite(console, path);
    }
    return written;
}

}  // namespace

bool writeDetectorPgm(const std::string& path, std::uint32_t width, const std::uint32_t* image,
                      std::int64_t pixelCount, Console& console) {
    return writeImageFile(path, {}, image, pixelCount, console,
                          [&](std::ofstream& file, std::int64_t count) {
                              return writePgmBody(file, width, image, count);
                          });
}

bool writeDetectorRaw(const std::string& path, std::int64_t pixelCount, const std::uint32_t* image,
                      Console& console) {
    return writeImageFile(
        path, std::ios::binary, image, pixelCount, console,
        [&](std::ofstream& file, std::int64_t count) { return writeRawBody(file, image, count); });
}

}  // namespace conesim
