#include "precalc/PlaneFolderLock.hpp"

#include <errno.h>
#include <fcntl.h>
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

}  // namespace

PlaneFolderLock::~PlaneFolderLock() {
    release();
}

PlaneFolderLock::Result PlaneFolderLock::acquire(const std::string& folder) {
    release();
    const std::string path = inPlaneFolder(folder, kPlaneFolderLockName);
    fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ < 0) {
        return Result::kNoLockFile;
    }
    struct flock lock = wholeFile(F_WRLCK);
    if (::fcntl(fd_, F_SETLK, &lock) == 0) {
        return Result::kLocked;
    }
    if (errno != EACCES && errno != EAGAIN) {
        release();  // a file system without locks: nothing to hold
        return Result::kNoLockFile;
    }
    struct flock other = wholeFile(F_WRLCK);
    holder_ = ::fcntl(fd_, F_GETLK, &other) == 0 && other.l_type != F_UNLCK ? other.l_pid : 0;
    ::close(fd_);
    fd_ = -1;
    return Result::kHeldByOther;
}

void PlaneFolderLock::release() {
    if (fd_ >= 0) {
        ::close(fd_);  // closing the descriptor drops the lock
        fd_ = -1;
    }
}

}  // namespace conesim
