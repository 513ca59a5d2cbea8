#include "params/FileReplacement.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace conesim::tools {

namespace {

std::string modeText(mode_t mode) {
    char text[16];
    std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode & 07777));
    return text;
}

}  // namespace

bool replaceable(const std::string& path, const std::string& target, std::string& error) {
    struct stat info {};
    if (::stat(target.c_str(), &info) != 0) {
        return true;
    }
    const bool readOnly =
        ::geteuid() == 0 ? (info.st_mode & 0222) == 0 : ::access(target.c_str(), W_OK) != 0;
    if (readOnly) {
        error = "refusing to write " + path + ": it is read-only for you (mode " +
                modeText(info.st_mode) + "); make it writable first";
        return false;
    }
    return true;
}

bool keepModeAndOwner(const std::string& target, const std::string& temporaryPath,
                      std::string& error) {
    struct stat info {};
    if (::stat(target.c_str(), &info) != 0) {
        return true;
    }
    // The owner first: a change of owner may clear set-user and set-group bits. Root keeps
    // owner and group; another user keeps the group when belonging to it, and otherwise the
    // copy is the user's own (the README says so).
    const uid_t owner = ::geteuid() == 0 ? info.st_uid : static_cast<uid_t>(-1);
    if (::chown(temporaryPath.c_str(), owner, info.st_gid) != 0 &&
        owner != static_cast<uid_t>(-1)) {
        error = "cannot give the new " + target + " its owner: " + std::strerror(errno);
        return false;
    }
    if (::chmod(temporaryPath.c_str(), info.st_mode & 07777) != 0) {
        error = "cannot give the new " + target + " the mode " + modeText(info.st_mode) + ": " +
                std::strerror(errno);
        return false;
    }
    return true;
}

ReplacementLock::~ReplacementLock() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

bool ReplacementLock::acquire(const std::string& target, std::string& error) {
    while (true) {
        // Non-blocking, so that a name that turned into a named pipe cannot hang the open.
        const int fd = ::open(target.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            if (errno == ENOENT) {
                return true;
            }
            error = "cannot open " + target + ": " + std::strerror(errno);
            return false;
        }
        int locked = 0;
        while ((locked = ::flock(fd, LOCK_EX)) != 0 && errno == EINTR) {
        }
        struct stat held {};
        struct stat named {};
        if (locked == 0 && ::fstat(fd, &held) == 0 && ::stat(target.c_str(), &named) == 0 &&
            held.st_dev == named.st_dev && held.st_ino == named.st_ino) {
            fd_ = fd;
            return true;
        }
        ::close(fd);
        if (locked != 0) {
            error = "cannot lock " + target + ": " + std::strerror(errno);
            return false;
        }
    }
}

}  // namespace conesim::tools
