// 8-bit greyscale and RGB PNG files through libpng: written by conesim-png, read back by
// its tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace conesim::tools {

struct GreyImage {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::vector<std::uint8_t> pixels;  //!< row by row, width * height grey levels
};

struct RgbImage {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::vector<std::uint8_t> pixels;  //!< row by row, red, green and blue of each pixel
};

// Writes image as an 8-bit greyscale PNG; false (with error set) on any failure.
bool writeGreyPng(const std::string& path, const GreyImage& image, std::string& error);
// Writes image as an 8-bit RGB PNG; false (with error set) on any failure.
bool writeRgbPng(const std::string& path, const RgbImage& image, std::string& error);
// Reads an 8-bit greyscale PNG; false (with error set) when the file is not one.
bool readGreyPng(const std::string& path, GreyImage& image, std::string& error);
// Reads an 8-bit RGB PNG; false (with error set) when the file is not one.
bool readRgbPng(const std::string& path, RgbImage& image, std::string& error);

}  // namespace conesim::tools
