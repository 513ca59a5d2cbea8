#include "util/BinaryFile.hpp"

#include <filesystem>
#include <system_error>

#include "util/OutputTarget.hpp"

namespace conesim {

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

}  // namespace conesim
