// Helpers shared by the test programs: scratch folders and whole-file reads and writes.
#pragma once

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace conesim::testing {

// Whether this build runs under AddressSanitizer, whose shadow memory no address-space
// limit (ulimit -v) leaves room for: tests of such limits run without them there.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kSanitizedBuild = true;
#else
inline constexpr bool kSanitizedBuild = false;
#endif

// A fresh folder under the system's temporary directory, removed with everything in it
// when the object goes out of scope. While it lives, it can be made the working directory.
class ScratchDir {
  public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

  private:
    std::filesystem::path path_;
};

// Makes a folder the working directory until the object goes out of scope.
class WorkingDirectory {
  public:
    explicit WorkingDirectory(const std::filesystem::path& dir);
    ~WorkingDirectory();
    WorkingDirectory(const WorkingDirectory&) = delete;
    WorkingDirectory& operator=(const WorkingDirectory&) = delete;

  private:
    std::filesystem::path previous_;
};

std::string readText(const std::string& path);
std::vector<std::uint8_t> readBytes(const std::string& path);
void writeText(const std::string& path, const std::string& text);
void writeBytes(const std::string& path, const void* data, std::size_t size);

template <typename T>
void writeValues(const std::string& path, const std::vector<T>& values) {
    writeBytes(path, values.data(), values.size() * sizeof(T));
}

template <typename T>
std::vector<T> readValues(const std::string& path) {
    std::vector<std::uint8_t> bytes = readBytes(path);
    std::vector<T> values(bytes.size() / sizeof(T));
    if (!values.empty()) {
        std::memcpy(values.data(), bytes.data(), values.size() * sizeof(T));
    }
    return values;
}

}  // namespace conesim::testing
