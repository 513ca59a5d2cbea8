// Headerless raw files of little-endian values: the program's detector counts (".dat",
// unsigned 32-bit), collapsed planes (".pca", doubles) and float images and volumes (".raw",
// 32-bit floats), read whole, and floats turned into their file bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "formats/MetaImageHeader.hpp"
#include "formats/ValueImage.hpp"

namespace conesim {

// The file as 4-byte little-endian unsigned values; its size must be a multiple of 4.
bool readUint32File(const std::string& path, std::vector<std::uint32_t>& values,
                    std::string& error);
// The file as 8-byte little-endian doubles; its size must be a multiple of 8.
bool readDoubleFile(const std::string& path, std::vector<double>& values, std::string& error);
// count 4-byte little-endian unsigned values of the file from value first on, without reading
// the rest; false (error "cannot read PATH", or why the file cannot be opened) when the file
// does not hold them all.
bool readUint32Block(const std::string& path, std::uint64_t first, std::uint64_t count,
                     std::vector<std::uint32_t>& values, std::string& error);
// The file as 4-byte little-endian floats; its size must be a multiple of 4.
bool readFloatFile(const std::string& path, std::vector<float>& values, std::string& error);

// Writes the count floats as 4 * count little-endian bytes to bytes, whatever this machine's
// byte order.
void float32Bytes(const float* values, std::size_t count, std::uint8_t* bytes);

// Reads a file of unsigned 32-bit counts (type kUint32) or of doubles (kFloat64) as rows of
// width values: its value count must be a positive multiple of width.
bool readRawImage(const std::string& path, MetaElementType type, std::uint32_t width,
                  ValueImage& image, std::string& error);

}  // namespace conesim
