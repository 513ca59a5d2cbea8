// An input file (parameter file, mask image, spectrum) read so that a named pipe or device
// can never hold the run: the file is opened without waiting for a pipe's writer, every wait
// for data lasts at most a tenth of a second before the stop flag is looked at again, so a
// stop signal ends a blocked read, and a pipe or device gives at most a fixed number of
// bytes, so an endless one cannot be read forever. Regular files are read whole, as usual.
#pragma once

#include <csignal>
#include <cstdint>
#include <istream>
#include <streambuf>
#include <string>

namespace conesim {

class InputFileBuffer : public std::streambuf {
  public:
    InputFileBuffer() = default;
    ~InputFileBuffer() override;
    InputFileBuffer(const InputFileBuffer&) = delete;
    InputFileBuffer& operator=(const InputFileBuffer&) = delete;

    // False when path cannot be opened or is a folder. stop may be null.
    bool open(const std::string& path, const volatile std::sig_atomic_t* stop,
              std::int64_t maxPipeBytes);
    bool isOpen() const { return fd_ >= 0; }
    bool stopped() const { return stopped_; }    //!< a stop request ended the read
    bool cutShort() const { return cutShort_; }  //!< a pipe or device gave its byte limit
    bool failed() const { return failed_; }      //!< the system reported a read error

  protected:
    int_type underflow() override;

  private:
    int fd_ = -1;
    const volatile std::sig_atomic_t* stop_ = nullptr;
    std::int64_t remaining_ = -1;  //!< bytes a pipe or device may still give; -1: no limit
    bool stopped_ = false;
    bool cutShort_ = false;
    bool failed_ = false;
    char buffer_[1 << 16];
};

// The buffer as an input stream; it ends (eof) when the file, the limit or a stop ends it.
class InputFile : public std::istream {
  public:
    InputFile() : std::istream(&buffer_) {}
    bool open(const std::string& path, const volatile std::sig_atomic_t* stop,
              std::int64_t maxPipeBytes) {
        return buffer_.open(path, stop, maxPipeBytes);
    }
    bool is_open() const { return buffer_.isOpen(); }
    const InputFileBuffer& state() const { return buffer_; }

  private:
    InputFileBuffer buffer_;
};

// Whether a stop was requested through flag (which may be null).
inline bool stopFlagSet(const volatile std::sig_atomic_t* flag) {
    return flag != nullptr && *flag != 0;
}

}  // namespace conesim

namespace conesim {

// A named pipe or device read whole, as it comes, into an anonymous file in memory, for a
// reader that opens its input by name and would otherwise wait for the pipe unstoppably.
class StagedInput {
  public:
    StagedInput() = default;
    ~StagedInput();
    StagedInput(const StagedInput&) = delete;
    StagedInput& operator=(const StagedInput&) = delete;

    // Reads path when it is a named pipe or device (at most maxBytes of it; stop may be
    // null); any other path (a regular file, a folder, a missing name) is left to the
    // reader as it is. False when the in-memory copy cannot be made.
    bool stage(const std::string& path, const volatile std::sig_atomic_t* stop,
               std::int64_t maxBytes);
    // Where the reader finds the input: path itself, or the in-memory copy.
    const std::string& path() const { return path_; }
    bool stopped() const { return stopped_; }    //!< a stop request ended the read
    bool cutShort() const { return cutShort_; }  //!< the pipe gave more than maxBytes

  private:
    std::string path_;
    int fd_ = -1;
    bool stopped_ = false;
    bool cutShort_ = false;
};

}  // namespace conesim
