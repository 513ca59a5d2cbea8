#include "precalc/MapArray.hpp"

#include <algorithm>
#include <limits>

#include "precalc/MapFileErrors.hpp"

namespace conesim {

MapArray::MapArray(const std::string& fileName, int dimX, int dimY, int dimZ)
    : fileName_(fileName),
      dimX_(dimX),
      dimY_(dimY),
      dimZ_(dimZ),
      count_(std::max<std::int64_t>(0, std::int64_t{dimX} * dimY * dimZ)) {}

MapArray MapArray::openFloatMap(const std::string& fileName, int dimX, int dimY, int dimZ) {
    MapArray map(fileName, dimX, dimY, dimZ);
    map.floatData_.assign(static_cast<std::size_t>(map.count_), 0.0f);
    map.hasFloatData_ = true;
    map.stream_.open(fileName, std::ios::binary);
    if (map.stream_.is_open()) {
        // The file length tells how many complete values a request can get, so that a
        // request running into the end stores only whole values.
        map.stream_.seekg(0, std::ios::end);
        const std::streamoff end = map.stream_.tellg();
        map.fileBytes_ = end > 0 ? static_cast<std::int64_t>(end) : 0;
        map.stream_.clear();
        map.readRange(0, map.count_);
    }
    return map;
}

MapArray MapArray::createDoubleMap(const std::string& fileName, int dimX, int dimY, int dimZ) {
    MapArray map(fileName, dimX, dimY, dimZ);
    map.doubleData_.assign(static_cast<std::size_t>(map.count_), 0.0);
    map.hasDoubleData_ = true;
    return map;
}

std::int64_t MapArray::readRange(std::int64_t start, std::int64_t n) {
    if (!hasFloatData_ || !stream_.is_open() || start < 0) {
        return 0;
    }
    constexpr std::int64_t kValueBytes = sizeof(float);
    if (start > std::numeric_limits<std::streamoff>::max() / kValueBytes) {
        // No byte position that far exists: the positioning fails like any failed seek.
        stream_.setstate(std::ios::failbit);
        return 0;
    }
    stream_.seekg(static_cast<std::streamoff>(start * kValueBytes), std::ios::beg);
    if (!stream_) {
        return 0;
    }
    const std::int64_t wanted = std::clamp<std::int64_t>(n, 0, count_);
    const std::int64_t available = std::max<std::int64_t>(0, fileBytes_ / kValueBytes - start);
    const std::int64_t toRead = std::min(wanted, available);
    std::int64_t stored = 0;
    if (toRead > 0) {
        stream_.read(reinterpret_cast<char*>(floatData_.data()),
                     static_cast<std::streamsize>(toRead * kValueBytes));
        stored = static_cast<std::int64_t>(stream_.gcount()) / kValueBytes;
    }
    if (stored < wanted) {
        // Ran into the end of the file: the stream stays failed for later requests.
        stream_.setstate(std::ios::eofbit | std::ios::failbit);
    }
    return stored;
}

std::int64_t MapArray::writeBinary(Console& console, std::ostream& report) {
    return writeBinary(console, report, fileName_ + ".pca");
}

std::int64_t MapArray::writeBinary(Console& console, std::ostream& report,
                                   const std::string& path) {
    const std::string name = fileName_ + ".pca";
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out.is_open()) {
        writeLine(console.out, "Error: Cannot write.");
        reportWriteFailure(console, report, name, path);
        return 0;
    }
    writeLine(report, "\nWriting binary file " + name);
    if (hasDoubleData_ && count_ > 0) {
        out.write(reinterpret_cast<const char*>(doubleData_.data()),
                  static_cast<std::streamsize>(count_ * std::int64_t{sizeof(double)}));
    }
    out.close();
    if (!hasDoubleData_ || out.fail()) {
        reportWriteFailure(console, report, name, path);
        return 0;
    }
    return count_;
}

std::vector<float> MapArray::takeAsFloat() {
    std::vector<float> result(doubleData_.size());
    for (std::size_t i = 0; i < doubleData_.size(); ++i) {
        result[i] = static_cast<float>(doubleData_[i]);
    }
    doubleData_ = std::vector<double>();
    floatData_ = std::vector<float>();
    hasDoubleData_ = false;
    hasFloatData_ = false;
    return result;
}

void MapArray::close() {
    if (stream_.is_open()) {
        stream_.close();
    }
}

void MapArray::release() {
    close();
    floatData_ = std::vector<float>();
    doubleData_ = std::vector<double>();
    hasFloatData_ = false;
    hasDoubleData_ = false;
}

}  // namespace conesim
