#include "util/PendingFile.hpp"

#include <unistd.h>

#include <filesystem>
#include <system_error>
#include <utility>

namespace conesim {

PendingFile::PendingFile(std::string path)
    : path_(std::move(path)), temporaryPath_(path_ + ".partial-" + std::to_string(::getpid())) {}

PendingFile::~PendingFile() {
    if (!committed_) {
        std::error_code ignored;
        std::filesystem::remove(temporaryPath_, ignored);
    }
}

bool PendingFile::open(std::ofstream& file, std::string& error) const {
    file.open(temporaryPath_, std::ios::binary | std::ios::trunc);
    if (!file.is_open()) {
        error = "cannot create " + path_;
        return false;
    }
    return true;
}

bool PendingFile::finish(std::ofstream& file, std::string& error) {
    file.close();
    if (file.fail()) {
        error = "cannot write " + path_;
        return false;
    }
    return commit(error);
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

}  // namespace conesim
