#include "sum/DatSum.hpp"

#include <fstream>
#include <iostream>
#include <limits>
#include <sstream>

#include "common/BinaryFile.hpp"
#include "formats/ImageWriters.hpp"
#include "formats/MetaImageHeader.hpp"
#include "util/OutputTarget.hpp"
#include "util/PendingFile.hpp"

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

ImageDigest digestOf(const std::vector<std::uint32_t>& image) {
    ImageDigest digest;
    digest.hash = 14695981039346656037ULL;
    for (std::uint32_t count : image) {
        for (unsigned shift = 0; shift < 32; shift += 8) {
            digest.hash = (digest.hash ^ ((count >> shift) & 0xFFU)) * 1099511628211ULL;
        }
        digest.allZero = digest.allZero && count == 0;
    }
    return digest;
}

}  // namespace

bool refuseRepeatedImages(const std::vector<std::string>& paths, std::string& error) {
    for (std::size_t later = 1; later < paths.size(); ++later) {
        for (std::size_t earlier = 0; earlier < later; ++earlier) {
            if (paths[earlier] == paths[later]) {
                error = paths[later] + " is named twice; each run's image may be added once";
                return false;
            }
            if (sameFile(paths[earlier], paths[later])) {
                error = paths[earlier] + " and " + paths[later] +
                        " are the same file; each run's image may be added once";
                return false;
            }
        }
    }
    return true;
}

bool sumDetectorImages(const std::vector<std::string>& paths, std::uint32_t width,
                       std::vector<std::uint32_t>& sum, std::vector<ImageDigest>& digests,
                       std::string& error) {
    std::uint64_t pixelCount = 0;
    if (paths.empty() || width == 0 || !checkSizes(paths, width, pixelCount, error)) {
        if (error.empty()) {
            error = paths.empty() ? "no image given" : "the width must be positive";
        }
        return false;
    }
    sum.assign(static_cast<std::size_t>(pixelCount), 0);
    std::vector<std::uint32_t> image;
    digests.clear();
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
        digests.push_back(digestOf(image));
    }
    return true;
}

std::vector<std::pair<std::size_t, std::size_t>> identicalImages(
    const std::vector<std::string>& paths, const std::vector<ImageDigest>& digests) {
    std::vector<std::pair<std::size_t, std::size_t>> pairs;
    for (std::size_t later = 1; later < digests.size() && later < paths.size(); ++later) {
        for (std::size_t earlier = 0; earlier < later; ++earlier) {
            if (digests[later].allZero || digests[earlier].hash != digests[later].hash) {
                continue;
            }
            std::vector<std::uint32_t> first;
            std::vector<std::uint32_t> second;
            std::string ignored;
            if (readUint32File(paths[earlier], first, ignored) &&
                readUint32File(paths[later], second, ignored) && first == second) {
                pairs.emplace_back(earlier, later);
                break;
            }
        }
    }
    return pairs;
}

bool writeSummedImages(const std::string& base, std::uint32_t width,
                       const std::array<double, 2>& pixelSize,
                       const std::vector<std::uint32_t>& sum, std::string& error) {
    const std::string rawPath = base + ".dat";
    const std::string headerPath = metaImageHeaderPath(rawPath);
    if (!checkOutputs({rawPath, base + ".pgm", headerPath}, {}, error)) {
        return false;
    }
    PendingFile raw(rawPath);
    PendingFile pgm(base + ".pgm");
    PendingFile header(headerPath);
    std::istringstream noInput;
    Console console{std::cerr, noInput};
    const auto count = static_cast<std::int64_t>(sum.size());
    // The writers follow links at the names they are given: the temporary names are made
    // new first, so that no link planted there leads the images elsewhere.
    if (!raw.create(error) || !pgm.create(error)) {
        return false;
    }
    if (!writeDetectorRaw(raw.temporaryPath(), count, sum.data(), console)) {
        error = "cannot write " + raw.path();
        return false;
    }
    if (!writeDetectorPgm(pgm.temporaryPath(), width, sum.data(), count, console)) {
        error = "cannot write " + pgm.path();
        return false;
    }
    MetaImageLayout layout;
    layout.dimensions = {width, count / width};
    layout.spacing = {pixelSize[0], pixelSize[1]};
    layout.type = MetaElementType::kUint32;
    if (!stageMetaImageHeader(header, rawPath, layout, error)) {
        return false;
    }
    return commitTogether({&raw, &pgm, &header}, error);
}

}  // namespace conesim::tools
