#include "retrieve/FloatImageFiles.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
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

bool writePng(const std::string& path, const FloatImage& image, GreyMapping mapping,
              std::string& error) {
    const std::vector<double> values(image.values.begin(), image.values.end());
    GreyScale scale;
    if (mapping == GreyMapping::kSymmetric) {
        double largest = 0.0;
        for (const double v : values) {
            if (std::isfinite(v)) {
                largest = std::max(largest, std::fabs(v));
            }
        }
        scale.low = -largest;
        scale.high = largest;
    }
    const GreyRange range = rangeOf(values, scale, 1.0);
    GreyImage grey;
    grey.width = image.width;
    grey.height = image.height;
    grey.pixels = toGrey(values, range, false);
    PendingFile pending(path);
    if (!writeGreyPng(pending.temporaryPath(), grey, error)) {
        error = "cannot write " + path;
        return false;
    }
    return pending.commit(error);
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
