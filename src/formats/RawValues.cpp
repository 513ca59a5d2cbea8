#include "formats/RawValues.hpp"

#include <bit>
#include <fstream>
#include <limits>
#include <type_traits>

#include "util/BinaryFile.hpp"

namespace conesim {

namespace {

// Little-endian bytes to an unsigned value, whatever this machine's byte order.
std::uint64_t littleEndian(const std::uint8_t* bytes, int count) {
    std::uint64_t value = 0;
    for (int i = count - 1; i >= 0; --i) {
        value = (value << 8U) | bytes[i];
    }
    return value;
}

// The values of bytes, read as little-endian elements of T's size, bit for bit.
template <typename T>
void decodeLittleEndian(const std::vector<std::uint8_t>& bytes, std::vector<T>& values) {
    using Bits = std::conditional_t<sizeof(T) == 8, std::uint64_t, std::uint32_t>;
    values.resize(bytes.size() / sizeof(T));
    for (std::size_t i = 0; i < values.size(); ++i) {
        const auto bits = static_cast<Bits>(littleEndian(&bytes[i * sizeof(T)], sizeof(T)));
        values[i] = std::bit_cast<T>(bits);
    }
}

// A whole file of little-endian values of T; false when it cannot be read or its size is
// no whole number of them.
template <typename T>
bool readValueFile(const std::string& path, std::vector<T>& values, std::string& error) {
    std::vector<std::uint8_t> bytes;
    if (!readFileBytes(path, bytes, error)) {
        return false;
    }
    if (bytes.size() % sizeof(T) != 0) {
        error = path + ": size " + std::to_string(bytes.size()) +
                " bytes is not a whole number of " + std::to_string(sizeof(T)) + "-byte values";
        return false;
    }
    decodeLittleEndian(bytes, values);
    return true;
}

}  // namespace

bool readUint32File(const std::string& path, std::vector<std::uint32_t>& values,
                    std::string& error) {
    return readValueFile(path, values, error);
}

bool readDoubleFile(const std::string& path, std::vector<double>& values, std::string& error) {
    return readValueFile(path, values, error);
}

bool readFloatFile(const std::string& path, std::vector<float>& values, std::string& error) {
    return readValueFile(path, values, error);
}

bool readUint32Block(const std::string& path, std::uint64_t first, std::uint64_t count,
                     std::vector<std::uint32_t>& values, std::string& error) {
    std::ifstream file;
    std::uint64_t size = 0;
    if (!openInput(path, file, size, error)) {
        return false;
    }
    std::vector<std::uint8_t> bytes(count * 4U);
    file.seekg(static_cast<std::streamoff>(first * 4U));
    file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!file || static_cast<std::uint64_t>(file.gcount()) != bytes.size()) {
        error = "cannot read " + path;
        return false;
    }
    decodeLittleEndian(bytes, values);
    return true;
}

void float32Bytes(const float* values, std::size_t count, std::uint8_t* bytes) {
    for (std::size_t i = 0; i < count; ++i) {
        const auto bits = std::bit_cast<std::uint32_t>(values[i]);
        for (std::size_t b = 0; b < 4; ++b) {
            bytes[i * 4 + b] = static_cast<std::uint8_t>(bits >> (8U * b));
        }
    }
}

bool readRawImage(const std::string& path, MetaElementType type, std::uint32_t width,
                  ValueImage& image, std::string& error) {
    image = ValueImage{};
    if (type == MetaElementType::kUint32) {
        std::vector<std::uint32_t> counts;
        if (!readUint32File(path, counts, error)) {
            return false;
        }
        image.values.assign(counts.begin(), counts.end());
    } else if (!readDoubleFile(path, image.values, error)) {
        return false;
    }
    if (image.values.empty()) {
        error = path + ": the image holds no value";
        return false;
    }
    if (width == 0 || image.values.size() % width != 0 ||
        image.values.size() / width > std::numeric_limits<std::uint32_t>::max()) {
        error = path + ": " + std::to_string(image.values.size()) +
                " values do not form whole rows of width " + std::to_string(width);
        return false;
    }
    image.width = width;
    image.height = static_cast<std::uint32_t>(image.values.size() / width);
    return true;
}

}  // namespace conesim
