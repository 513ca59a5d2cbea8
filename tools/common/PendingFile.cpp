#include "common/PendingFile.hpp"

#include <unistd.h>

#include <filesystem>
#include <system_error>
#include <utility>

namespace conesim::tools {

PendingFile::PendingFile(std::string path)
    : path_(std::move(path)), temporaryPath_(path_ + ".partial-" + std::to_string(::getpid())) {}

PendingFile::~PendingFile() {
    if (!committed_) {
        std::error_code ignored;
        std::filesystem::remove(temporaryPath_, ignored);
    }
}

bool PendingFile::commit(std::string& error) {
    std::error_code code;
    std::filesystem::rename(temporaryPath_, path_, code);
    if (code) {
        error = "cannot create " + path_ + ": " + code.message();
        return false;
    }
    committed_ = true;
    return true;
}

}  // namespace conesim::tools
