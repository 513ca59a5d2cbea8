#include "driver/FinalImageClaim.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <filesystem>
#include <system_error>

#include "formats/MetaImageHeader.hpp"
#include "util/OutputTarget.hpp"
#include "util/RunNaming.hpp"

namespace conesim {

namespace {

std::string systemReason(int code) {
    return std::system_category().message(code);
}

std::string failureLine(const std::string& path, const std::string& reason) {
    return "ERROR: Cannot create final image " + path + ": " + reason + ".";
}

bool nameExists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

// Why path cannot be written through to a regular file; empty when it can (also when it does
// not exist). target receives where its links lead.
std::string refusalOf(const std::string& path, std::string& target) {
    std::string error;
    if (!resolveOutputTarget(path, target, error)) {
        return error;
    }
    const std::string kind = nonRegularKind(target);
    if (kind.empty()) {
        return "";
    }
    return (target == path ? "it is " : "its link leads to " + target + ", ") + kind +
           ", not a regular file";
}

// Whether the folder that holds target takes new files (the image is written beside it under
// a temporary name and renamed over it); empty when it does, else why not.
std::string folderRefusal(const std::string& target) {
    std::filesystem::path folder = std::filesystem::path(target).parent_path();
    if (folder.empty()) {
        folder = std::filesystem::path(".");
    }
    if (::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) != 0) {
        return systemReason(errno);
    }
    return "";
}

// Why the names the run writes for the image at path do not fit the system's limits: the
// longest is its header (path + ".mhd" for the raw image) under its temporary name
// (+ ".partial-" and the process id). Empty when they fit.
std::string lengthRefusal(const std::string& path) {
    const std::string longest = path + ".mhd.partial-" + std::to_string(::getpid());
    const std::string name = std::filesystem::path(longest).filename().string();
    if (name.size() > NAME_MAX) {
        return "its file name is too long: with the header and temporary suffixes the run adds "
               "(.mhd.partial-" +
               std::to_string(::getpid()) + ") it has " + std::to_string(name.size()) +
               " bytes, and a file name may have at most " + std::to_string(NAME_MAX);
    }
    if (longest.size() >= PATH_MAX) {
        return "its path is too long: with the header and temporary suffixes the run adds it has " +
               std::to_string(longest.size()) + " bytes, and a path may have at most " +
               std::to_string(PATH_MAX - 1);
    }
    return "";
}

}  // namespace

FinalImageClaim::~FinalImageClaim() {
    release();
}

std::string FinalImageClaim::headerPath() const {
    return metaImageHeaderPath(datPath());
}

void FinalImageClaim::setNames(const std::string& base, const std::string& run) {
    release();
    names_[kPgm] = Name{};
    names_[kPgm].path = base + "." + run + ".pgm";
    names_[kDat] = Name{};
    names_[kDat].path = base + "." + run + ".dat";
    names_[kJson] = Name{};
    names_[kJson].path = base + "." + run + ".json";
}

FinalImageClaim::Result FinalImageClaim::createPlaceholder(Name& name, bool exclusive,
                                                           std::string& error) {
    name.placeholderPath = name.path;
    const std::string tooLong = lengthRefusal(name.path);
    if (!tooLong.empty()) {
        error = failureLine(name.path, tooLong);
        return Result::kFailed;
    }
    if (!exclusive) {
        const std::string refusal = refusalOf(name.path, name.placeholderPath);
        if (!refusal.empty()) {
            error = failureLine(name.path, refusal);
            return Result::kFailed;
        }
    }
    const int fd =
        ::open(name.placeholderPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        const int code = errno;
        if (code != EEXIST) {
            error = failureLine(name.path, systemReason(code));
            return Result::kFailed;
        }
        if (exclusive) {
            return Result::kTaken;
        }
        // The image of the last run of this name stays until the new one replaces it; the
        // folder must take the new file beside it.
        const std::string reason = folderRefusal(name.placeholderPath);
        if (!reason.empty()) {
            error = failureLine(name.path, reason);
            return Result::kFailed;
        }
        return Result::kClaimed;
    }
    struct stat info {};
    if (::fstat(fd, &info) == 0) {
        name.device = info.st_dev;
        name.inode = info.st_ino;
        name.placeholder = true;
    }
    ::close(fd);
    return Result::kClaimed;
}

FinalImageClaim::Result FinalImageClaim::claimExclusive(const std::string& base,
                                                        const std::string& run,
                                                        std::string& error) {
    setNames(base, run);
    // A header of that name belongs to images of that name, whatever became of them.
    if (nameExists(headerPath())) {
        return Result::kTaken;
    }
    for (Name& name : names_) {
        const Result result = createPlaceholder(name, true, error);
        if (result != Result::kClaimed) {
            release();
            return result;
        }
    }
    return Result::kClaimed;
}

FinalImageClaim::Result FinalImageClaim::claimFixed(const std::string& base, const std::string& run,
                                                    std::string& error) {
    setNames(base, run);
    for (Name& name : names_) {
        const Result result = createPlaceholder(name, false, error);
        if (result != Result::kClaimed) {
            release();
            return result;
        }
    }
    std::string ignored;
    const std::string refusal = refusalOf(headerPath(), ignored);
    if (!refusal.empty()) {
        error = failureLine(headerPath(), refusal);
        release();
        return Result::kFailed;
    }
    return Result::kClaimed;
}

void FinalImageClaim::markWritten(const std::string& path) {
    for (Name& name : names_) {
        if (name.path == path) {
            name.placeholder = false;
            name.written = true;
        }
    }
}

bool FinalImageClaim::written(const std::string& path) const {
    for (const Name& name : names_) {
        if (name.path == path) {
            return name.written;
        }
    }
    return false;
}

void FinalImageClaim::release() {
    for (Name& name : names_) {
        if (!name.placeholder) {
            continue;
        }
        name.placeholder = false;
        // Only the empty file this claim created, never what has taken its place since.
        struct stat info {};
        if (::lstat(name.placeholderPath.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
            info.st_size == 0 && info.st_dev == name.device && info.st_ino == name.inode) {
            ::unlink(name.placeholderPath.c_str());
        }
    }
}

RunNaming nameRun(RandomGenerator& random, const std::string& base,
                  const std::optional<std::string>& fixedName, FinalImageClaim& claim) {
    RunNaming naming;
    if (fixedName) {
        random.next();  // the run number a run with a fixed name does not use
        naming.runName = *fixedName;
        if (claim.claimFixed(base, naming.runName, naming.error) !=
            FinalImageClaim::Result::kClaimed) {
            naming.result = RunNaming::Result::kFailed;
        }
        return naming;
    }
    // Every one of the 32768 numbers is drawn long before this many draws.
    constexpr int kMaxDraws = 1 << 22;
    for (int draw = 0; draw < kMaxDraws; ++draw) {
        naming.runName = makeRunNumberString(random.next() % 10000000);
        switch (claim.claimExclusive(base, naming.runName, naming.error)) {
            case FinalImageClaim::Result::kClaimed:
                return naming;
            case FinalImageClaim::Result::kTaken:
                break;
            case FinalImageClaim::Result::kFailed:
                naming.result = RunNaming::Result::kFailed;
                return naming;
        }
    }
    naming.result = RunNaming::Result::kNoFreeNumber;
    return naming;
}

}  // namespace conesim
