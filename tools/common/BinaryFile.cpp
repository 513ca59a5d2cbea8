#include "common/BinaryFile.hpp"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "util/OutputTarget.hpp"

namespace conesim::tools {

namespace {

// Little-endian bytes to an unsigned value, whatever this machine's byte order.
std::uint64_t littleEndian(const std::uint8_t* bytes, int count) {
    std::uint64_t value = 0;
    for (int i = count - 1; i >= 0; --i) {
        value = (value << 8U) | bytes[i];
    }
    return value;
}

bool readElements(const std::string& path, std::size_t elementSize,
                  std::vector<std::uint8_t>& bytes, std::string& error) {
    if (!readFileBytes(path, bytes, error)) {
        return false;
    }
    if (bytes.size() % elementSize != 0) {
        error = path + ": size " + std::to_string(bytes.size()) +
                " bytes is not a whole number of " + std::to_string(elementSize) + "-byte values";
        return false;
    }
    return true;
}

}  // namespace

bool regularFileSize(const std::string& path, std::uint64_t& size, std::string& error) {
    std::error_code code;
    const auto status = std::filesystem::status(path, code);
    if (code || !std::filesystem::exists(status)) {
        error = "cannot open " + path + ": no such file";
        return false;
    }
    if (!std::filesystem::is_regular_file(status)) {
        const std::string kind = nonRegularKind(path);
        error = "cannot open " + path + ": " + (kind.empty() ? "" : "it is " + kind + ", ") +
                "not a regular file";
        return false;
    }
    size = std::filesystem::file_size(path, code);
    if (code) {
        error = "cannot read " + path + ": " + code.message();
        return false;
    }
    return true;
}

bool openInput(const std::string& path, std::ifstream& file, std::uint64_t& size,
               std::string& error) {
    if (!regularFileSize(path, size, error)) {
        return false;
    }
    file.open(path, std::ios::binary);
    if (!file.is_open()) {
        error = "cannot open " + path;
        return false;
    }
    return true;
}

bool readFileBytes(const std::string& path, std::vector<std::uint8_t>& bytes, std::string& error) {
    std::uint64_t size = 0;
    std::ifstream file;
    if (!openInput(path, file, size, error)) {
        return false;
    }
    bytes.assign(static_cast<std::size_t>(size), 0);
    if (size > 0) {
        file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size));
        if (static_cast<std::uint64_t>(file.gcount()) != size) {
            error = "cannot read " + path;
            return false;
        }
    }
    return true;
}

bool readUint32File(const std::string& path, std::vector<std::uint32_t>& values,
                    std::string& error) {
    std::vector<std::uint8_t> bytes;
    if (!readElements(path, 4, bytes, error)) {
        return false;
    }
    values.resize(bytes.size() / 4);
    for (std::size_t i = 0; i < values.size(); ++i) {
        values[i] = static_cast<std::uint32_t>(littleEndian(&bytes[i * 4], 4));
    }
    return true;
}

bool readDoubleFile(const std::string& path, std::vector<double>& values, std::string& error) {
    std::vector<std::uint8_t> bytes;
    if (!readElements(path, 8, bytes, error)) {
        return false;
    }
    values.resize(bytes.size() / 8);
    for (std::size_t i = 0; i < values.size(); ++i) {
        const std::uint64_t bits = littleEndian(&bytes[i * 8], 8);
        std::memcpy(&values[i], &bits, sizeof(double));
    }
    return true;
}

bool writeChecked(std::ofstream& file, const void* data, std::size_t size) {
    file.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
    return static_cast<bool>(file);
}

bool stageFile(PendingFile& pending, const void* data, std::size_t size, std::string& error) {
    std::ofstream file;
    if (!pending.open(file, error)) {
        return false;
    }
    writeChecked(file, data, size);
    file.close();
    if (file.fail()) {
        error = "cannot write " + pending.path();
        return false;
    }
    return true;
}

bool makeFolder(const std::string& path, std::string& error) {
    std::error_code code;
    std::filesystem::create_directories(path, code);
    if (code || !std::filesystem::is_directory(path, code)) {
        error = "cannot create folder " + path;
        return false;
    }
    return true;
}

std::string fixed(double value, int digits) {
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", digits, value);
    return text;
}

}  // namespace conesim::tools
