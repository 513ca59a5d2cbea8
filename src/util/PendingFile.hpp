// An output file that appears under its name only once it is complete: it is written under
// a temporary name beside the final one and renamed when the caller commits it. A file not
// committed (a refusal or a failed write) is removed, so no partial output is ever left.
#pragma once

#include <fstream>
#include <string>

namespace conesim {

class PendingFile {
  public:
    explicit PendingFile(std::string path);
    ~PendingFile();
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    const std::string& path() const { return path_; }
    // Where the content is to be written until commit.
    const std::string& temporaryPath() const { return temporaryPath_; }
    // Renames the temporary file to the final name; false (with error set) when that fails.
    bool commit(std::string& error);
    // Opens the temporary file for binary output; false with "cannot create <path>".
    bool open(std::ofstream& file, std::string& error) const;
    // Closes file, checking that everything reached it, and commits; false (with error
    // set) when either fails.
    bool finish(std::ofstream& file, std::string& error);

  private:
    std::string path_;
    std::string temporaryPath_;
    bool committed_ = false;
};

}  // namespace conesim
