#include "common/PngIo.hpp"

#include <png.h>

#include <csetjmp>
#include <cstdio>

namespace conesim::tools {

namespace {

// libpng reports errors by a long jump back into the function that set it up; the functions
// below hold no object with a destructor between setjmp and the jump.

// The pixel layout of one PNG: its colour type and bytes per pixel.
struct PixelFormat {
    int colourType;
    std::uint32_t channels;
};
constexpr PixelFormat kGrey{PNG_COLOR_TYPE_GRAY, 1};
constexpr PixelFormat kRgb{PNG_COLOR_TYPE_RGB, 3};

bool encode(std::FILE* file, std::uint32_t width, std::uint32_t height, PixelFormat format,
            png_bytep* rows) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (png == nullptr) {
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, width, height, 8, format.colourType, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

bool writePixels(const std::string& path, std::uint32_t width, std::uint32_t height,
                 PixelFormat format, const std::vector<std::uint8_t>& pixels, std::string& error) {
    const std::size_t rowBytes = static_cast<std::size_t>(width) * format.channels;
    if (width == 0 || height == 0 || pixels.size() != rowBytes * height) {
        error = "no image to write to " + path;
        return false;
    }
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        error = "cannot create " + path;
        return false;
    }
    std::vector<png_bytep> rows(height);
    for (std::uint32_t y = 0; y < height; ++y) {
        rows[y] = const_cast<png_bytep>(&pixels[static_cast<std::size_t>(y) * rowBytes]);
    }
    const bool encoded = encode(file, width, height, format, rows.data());
    const bool closed = std::fclose(file) == 0;
    if (!encoded || !closed) {
        error = "cannot write " + path;
        return false;
    }
    return true;
}

// Reads the header of an open PNG, so that the pixels can be given room before the rows.
bool decodeHeader(png_structp png, png_infop info, std::FILE* file, png_uint_32& width,
                  png_uint_32& height, int& bitDepth, int& colourType) {
    if (setjmp(png_jmpbuf(png))) {
        return false;
    }
    png_init_io(png, file);
    png_read_info(png, info);
    width = png_get_image_width(png, info);
    height = png_get_image_height(png, info);
    bitDepth = png_get_bit_depth(png, info);
    colourType = png_get_color_type(png, info);
    return true;
}

bool decodeRows(png_structp png, png_infop info, png_bytep* rows) {
    if (setjmp(png_jmpbuf(png))) {
        return false;
    }
    png_read_image(png, rows);
    png_read_end(png, info);
    return true;
}

bool readPixels(const std::string& path, PixelFormat format, const char* what,
                std::uint32_t& imageWidth, std::uint32_t& imageHeight,
                std::vector<std::uint8_t>& pixels, std::string& error) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        error = "cannot open " + path;
        return false;
    }
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png == nullptr ? nullptr : png_create_info_struct(png);
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    int bitDepth = 0;
    int colourType = 0;
    bool good =
        info != nullptr && decodeHeader(png, info, file, width, height, bitDepth, colourType);
    if (good && (bitDepth != 8 || colourType != format.colourType)) {
        error = path + ": not an 8-bit " + what + " PNG";
        good = false;
    } else if (good) {
        imageWidth = width;
        imageHeight = height;
        const std::size_t rowBytes = static_cast<std::size_t>(width) * format.channels;
        pixels.assign(rowBytes * height, 0);
        std::vector<png_bytep> rows(height);
        for (png_uint_32 y = 0; y < height; ++y) {
            rows[y] = &pixels[static_cast<std::size_t>(y) * rowBytes];
        }
        good = decodeRows(png, info, rows.data());
        if (!good) {
            error = "cannot read " + path + ": not a complete PNG";
        }
    } else {
        error = "cannot read " + path + ": not a PNG";
    }
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(file);
    return good;
}

}  // namespace

bool writeGreyPng(const std::string& path, const GreyImage& image, std::string& error) {
    return writePixels(path, image.width, image.height, kGrey, image.pixels, error);
}

bool writeRgbPng(const std::string& path, const RgbImage& image, std::string& error) {
    return writePixels(path, image.width, image.height, kRgb, image.pixels, error);
}

bool readGreyPng(const std::string& path, GreyImage& image, std::string& error) {
    return readPixels(path, kGrey, "greyscale", image.width, image.height, image.pixels, error);
}

bool readRgbPng(const std::string& path, RgbImage& image, std::string& error) {
    return readPixels(path, kRgb, "RGB", image.width, image.height, image.pixels, error);
}

}  // namespace conesim::tools
