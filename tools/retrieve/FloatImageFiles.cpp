#include "retrieve/FloatImageFiles.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "common/BinaryFile.hpp"
#include "common/PngIo.hpp"
#include "output/MetaImageHeader.hpp"
#include "png/GreyScaling.hpp"
#include "util/PendingFile.hpp"

namespace conesim::tools {

namespace {

bool writeRaw(const std::string& path, const std::vector<float>& values, std::string& error) {
    std::vector<std::uint8_t> bytes(values.size() * 4);
    for (std::size_t i = 0; i < values.size(); ++i) {
        const auto bits = std::bit_cast<std::uint32_t>(values[i]);
        for (int b = 0; b < 4; ++b) {
            bytes[i * 4 + b] = static_cast<std::uint8_t>(bits >> (8 * b));
        }
    }
    PendingFile pending(path);
    std::ofstream file;
    if (!pending.open(file, error)) {
        return false;
    }
    writeChecked(file, bytes.data(), bytes.size());
    return pending.finish(file, error);
}

// The grey range of an image: its own finite extremes, or symmetric about 0.
GreyRange greyRange(const FloatImage& image, GreyMapping mapping) {
    const std::vector<double> values(image.values.begin(), image.values.end());
    GreyScale scale;
    if (mapping == GreyMapping::kSymmetric) {
        // A few extreme pixels (the rims of a sample) would otherwise leave everything else
        // mid-grey.
        std::vector<double> magnitudes;
        for (const double v : values) {
            if (std::isfinite(v) && v != 0.0) {
                magnitudes.push_back(std::fabs(v));
            }
        }
        double limit = 0.0;
        if (!magnitudes.empty()) {
            const auto at =
                magnitudes.begin() +
                static_cast<std::ptrdiff_t>(0.99 * static_cast<double>(magnitudes.size() - 1));
            std::nth_element(magnitudes.begin(), at, magnitudes.end());
            limit = *at;
        }
        scale.low = -limit;
        scale.high = limit;
    }
    return rangeOf(values, scale, 1.0);
}

bool commitPng(const std::string& path, const GreyImage& grey, std::string& error) {
    PendingFile pending(path);
    if (!pending.create(error)) {
        return false;
    }
    if (!writeGreyPng(pending.temporaryPath(), grey, error)) {
        error = "cannot write " + path;
        return false;
    }
    return pending.commit(error);
}

bool writePng(const std::string& path, const FloatImage& image, GreyMapping mapping,
              std::string& error) {
    GreyImage grey;
    grey.width = image.width;
    grey.height = image.height;
    grey.pixels = toGrey(std::vector<double>(image.values.begin(), image.values.end()),
                         greyRange(image, mapping), false);
    return commitPng(path, grey, error);
}

}  // namespace

bool writeFloatImage(const std::string& folder, const std::string& name, const FloatImage& image,
                     GreyMapping mapping, std::string& error) {
    const std::filesystem::path base = std::filesystem::path(folder) / name;
    const std::string rawPath = base.string() + ".raw";
    MetaImageLayout layout;
    layout.dimensions = {image.width, image.height};
    layout.spacing = {image.spacingX, image.spacingY};
    layout.type = MetaElementType::kFloat32;
    return writeRaw(rawPath, image.values, error) && writeMetaImageHeader(rawPath, layout, error) &&
           writePng(base.string() + ".png", image, mapping, error);
}

bool writeSideBySidePng(const std::string& path, const FloatImage& left, const FloatImage& right,
                        GreyMapping mapping, std::string& error) {
    constexpr std::uint32_t kGap = 2;
    if (left.width != right.width || left.height != right.height) {
        error = "images of different sizes for " + path;
        return false;
    }
    const GreyRange range = greyRange(right, mapping);
    const auto leftGrey =
        toGrey(std::vector<double>(left.values.begin(), left.values.end()), range, false);
    const auto rightGrey =
        toGrey(std::vector<double>(right.values.begin(), right.values.end()), range, false);
    GreyImage grey;
    grey.width = 2 * left.width + kGap;
    grey.height = left.height;
    grey.pixels.assign(static_cast<std::size_t>(grey.width) * grey.height, 255);
    for (std::uint32_t row = 0; row < left.height; ++row) {
        for (std::uint32_t column = 0; column < left.width; ++column) {
            const std::size_t from = static_cast<std::size_t>(row) * left.width + column;
            const std::size_t to = static_cast<std::size_t>(row) * grey.width + column;
            grey.pixels[to] = leftGrey[from];
            grey.pixels[to + left.width + kGap] = rightGrey[from];
        }
    }
    return commitPng(path, grey, error);
}

bool readMetaImageSize(const std::string& path, std::uint32_t& width, std::uint32_t& height,
                       std::string& error) {
    std::ifstream file(path);
    std::string line;
    while (std::getline(file, line)) {
        unsigned long w = 0;
        unsigned long h = 0;
        char end = 0;
        if (std::sscanf(line.c_str(), "DimSize = %lu %lu%c", &w, &h, &end) == 2 && w > 0 && h > 0 &&
            w <= 0xFFFFFFFFUL && h <= 0xFFFFFFFFUL) {
            width = static_cast<std::uint32_t>(w);
            height = static_cast<std::uint32_t>(h);
            return true;
        }
    }
    error = file.is_open() ? path + " holds no two-dimensional DimSize" : "cannot open " + path;
    return false;
}

bool readFloatValues(const std::string& path, std::vector<float>& values, std::string& error) {
    std::vector<std::uint32_t> bits;
    if (!readUint32File(path, bits, error)) {
        return false;
    }
    values.resize(bits.size());
    std::transform(bits.begin(), bits.end(), values.begin(),
                   [](std::uint32_t b) { return std::bit_cast<float>(b); });
    return true;
}

}  // namespace conesim::tools
