#include "common/BinaryFile.hpp"

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace conesim::tools {

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
