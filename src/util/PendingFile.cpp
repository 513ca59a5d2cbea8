#include "util/PendingFile.hpp"

#include <unistd.h>

#include <filesystem>
#include <system_error>
#include <utility>

#include "util/NewFile.hpp"
#include "util/OutputTarget.hpp"

namespace conesim {

namespace {

// The name a commit replaces; a name whose links cannot be followed keeps its own name (its
// check refuses it before anything is written).
std::string targetOf(const std::string& path) {
    std::string target;
    std::string ignored;
    return resolveOutputTarget(path, target, ignored) ? target : path;
}

}  // namespace

PendingFile::PendingFile(std::string path)
    : path_(std::move(path)),
      targetPath_(targetOf(path_)),
      temporaryPath_(targetPath_ + ".partial-" + std::to_string(::getpid())) {}

PendingFile::~PendingFile() {
    if (!committed_) {
        std::error_code ignored;
        std::filesystem::remove(temporaryPath_, ignored);
    }
}

bool PendingFile::check(std::string& error) const {
    std::string target;
    if (!usableOutputTarget(path_, target, error)) {
        return false;
    }
    if (target != targetPath_) {
        error = "cannot write " + path_ + ": its link changed while it was being written";
        return false;
    }
    return true;
}

bool PendingFile::create(std::string& error) const {
    if (!check(error)) {
        return false;
    }
    std::string reason;
    if (!createNewFile(temporaryPath_, reason)) {
        error = "cannot create " + path_;
        return false;
    }
    return true;
}

bool PendingFile::open(std::ofstream& file, std::string& error) const {
    if (!create(error)) {
        return false;
    }
    // Opens the file just created, which only its owner can remove from under it in a
    // folder that others may write only with the sticky bit set.
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
    if (!check(error)) {
        return false;
    }
    std::error_code code;
    std::filesystem::rename(temporaryPath_, targetPath_, code);
    if (code) {
        error = "cannot create " + path_ + ": " + code.message();
        return false;
    }
    committed_ = true;
    return true;
}

void PendingFile::withdraw() {
    if (committed_) {
        std::error_code ignored;
        std::filesystem::remove(targetPath_, ignored);
        committed_ = false;
    }
}

bool commitTogether(std::span<PendingFile* const> files, std::string& error) {
    for (const PendingFile* file : files) {
        if (!file->check(error)) {
            return false;
        }
    }
    for (auto current = files.begin(); current != files.end(); ++current) {
        if (!(*current)->commit(error)) {
            for (auto done = files.begin(); done != current; ++done) {
                (*done)->withdraw();
            }
            return false;
        }
    }
    return true;
}

}  // namespace conesim
