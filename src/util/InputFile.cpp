#include "util/InputFile.hpp"

#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>

namespace conesim {
namespace {

constexpr int kWaitMilliseconds = 100;

}  // namespace

InputFileBuffer::~InputFileBuffer() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

bool InputFileBuffer::open(const std::string& path, const volatile std::sig_atomic_t* stop,
                           std::int64_t maxPipeBytes) {
    stop_ = stop;
    // Without O_NONBLOCK, opening a named pipe waits, unstoppably, for its writer.
    fd_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) {
        return false;
    }
    struct stat status {};
    if (::fstat(fd_, &status) != 0 || S_ISDIR(status.st_mode)) {
        ::close(fd_);
        fd_ = -1;
        return false;
    }
    remaining_ = S_ISREG(status.st_mode) ? -1 : maxPipeBytes;
    return true;
}

InputFileBuffer::int_type InputFileBuffer::underflow() {
    if (gptr() < egptr()) {
        return traits_type::to_int_type(*gptr());
    }
    if (fd_ < 0 || stopped_ || failed_) {
        return traits_type::eof();
    }
    if (remaining_ == 0) {
        cutShort_ = true;
        return traits_type::eof();
    }
    for (;;) {
        // A pipe that never had a writer reports nothing here (no hang-up), so the wait goes
        // on, a tenth of a second at a time, until a writer sends data or closes. Only a read
        // that waits looks at the stop flag: a file with data at hand is read regardless.
        pollfd ready{fd_, POLLIN, 0};
        const int events = ::poll(&ready, 1, kWaitMilliseconds);
        if (events == 0 || (events < 0 && errno == EINTR)) {
            if (stopFlagSet(stop_)) {
                stopped_ = true;
                return traits_type::eof();
            }
            continue;
        }
        std::size_t want = sizeof buffer_;
        if (remaining_ >= 0) {
            want = static_cast<std::size_t>(std::min<std::int64_t>(remaining_, sizeof buffer_));
        }
        const ssize_t got = ::read(fd_, buffer_, want);
        if (got > 0) {
            if (remaining_ >= 0) {
                remaining_ -= got;
            }
            setg(buffer_, buffer_, buffer_ + got);
            return traits_type::to_int_type(buffer_[0]);
        }
        if (got == 0) {
            return traits_type::eof();
        }
        if (errno != EAGAIN && errno != EINTR) {
            failed_ = true;
            return traits_type::eof();
        }
    }
}

}  // namespace conesim

namespace conesim {

StagedInput::~StagedInput() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

bool StagedInput::stage(const std::string& path, const volatile std::sig_atomic_t* stop,
                        std::int64_t maxBytes) {
    path_ = path;
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0 || S_ISREG(status.st_mode) || S_ISDIR(status.st_mode)) {
        return true;
    }
    InputFile in;
    if (!in.open(path, stop, maxBytes)) {
        return true;  // the reader finds it cannot be opened, as it would have
    }
    fd_ = ::memfd_create("conesim-input", MFD_CLOEXEC);
    if (fd_ < 0) {
        return false;
    }
    char chunk[1 << 16];
    while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
        const auto size = static_cast<std::size_t>(in.gcount());
        if (::write(fd_, chunk, size) != static_cast<ssize_t>(size)) {
            return false;
        }
    }
    stopped_ = in.state().stopped();
    cutShort_ = in.state().cutShort();
    path_ = "/proc/self/fd/" + std::to_string(fd_);
    return true;
}

}  // namespace conesim
