#include "retrieve/FloatImageFiles.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "common/GreyScaling.hpp"
#include "common/PngIo.hpp"
#include "formats/MetaImageHeader.hpp"

namespace conesim::tools {

namespace {

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

GreyImage greyOf(const FloatImage& image, GreyMapping mapping) {
    GreyImage grey;
    grey.width = image.width;
    grey.height = image.height;
    grey.pixels = toGrey(std::vector<double>(image.values.begin(), image.values.end()),
                         greyRange(image, mapping), false);
    return grey;
}

}  // namespace

bool ImageFileSet::addRaw(const std::string& rawPath, const FloatImage& image,
                          const std::vector<std::int64_t>& dimensions, std::string& error) {
    MetaImageLayout layout;
    layout.dimensions = dimensions;
    layout.spacing = {image.spacingX, image.spacingY, 1.0};
    layout.spacing.resize(dimensions.size());
    layout.type = MetaElementType::kFloat32;
    return StagedFiles::addFloatVolume(rawPath, layout, image.values, error);
}

bool ImageFileSet::addFloatImage(const std::string& folder, const std::string& name,
                                 const FloatImage& image, GreyMapping mapping, std::string& error) {
    const std::filesystem::path base = std::filesystem::path(folder) / name;
    return addRaw(base.string() + ".raw", image, {image.width, image.height}, error) &&
           addPng(base.string() + ".png", greyOf(image, mapping), error);
}

bool ImageFileSet::addFloatVolume(const std::string& folder, const std::string& name,
                                  const FloatImage& volume, std::uint32_t depth,
                                  const FloatImage& preview, GreyMapping mapping,
                                  std::string& error) {
    const std::filesystem::path base = std::filesystem::path(folder) / name;
    return addRaw(base.string() + ".raw", volume, {volume.width, volume.height, depth}, error) &&
           addPng(base.string() + ".png", greyOf(preview, mapping), error);
}

bool ImageFileSet::addSideBySidePng(const std::string& path, const FloatImage& left,
                                    const FloatImage& right, GreyMapping mapping,
                                    std::string& error) {
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
    return addPng(path, grey, error);
}

}  // namespace conesim::tools
