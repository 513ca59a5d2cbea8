#include "precalc/PendingMapFiles.hpp"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <utility>

#include "precalc/MapNames.hpp"
#include "util/NewFile.hpp"

namespace conesim {
namespace {

namespace fs = std::filesystem;

bool isFolder(const std::string& path) {
    std::error_code error;
    return fs::is_directory(fs::symlink_status(path, error));
}

// Removes whatever stands under path unless it is a folder: a regular file, or a link
// (never what the link points to).
void removeUnlessFolder(const std::string& path) {
    std::error_code error;
    const fs::file_status status = fs::symlink_status(path, error);
    if (!error && fs::exists(status) && !fs::is_directory(status)) {
        fs::remove(path, error);
    }
}

// Holds back every signal that can be held back while it lives.
class HeldSignals {
  public:
    HeldSignals() {
        sigset_t all;
        sigfillset(&all);
        held_ = pthread_sigmask(SIG_BLOCK, &all, &previous_) == 0;
    }
    ~HeldSignals() {
        if (held_) {
            pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
        }
    }
    HeldSignals(const HeldSignals&) = delete;
    HeldSignals& operator=(const HeldSignals&) = delete;

  private:
    sigset_t previous_{};
    bool held_ = false;
};

}  // namespace

PendingMapFiles::PendingMapFiles() : PendingMapFiles(".partial-" + std::to_string(::getpid())) {}

PendingMapFiles::PendingMapFiles(std::string suffix) : suffix_(std::move(suffix)) {}

PendingMapFiles::~PendingMapFiles() {
    discard();
}

bool PendingMapFiles::add(const std::vector<std::string>& names, std::string* error) {
    for (const std::string& name : names) {
        if (isPending(name)) {
            continue;
        }
        std::string reason;
        if (!createNewFile(placed(name) + suffix_, reason)) {
            if (error != nullptr) {
                *error = reason;
            }
            return false;
        }
        pending_.push_back(name);
    }
    return true;
}

bool PendingMapFiles::isPending(const std::string& name) const {
    return std::find(pending_.begin(), pending_.end(), name) != pending_.end();
}

std::string PendingMapFiles::placed(const std::string& name) const {
    return inPlaneFolder(folder_, name);
}

std::string PendingMapFiles::pathOf(const std::string& name) const {
    return isPending(name) ? placed(name) + suffix_ : placed(name);
}

bool PendingMapFiles::publish(const std::vector<std::vector<std::string>>& sets,
                              std::string& failedName) {
    // A file cannot replace a folder: found before anything moves, no set is touched.
    for (const std::vector<std::string>& set : sets) {
        for (const std::string& name : set) {
            if (isFolder(placed(name))) {
                failedName = name;
                return false;
            }
        }
    }
    const HeldSignals held;
    for (const std::vector<std::string>& set : sets) {
        for (const std::string& name : set) {
            const auto at = std::find(pending_.begin(), pending_.end(), name);
            if (at == pending_.end()) {
                continue;  // not made by this run: nothing to move
            }
            std::error_code error;
            fs::rename(placed(name) + suffix_, placed(name), error);
            if (error) {
                failedName = name;
                for (const std::string& member : set) {
                    removeUnlessFolder(placed(member));
                }
                return false;
            }
            pending_.erase(at);
        }
    }
    return true;
}

void PendingMapFiles::discard() {
    for (const std::string& name : pending_) {
        removeUnlessFolder(placed(name) + suffix_);
    }
    pending_.clear();
}

}  // namespace conesim
