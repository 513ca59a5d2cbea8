#include "sum/DatSum.hpp"

#include <iostream>
#include <limits>
#include <sstream>

#include "common/BinaryFile.hpp"
#include "util/PendingFile.hpp"
#include "output/ImageWriters.hpp"

namespace conesim::tools {

namespace {

// The 4-byte count check comes first, from the size alone, so that a wrong file is named
// before any image is read.
bool checkSizes(const std::vector<std::string>& paths, std::uint32_t width,
                std::uint64_t& pixelCount, std::string& error) {
    std::uint64_t firstSize = 0;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        std::uint64_t size = 0;
        if (!regularFileSize(paths[i], size, error)) {
            return false;
        }
        if (size % 4 != 0) {
            error = paths[i] + ": size " + std::to_string(size) +
                    " bytes is not a whole number of 4-byte counts";
            return false;
        }
        if (size == 0) {
            error = paths[i] + ": the image holds no pixel";
            return false;
        }
        if (i == 0) {
            firstSize = size;
        } else if (size != firstSize) {
            error = "images of different sizes: " + paths[i] + " has " + std::to_string(size / 4) +
                    " pixels, " + paths[0] + " has " + std::to_string(firstSize / 4);
            return false;
        }
    }
    pixelCount = firstSize / 4;
    if (pixelCount % width != 0) {
        error = paths[0] + ": " + std::to_string(pixelCount) +
                " pixels do not form whole rows of width " + std::to_string(width);
        return false;
    }
    return true;
}

}  // namespace

bool sumDetectorImages(const std::vector<std::string>& paths, std::uint32_t width,
                       std::vector<std::uint32_t>& sum, std::string& error) {
    std::uint64_t pixelCount = 0;
    if (paths.empty() || width == 0 || !checkSizes(paths, width, pixelCount, error)) {
        if (error.empty()) {
            error = paths.empty() ? "no image given" : "the width must be positive";
        }
        return false;
    }
    sum.assign(static_cast<std::size_t>(pixelCount), 0);
    std::vector<std::uint32_t> image;
    constexpr std::uint32_t kMax = std::numeric_limits<std::uint32_t>::max();
    for (const std::string& path : paths) {
        if (!readUint32File(path, image, error)) {
            return false;
        }
        if (image.size() != sum.size()) {
            error = path + " changed its size while being read";
            return false;
        }
        for (std::size_t i = 0; i < sum.size(); ++i) {
            if (image[i] > kMax - sum[i]) {
                error = "the sum passes 4294967295 counts at pixel " + std::to_string(i) +
                        " (column " + std::to_string(i % width) + ", row " +
                        std::to_string(i / width) + ") when adding " + path;
                return false;
            }
            sum[i] += image[i];
        }
    }
    return true;
}

bool writeSummedImages(const std::string& base, std::uint32_t width,
                       const std::vector<std::uint32_t>& sum, std::string& error) {
    PendingFile raw(base + ".dat");
    PendingFile pgm(base + ".pgm");
    std::istringstream noInput;
    Console console{std::cerr, noInput};
    const auto count = static_cast<std::int64_t>(sum.size());
    if (!writeDetectorRaw(raw.temporaryPath(), count, sum.data(), console)) {
        error = "cannot write " + raw.path();
        return false;
    }
    if (!writeDetectorPgm(pgm.temporaryPath(), width, sum.data(), count, console)) {
        error = "cannot write " + pgm.path();
        return false;
    }
    return raw.commit(error) && pgm.commit(error);
}

}  // namespace conesim::tools
