// An output file that appears under its name only once it is complete: it is written under
// a temporary name beside the final one and renamed when the caller commits it. A file not
// committed (a refusal or a failed write) is removed, so no partial output is ever left.
//
// A name that is a symbolic link is written through: the temporary file goes beside the file
// the link finally leads to, and the commit replaces that file, so the link stays a link. A
// name that exists and is not a regular file (a device, a named pipe, a folder) is refused
// before anything is written, and again at the commit, so that it is never replaced.
#pragma once

#include <fstream>
#include <initializer_list>
#include <span>
#include <string>

namespace conesim {

class PendingFile {
  public:
    explicit PendingFile(std::string path);
    ~PendingFile();
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    const std::string& path() const { return path_; }
    // The file the commit replaces: path, or the name its symbolic links lead to.
    const std::string& targetPath() const { return targetPath_; }
    // Where the content is to be written until commit (beside targetPath).
    const std::string& temporaryPath() const { return temporaryPath_; }
    // Whether the output may be written: false (with error set) when path's links cannot be
    // followed or lead to something that exists and is not a regular file.
    bool check(std::string& error) const;
    // Checks, then renames the temporary file to the final name; false (with error set) when
    // either fails.
    bool commit(std::string& error);
    // Checks, then creates the temporary file new and empty (createNewFile), so that nothing
    // planted under its name can redirect the write; false with the check's refusal or the
    // creation's error. For writers that open temporaryPath() themselves.
    bool create(std::string& error) const;
    // create, then opens the temporary file for binary output; false with create's error or
    // "cannot create <path>".
    bool open(std::ofstream& file, std::string& error) const;
    // Closes file, checking that everything reached it, and commits; false (with error
    // set) when either fails.
    bool finish(std::ofstream& file, std::string& error);
    // Removes what a commit published; for files that must appear together or not at all.
    void withdraw();

  private:
    std::string path_;
    std::string targetPath_;
    std::string temporaryPath_;
    bool committed_ = false;
};

// Checks every file, then commits them in order. When a check or a commit fails, nothing is
// renamed after it and the files already published are withdrawn again, so that the set
// (say an image and the header describing it) appears whole or not at all.
bool commitTogether(std::span<PendingFile* const> files, std::string& error);
inline bool commitTogether(std::initializer_list<PendingFile*> files, std::string& error) {
    return commitTogether(std::span<PendingFile* const>(files.begin(), files.size()), error);
}

}  // namespace conesim
