// What replacing an existing file by an edited copy must keep: the file's mode (and its
// owner and group where the user may set them), the user's right to write it, and the edits
// of others replacing the same file at the same time.
#pragma once

#include <string>

namespace conesim::tools {

// False (error naming path) when target, the file path leads to, exists and the user may
// not write it: for root, whom permissions do not stop, a file without any write
// permission bit counts as read-only too.
bool replaceable(const std::string& path, const std::string& target, std::string& error);

// Gives temporaryPath target's permission bits and, as far as the user may set them, its
// owner and group. Nothing happens when target does not exist; false (error set) when the
// mode cannot be set.
bool keepModeAndOwner(const std::string& target, const std::string& temporaryPath,
                      std::string& error);

// An exclusive lock on the file an edit replaces, held from before the file is read until
// the edited copy has been renamed over it and the lock is destroyed: concurrent edits of
// one file then follow each other, and none works on a text another is replacing.
class ReplacementLock {
  public:
    ReplacementLock() = default;
    ~ReplacementLock();
    ReplacementLock(const ReplacementLock&) = delete;
    ReplacementLock& operator=(const ReplacementLock&) = delete;

    // Waits for the lock on target (a regular file or nothing: a missing file needs none).
    // A file replaced while waiting is locked anew, so the lock always holds the file that
    // stands under the name. False (error set) when target cannot be opened.
    bool acquire(const std::string& target, std::string& error);

  private:
    int fd_ = -1;
};

}  // namespace conesim::tools
