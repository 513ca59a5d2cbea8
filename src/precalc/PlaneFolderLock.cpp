#include "precalc/PlaneFolderLock.hpp"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "precalc/MapNames.hpp"

namespace conesim {
namespace {

struct flock wholeFile(short type) {
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = 0;
    lock.l_len = 0;  // to the end, however long
    return lock;
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
        struct flock lock = wholeFile(F_WRLCK);
        if (::fcntl(fd_, F_SETLK, &lock) == 0) {
            if (stillNamed(fd_, path)) {
                path_ = path;
                return Result::kLocked;
            }
            closeDescriptor(fd_);
            continue;
        }
        if (errno != EACCES && errno != EAGAIN) {
            closeDescriptor(fd_);  // a file system without locks: nothing to hold
            return Result::kNoLockFile;
        }
        struct flock other = wholeFile(F_WRLCK);
        holder_ = ::fcntl(fd_, F_GETLK, &other) == 0 && other.l_type != F_UNLCK ? other.l_pid : 0;
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
