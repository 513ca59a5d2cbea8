#include "common/PngIo.hpp"

#include <png.h>

#include <csetjmp>
#include <cstdio>

namespace conesim::tools {

namespace {

// libpng reports errors by a long jump back into the function that set it up; the two
// functions below hold no object with a destructor between setjmp and the jump.

bool encode(std::FILE* file, const GreyImage& image, png_bytep* rows) {
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
    png_set_IHDR(png, info, image.width, image.height, 8, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

// Fills image from an open PNG file; pixels must already hold room for the rows once the
// header is known, so the header is read first and the rows in a second step.
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

}  // namespace

bool writeGreyPng(const std::string& path, const GreyImage& image, std::string& error) {
    if (image.width == 0 || image.height == 0 ||
        image.pixels.size() != static_cast<std::size_t>(image.width) * image.height) {
        error = "no image to write to " + path;
        return false;
    }
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        error = "cannot create " + path;
        return false;
    }
    std::vector<png_bytep> rows(image.height);
    for (std::uint32_t y = 0; y < image.height; ++y) {
        rows[y] = const_cast<png_bytep>(&image.pixels[static_cast<std::size_t>(y) * image.width]);
    }
    const bool encoded = encode(file, image, rows.data());
    const bool closed = std::fclose(file) == 0;
    if (!encoded || !closed) {
        error = "cannot write " + path;
        return false;
    }
    return true;
}

bool readGreyPng(const std::string& path, GreyImage& image, std::string& error) {
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
    if (good && (bitDepth != 8 || colourType != PNG_COLOR_TYPE_GRAY)) {
        error = path + ": not an 8-bit greyscale PNG";
        good = false;
    } else if (good) {
        image.width = width;
        image.height = height;
        image.pixels.assign(static_cast<std::size_t>(width) * height, 0);
        std::vector<png_bytep> rows(height);
        for (png_uint_32 y = 0; y < height; ++y) {
            rows[y] = &image.pixels[static_cast<std::size_t>(y) * width];
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

}  // namespace conesim::tools
