#include "phantom/PhantomWriter.hpp"

#include <cstring>
#include <fstream>
#include <vector>

#include "common/BinaryFile.hpp"
#include "output/MetaImageHeader.hpp"
#include "util/OutputTarget.hpp"
#include "util/PendingFile.hpp"

namespace conesim::tools {

void fillSliceBytes(const PhantomOptions& options, std::int64_t z, std::string& bytes) {
    const GridSize& grid = options.grid;
    std::vector<float> slice(static_cast<std::size_t>(grid.x * grid.y), options.background);
    for (const Shape& shape : options.shapes) {
        const VoxelBounds bounds = boundsOf(shape, grid);
        if (z < bounds.first[2] || z > bounds.last[2]) {
            continue;
        }
        for (std::int64_t y = bounds.first[1]; y <= bounds.last[1]; ++y) {
            float* row = &slice[static_cast<std::size_t>(y * grid.x)];
            for (std::int64_t x = bounds.first[0]; x <= bounds.last[0]; ++x) {
                if (covers(shape, static_cast<double>(x), static_cast<double>(y),
                           static_cast<double>(z))) {
                    row[x] = shape.value;
                }
            }
        }
    }
    bytes.resize(slice.size() * 4);
    for (std::size_t i = 0; i < slice.size(); ++i) {
        std::uint32_t bits = 0;
        std::memcpy(&bits, &slice[i], sizeof bits);
        for (std::size_t b = 0; b < 4; ++b) {
            bytes[i * 4 + b] = static_cast<char>((bits >> (8U * b)) & 0xFFU);
        }
    }
}

MetaImageLayout phantomLayout(const PhantomOptions& options) {
    MetaImageLayout layout;
    layout.dimensions = {options.grid.x, options.grid.y, options.grid.z};
    layout.spacing.assign(options.voxelSize.begin(), options.voxelSize.end());
    layout.type = MetaElementType::kFloat32;
    return layout;
}

bool writePhantom(const PhantomOptions& options, std::string& error) {
    const std::string headerPath = metaImageHeaderPath(options.output);
    if (!checkOutputs({options.output, headerPath}, {}, error)) {
        return false;
    }
    PendingFile volume(options.output);
    std::ofstream file;
    if (!volume.open(file, error)) {
        return false;
    }
    std::string bytes;
    for (std::int64_t z = 0; z < options.grid.z; ++z) {
        fillSliceBytes(options, z, bytes);
        if (!writeChecked(file, bytes.data(), bytes.size())) {
            error = "cannot write " + options.output + " (slice " + std::to_string(z) + ")";
            return false;
        }
    }
    file.close();
    if (file.fail()) {
        error = "cannot write " + options.output;
        return false;
    }
    PendingFile header(headerPath);
    std::ofstream headerFile;
    if (!header.open(headerFile, error)) {
        return false;
    }
    headerFile << metaImageHeaderText(options.output, phantomLayout(options));
    headerFile.close();
    if (headerFile.fail()) {
        error = "cannot write " + headerPath;
        return false;
    }
    return commitTogether({&volume, &header}, error);
}

}  // namespace conesim::tools
