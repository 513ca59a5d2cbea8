#include "precalc/PlaneFolderLock.hpp"

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "precalc/MapNames.hpp"

namespace conesim {
namespace {

// The process id the holder wrote into the lock file; 0 when it holds none.
pid_t writtenHolder(int fd) {
    char text[32] = {};
    const ssize_t got = ::pread(fd, text, sizeof text - 1, 0);
    if (got <= 0) {
        return 0;
    }
    const long pid = std::strtol(text, nullptr, 10);
    return pid > 0 ? static_cast<pid_t>(pid) : 0;
}

// Writes this process's id into the lock file it holds, for a refused run to name.
void writeHolder(int fd) {
    const std::string text = std::to_string(::getpid()) + "\n";
    if (::ftruncate(fd, 0) == 0) {
        [[maybe_unused]] const ssize_t written = ::pwrite(fd, text.data(), text.size(), 0);
    }
}

// Whether path still names the file open as fd: a holder that finished removes the lock
// file, and a lock taken on the removed file would exclude nobody.
bool stillNamed(int fd, const std::string& path) {
    struct stat opened {};
    struct stat named {};
    return ::fstat(fd, &opened) == 0 && ::stat(path.c_str(), &named) == 0 &&
           opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

void closeDescriptor(int& fd) {
    if (fd >= 0) {
        ::close(fd);  // closing the descriptor drops the lock
        fd = -1;
    }
}

}  // namespace

PlaneFolderLock::~PlaneFolderLock() {
    release();
}

PlaneFolderLock::Result PlaneFolderLock::acquire(const std::string& folder) {
    release();
    const std::string path = inPlaneFolder(folder, kPlaneFolderLockName);
    // A few tries: each finds the file removed only when its holder has just finished.
    for (int attempt = 0; attempt < 100; ++attempt) {
        fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd_ < 0) {
            return Result::kNoLockFile;
        }
        if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) {
            if (stillNamed(fd_, path)) {
                path_ = path;
                writeHolder(fd_);
                return Result::kLocked;
            }
            closeDescriptor(fd_);
            continue;
        }
        if (errno != EWOULDBLOCK) {
            closeDescriptor(fd_);  // a file system without locks: nothing to hold
            return Result::kNoLockFile;
        }
        holder_ = writtenHolder(fd_);
        closeDescriptor(fd_);
        return Result::kHeldByOther;
    }
    return Result::kNoLockFile;
}

void PlaneFolderLock::release() {
    if (fd_ >= 0) {
        // Removed while still held, so that no other run locks the file being removed.
        ::unlink(path_.c_str());
    }
    closeDescriptor(fd_);
}

}  // namespace conesim
