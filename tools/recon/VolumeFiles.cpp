#include "recon/VolumeFiles.hpp"

#include <filesystem>

#include "common/GreyScaling.hpp"
#include "common/PngIo.hpp"
#include "formats/MetaImageHeader.hpp"

namespace conesim::tools {

bool VolumeFileSet::addSlicePng(const std::string& path, std::uint32_t width, std::uint32_t height,
                                const std::vector<float>& values, std::string& error) {
    const std::vector<double> numbers(values.begin(), values.end());
    GreyImage grey;
    grey.width = width;
    grey.height = height;
    grey.pixels = toGrey(numbers, rangeOf(numbers, GreyScale{}, 1.0), false);
    return addPng(path, grey, error);
}

bool VolumeFileSet::addVolume(const std::string& folder, const std::string& name,
                              const FloatVolume& volume, std::string& error) {
    const std::string base = (std::filesystem::path(folder) / name).string();
    MetaImageLayout layout;
    layout.dimensions = {volume.dimX, volume.dimY, volume.dimZ};
    layout.spacing = {volume.spacing[0], volume.spacing[1], volume.spacing[2]};
    layout.type = MetaElementType::kFloat32;
    const auto w = static_cast<std::uint32_t>(volume.dimX);
    return addFloatVolume(base + ".raw", layout, volume.values, error) &&
           addSlicePng(base + "-xz.png", w, static_cast<std::uint32_t>(volume.dimZ),
                       volume.planeXz(volume.dimY / 2), error) &&
           addSlicePng(base + "-xy.png", w, static_cast<std::uint32_t>(volume.dimY),
                       volume.planeXy(volume.dimZ / 2), error);
}

}  // namespace conesim::tools
