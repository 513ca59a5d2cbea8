#include "driver/AnswerSource.hpp"

#include <poll.h>
#include <unistd.h>

#include <cerrno>

namespace conesim {

namespace {

bool stopRequested(const volatile std::sig_atomic_t* stop) {
    return stop != nullptr && *stop != 0;
}

// White space as the stream extraction of a word sees it in the C locale.
bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

AnswerSource::Result StreamAnswers::nextWord(std::string& word,
                                             const volatile std::sig_atomic_t* stop) {
    word.clear();
    if (stopRequested(stop)) {
        return Result::kStopped;
    }
    if (!(in_ >> word)) {
        in_.clear();
        word.clear();
        return Result::kEndOfInput;
    }
    return Result::kWord;
}

bool DescriptorAnswers::fill(const volatile std::sig_atomic_t* stop, bool& stopped) {
    if (ended_) {
        return false;
    }
    for (;;) {
        if (stopRequested(stop)) {
            stopped = true;
            return false;
        }
        pollfd waiting{fd_, POLLIN, 0};
        const int ready = ::poll(&waiting, 1, kStopPollMilliseconds);
        if (ready < 0 && errno != EINTR) {
            ended_ = true;
            return false;
        }
        if (ready <= 0) {
            continue;  // a signal or the time step: look at the stop flag again
        }
        if ((waiting.revents & POLLNVAL) != 0) {
            ended_ = true;  // no such descriptor: standard input is closed
            return false;
        }
        char chunk[4096];
        const ssize_t count = ::read(fd_, chunk, sizeof chunk);
        if (count < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) {
            continue;
        }
        if (count <= 0) {
            ended_ = true;
            return false;
        }
        pending_.erase(0, next_);
        next_ = 0;
        pending_.append(chunk, static_cast<std::size_t>(count));
        return true;
    }
}

AnswerSource::Result DescriptorAnswers::nextWord(std::string& word,
                                                 const volatile std::sig_atomic_t* stop) {
    word.clear();
    bool inWord = false;
    for (;;) {
        while (next_ < pending_.size()) {
            const char c = pending_[next_];
            if (isSpace(c)) {
                if (inWord) {
                    return Result::kWord;  // the white space after it stays for the next word
                }
            } else {
                inWord = true;
                if (word.size() < kLongestWord) {
                    word += c;
                }
            }
            ++next_;
        }
        bool stopped = false;
        if (!fill(stop, stopped)) {
            if (stopped) {
                word.clear();
                return Result::kStopped;
            }
            return inWord ? Result::kWord : Result::kEndOfInput;
        }
    }
}

}  // namespace conesim
