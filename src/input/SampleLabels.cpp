#include "input/SampleLabels.hpp"

#include <cstdint>
#include <fstream>
#include <sstream>
#include <vector>

namespace conesim {

bool isSampleLabel(const SampleMaterials& materials, float value) {
    if (value == 0.0F) {
        return true;
    }
    for (const SampleMaterial& entry : materials.materials) {
        if (static_cast<double>(value) == static_cast<double>(entry.label)) {
            return true;
        }
    }
    return false;
}

bool checkSampleLabels(const SampleVolume& sample, const SampleMaterials& materials,
                       std::string& error) {
    std::ifstream in(sample.path, std::ios::binary);
    if (!in.is_open()) {
        error = "ERROR: Cannot read sample file " + sample.path + ".";
        return false;
    }
    const std::int64_t sliceSize = sample.sliceSize();
    std::vector<float> slice(static_cast<std::size_t>(sliceSize));
    bool found = false;
    float wrong = 0.0F;
    std::int64_t count = 0;
    std::int64_t first = 0;
    for (std::int64_t z = 0; z < sample.dimZ; ++z) {
        in.read(reinterpret_cast<char*>(slice.data()),
                static_cast<std::streamsize>(sliceSize * std::int64_t{sizeof(float)}));
        if (in.gcount() != static_cast<std::streamsize>(sliceSize * std::int64_t{sizeof(float)})) {
            error = "ERROR: Cannot read sample file " + sample.path + ".";
            return false;
        }
        for (std::int64_t j = 0; j < sliceSize; ++j) {
            const float value = slice[static_cast<std::size_t>(j)];
            if (found) {
                // Not-a-number never equals itself: count it by its bits instead.
                count += (value == wrong || (value != value && wrong != wrong)) ? 1 : 0;
            } else if (!isSampleLabel(materials, value)) {
                found = true;
                wrong = value;
                count = 1;
                first = z * sliceSize + j;
            }
        }
    }
    if (!found) {
        return true;
    }
    const std::int64_t x = first % sample.dimX;
    const std::int64_t y = (first / sample.dimX) % sample.dimY;
    const std::int64_t z = first / sliceSize;
    std::ostringstream text;
    text.precision(9);
    text << "ERROR: Sample file " << sample.path << " holds the value " << wrong << " in " << count
         << (count == 1 ? " voxel" : " voxels") << " (the first at x, y, z = " << x << ", " << y
         << ", " << z << "), which is neither 0 (vacuum) nor a label of materials file "
         << materials.path << ".";
    error = text.str();
    return false;
}

}  // namespace conesim
