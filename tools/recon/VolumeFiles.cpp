#include "recon/VolumeFiles.hpp"

#include <bit>
#include <filesystem>

#include "common/BinaryFile.hpp"
#include "common/GreyScaling.hpp"
#include "common/MetaImageSource.hpp"
#include "common/PngIo.hpp"
#include "formats/MetaImageHeader.hpp"

namespace conesim::tools {

std::vector<float> FloatVolume::planeXz(std::int64_t y) const {
    std::vector<float> plane(static_cast<std::size_t>(dimX * dimZ));
    for (std::int64_t k = 0; k < dimZ; ++k) {
        for (std::int64_t i = 0; i < dimX; ++i) {
            plane[static_cast<std::size_t>(k * dimX + i)] =
                values[static_cast<std::size_t>((k * dimY + y) * dimX + i)];
        }
    }
    return plane;
}

std::vector<float> FloatVolume::planeXy(std::int64_t z) const {
    const auto first = values.begin() + z * dimX * dimY;
    return {first, first + dimX * dimY};
}

bool VolumeFileSet::addSlicePng(const std::string& path, std::uint32_t width, std::uint32_t height,
                                const std::vector<float>& values, std::string& error) {
    auto pending = std::make_unique<PendingFile>(path);
    if (!pending->create(error)) {
        return false;
    }
    const std::vector<double> numbers(values.begin(), values.end());
    GreyImage grey;
    grey.width = width;
    grey.height = height;
    grey.pixels = toGrey(numbers, rangeOf(numbers, GreyScale{}, 1.0), false);
    PendingFile& staged = *files_.emplace_back(std::move(pending));
    if (!writeGreyPng(staged.temporaryPath(), grey, error)) {
        error = "cannot write " + path;
        return false;
    }
    return true;
}

bool VolumeFileSet::addVolume(const std::string& folder, const std::string& name,
                              const FloatVolume& volume, std::string& error) {
    const std::string base = (std::filesystem::path(folder) / name).string();
    const std::string rawPath = base + ".raw";
    std::vector<std::uint8_t> bytes(volume.values.size() * 4);
    for (std::size_t i = 0; i < volume.values.size(); ++i) {
        const auto bits = std::bit_cast<std::uint32_t>(volume.values[i]);
        for (int b = 0; b < 4; ++b) {
            bytes[i * 4 + b] = static_cast<std::uint8_t>(bits >> (8 * b));
        }
    }
    MetaImageLayout layout;
    layout.dimensions = {volume.dimX, volume.dimY, volume.dimZ};
    layout.spacing = {volume.spacing[0], volume.spacing[1], volume.spacing[2]};
    layout.type = MetaElementType::kFloat32;
    const std::string header = metaImageHeaderText(rawPath, layout);
    PendingFile& raw = *files_.emplace_back(std::make_unique<PendingFile>(rawPath));
    if (!stageFile(raw, bytes.data(), bytes.size(), error)) {
        return false;
    }
    PendingFile& headerFile =
        *files_.emplace_back(std::make_unique<PendingFile>(metaImageHeaderPath(rawPath)));
    const auto w = static_cast<std::uint32_t>(volume.dimX);
    return stageFile(headerFile, header.data(), header.size(), error) &&
           addSlicePng(base + "-xz.png", w, static_cast<std::uint32_t>(volume.dimZ),
                       volume.planeXz(volume.dimY / 2), error) &&
           addSlicePng(base + "-xy.png", w, static_cast<std::uint32_t>(volume.dimY),
                       volume.planeXy(volume.dimZ / 2), error);
}

bool VolumeFileSet::addText(const std::string& path, const std::string& text, std::string& error) {
    PendingFile& file = *files_.emplace_back(std::make_unique<PendingFile>(path));
    return stageFile(file, text.data(), text.size(), error);
}

bool VolumeFileSet::publish(std::string& error) {
    std::vector<PendingFile*> files;
    for (const auto& file : files_) {
        files.push_back(file.get());
    }
    return commitTogether(files, error);
}

bool readFloatVolume(const std::string& headerPath, FloatVolume& volume, std::string& error) {
    MetaImageInfo info;
    if (!readMetaImageHeader(headerPath, info, error)) {
        return false;
    }
    if (info.type != MetaElementType::kFloat32) {
        error = headerPath + ": not a volume of 32-bit floats (MET_FLOAT)";
        return false;
    }
    std::vector<std::uint32_t> bits;
    if (!readUint32File(info.dataPath, bits, error)) {
        return false;
    }
    FloatVolume result;
    result.dimX = info.dimensions[0];
    result.dimY = info.dimensions[1];
    result.dimZ = info.dimensions.size() > 2 ? info.dimensions[2] : 1;
    const auto expected = static_cast<std::uint64_t>(result.dimX) *
                          static_cast<std::uint64_t>(result.dimY) *
                          static_cast<std::uint64_t>(result.dimZ);
    if (bits.size() != expected) {
        error = info.dataPath + " holds " + std::to_string(bits.size()) + " floats; " + headerPath +
                " describes " + std::to_string(expected);
        return false;
    }
    result.values.resize(bits.size());
    for (std::size_t i = 0; i < bits.size(); ++i) {
        result.values[i] = std::bit_cast<float>(bits[i]);
    }
    volume = std::move(result);
    return true;
}

}  // namespace conesim::tools
