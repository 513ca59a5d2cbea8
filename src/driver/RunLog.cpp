#include "driver/RunLog.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "util/Console.hpp"

namespace conesim {

namespace {
const std::string kRule(63, '/');
}

std::string asctimeText(std::time_t when) {
    std::tm local{};
    if (localtime_r(&when, &local) == nullptr) {
        return "\n";
    }
    char text[64];
    if (asctime_r(&local, text) == nullptr) {
        return "\n";
    }
    return text;
}

void writeRunLogHeader(std::ostream& log, const std::vector<std::string>& args,
                       const std::string& runName, std::time_t start) {
    // Not flushed: the header reaches the file together with what follows it (the
    // parameter summary), as one block.
    log << kRule << "\n";
    log << "Logged command:\n";
    for (const std::string& word : args) {
        log << word << " ";
    }
    log << "\n------------\n";
    log << "Run number " << runName << " started at:\n" << asctimeText(start);
}

void writeRunLogTrailer(std::ostream& log, const std::string& runName, std::time_t end) {
    log << "------------\nRun number " << runName << " finished at:\n" << asctimeText(end);
    log << kRule << "\n";
    log << std::endl;
}

AppendingBuffer::int_type AppendingBuffer::overflow(int_type c) {
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
        pending_ += traits_type::to_char_type(c);
    }
    return traits_type::not_eof(c);
}

std::streamsize AppendingBuffer::xsputn(const char* text, std::streamsize count) {
    pending_.append(text, static_cast<std::size_t>(count));
    return count;
}

int AppendingBuffer::sync() {
    std::size_t done = 0;
    // One call writes the whole block; a regular file takes it at once unless it is full.
    // The loop only finishes what an interrupted or partial write left.
    while (done < pending_.size()) {
        const ssize_t written = ::write(fd_, pending_.data() + done, pending_.size() - done);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            good_ = false;
            break;
        }
        done += static_cast<std::size_t>(written);
    }
    pending_.clear();
    return good_ ? 0 : -1;
}

RunLogFile::RunLogFile() : std::ostream(nullptr) {
    rdbuf(&buffer_);
}

RunLogFile::~RunLogFile() {
    close();
}

bool RunLogFile::open(const std::string& path) {
    // O_NONBLOCK only for the open itself: a named pipe without a reader fails at once.
    fd_ = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0666);
    if (fd_ < 0) {
        return false;
    }
    const int flags = ::fcntl(fd_, F_GETFL);
    if (flags < 0 || ::fcntl(fd_, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        ::close(fd_);
        fd_ = -1;
        return false;
    }
    buffer_.setDescriptor(fd_);
    clear();
    return true;
}

void RunLogFile::close() {
    if (fd_ < 0) {
        return;
    }
    flush();
    bool closed = ::close(fd_) == 0;
    fd_ = -1;
    if (!closed || !buffer_.good()) {
        setstate(std::ios::failbit);
    }
}

}  // namespace conesim
