// The run log: a file in the output folder to which every run appends one record (header with
// the command and start time, the run's messages, trailer with the end time).
#pragma once

#include <ctime>
#include <ostream>
#include <streambuf>
#include <string>
#include <vector>

namespace conesim {

// Local date and time as asctime writes it, with its own newline.
std::string asctimeText(std::time_t when);

void writeRunLogHeader(std::ostream& log, const std::vector<std::string>& args,
                       const std::string& runName, std::time_t start);
void writeRunLogTrailer(std::ostream& log, const std::string& runName, std::time_t end);

// A stream buffer that gathers everything written to it and hands it to the file descriptor
// in one write() call at each flush, so that a line (or a block flushed at once, such as the
// header and parameter summary) on a descriptor opened for appending lands whole, however many
// runs append to the same file at the same time.
class AppendingBuffer : public std::streambuf {
  public:
    explicit AppendingBuffer(int fd) : fd_(fd) {}

    void setDescriptor(int fd) { fd_ = fd; }

    // Whether every flush so far reached the file completely.
    bool good() const { return good_; }

  protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* text, std::streamsize count) override;
    int sync() override;

  private:
    int fd_;
    std::string pending_;
    bool good_ = true;
};

// The run log file, opened for appending. Lines reach the file only when flushed (writeLine
// does), each flush in one write() call.
class RunLogFile : public std::ostream {
  public:
    RunLogFile();
    ~RunLogFile() override;
    RunLogFile(const RunLogFile&) = delete;
    RunLogFile& operator=(const RunLogFile&) = delete;

    // Opens (creating it when missing) path for appending; false when it cannot be opened,
    // for example when its folder is missing or not writable. A named pipe without a reader
    // is refused rather than waited for.
    bool open(const std::string& path);
    bool is_open() const { return fd_ >= 0; }
    // Flushes and closes; sets failbit when any part of the record did not reach the file.
    void close();

  private:
    int fd_ = -1;
    AppendingBuffer buffer_{-1};
};

}  // namespace conesim
