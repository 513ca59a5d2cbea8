// The writer lock of a plane folder: a run in mode 3 or 4 holds an advisory lock (flock)
// on the file "Z-PRE.lock" in the folder while it makes and publishes its maps and planes,
// so that two runs never write one folder's sets at the same time; the file holds the
// holder's process id, which a refused run names. The lock belongs to the open file, so
// reading the file elsewhere in the holding process does not drop it. The system drops the
// lock when the process ends in any way, so a crashed run leaves no stale lock, at most
// the empty file. A holder removes the file before it lets go, and a run that locked a file
// no longer under that name tries again, so two runs never hold locks on two files.
#pragma once

#include <sys/types.h>

#include <string>

namespace conesim {

class PlaneFolderLock {
  public:
    PlaneFolderLock() = default;
    ~PlaneFolderLock();
    PlaneFolderLock(const PlaneFolderLock&) = delete;
    PlaneFolderLock& operator=(const PlaneFolderLock&) = delete;

    enum class Result {
        kLocked,       //!< this process now holds the folder's lock
        kHeldByOther,  //!< another live process holds it; holder() names it
        kNoLockFile,   //!< the lock file cannot be made or locked (a folder that takes no
                       //!< file, a file system without locks): nothing is held
    };

    // Tries once, without waiting, to lock the folder ("." or empty: the working folder).
    Result acquire(const std::string& folder);
    // The process id of the other holder after kHeldByOther; 0 when its file holds none.
    pid_t holder() const { return holder_; }
    // Gives the lock up (also when the object goes).
    void release();

  private:
    int fd_ = -1;
    std::string path_;
    pid_t holder_ = 0;
};

}  // namespace conesim
