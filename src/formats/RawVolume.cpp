#include "formats/RawVolume.hpp"

#include <fstream>

#include "formats/MetaImageReader.hpp"
#include "formats/RawValues.hpp"
#include "util/BinaryFile.hpp"

namespace conesim {

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

bool readFloatVolume(const std::string& headerPath, FloatVolume& volume, std::string& error) {
    MetaImageInfo info;
    if (!readMetaImageHeader(headerPath, info, error)) {
        return false;
    }
    if (info.type != MetaElementType::kFloat32) {
        error = headerPath + ": not a volume of 32-bit floats (MET_FLOAT)";
        return false;
    }
    FloatVolume result;
    if (!readFloatFile(info.dataPath, result.values, error)) {
        return false;
    }
    result.dimX = info.dimensions[0];
    result.dimY = info.dimensions[1];
    result.dimZ = info.dimensions.size() > 2 ? info.dimensions[2] : 1;
    const auto expected = static_cast<std::uint64_t>(result.dimX) *
                          static_cast<std::uint64_t>(result.dimY) *
                          static_cast<std::uint64_t>(result.dimZ);
    if (result.values.size() != expected) {
        error = info.dataPath + " holds " + std::to_string(result.values.size()) + " floats; " +
                headerPath + " describes " + std::to_string(expected);
        return false;
    }
    volume = std::move(result);
    return true;
}

bool stageFloatVolume(const std::string& rawPath, const MetaImageLayout& layout,
                      const std::vector<float>& values,
                      std::vector<std::unique_ptr<PendingFile>>& files, std::string& error) {
    std::vector<std::uint8_t> bytes(values.size() * 4);
    float32Bytes(values.data(), values.size(), bytes.data());
    PendingFile& raw = *files.emplace_back(std::make_unique<PendingFile>(rawPath));
    if (!stageFile(raw, bytes.data(), bytes.size(), error)) {
        return false;
    }
    PendingFile& header =
        *files.emplace_back(std::make_unique<PendingFile>(metaImageHeaderPath(rawPath)));
    return stageMetaImageHeader(header, rawPath, layout, error);
}

bool writeFloatVolume(const std::string& rawPath, const MetaImageLayout& layout,
                      const FloatSliceSource& fill, std::string& error) {
    PendingFile volume(rawPath);
    std::ofstream file;
    if (!volume.open(file, error)) {
        return false;
    }
    const std::int64_t depth = layout.dimensions.size() > 2 ? layout.dimensions[2] : 1;
    std::vector<float> slice;
    std::vector<std::uint8_t> bytes;
    for (std::int64_t z = 0; z < depth; ++z) {
        fill(z, slice);
        bytes.resize(slice.size() * 4);
        float32Bytes(slice.data(), slice.size(), bytes.data());
        if (!writeChecked(file, bytes.data(), bytes.size())) {
            error = "cannot write " + rawPath + " (slice " + std::to_string(z) + ")";
            return false;
        }
    }
    file.close();
    if (file.fail()) {
        error = "cannot write " + rawPath;
        return false;
    }
    PendingFile header(metaImageHeaderPath(rawPath));
    if (!stageMetaImageHeader(header, rawPath, layout, error)) {
        return false;
    }
    return commitTogether({&volume, &header}, error);
}

}  // namespace conesim
