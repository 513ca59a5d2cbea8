// Where the answer to the interrupt question comes from: standard input in the program (a
// file descriptor, waited on with poll so that a stop signal ends the wait), any std::istream
// in tests.
#pragma once

#include <csignal>
#include <istream>
#include <string>

namespace conesim {

class AnswerSource {
  public:
    enum class Result {
        kWord,        //!< a word was read
        kEndOfInput,  //!< the input has ended (or failed); no answer can come
        kStopped,     //!< a stop was requested while waiting
    };
    virtual ~AnswerSource() = default;
    // The next word, as `std::cin >> word` reads it: white space before it is skipped, and it
    // ends at white space or at the end of the input. Returns kStopped as soon as stop (when
    // given) becomes non-zero while no word is complete.
    virtual Result nextWord(std::string& word, const volatile std::sig_atomic_t* stop) = 0;
};

// Words from a stream; the stream never waits, so a stop is only seen before reading.
class StreamAnswers : public AnswerSource {
  public:
    explicit StreamAnswers(std::istream& in) : in_(in) {}
    Result nextWord(std::string& word, const volatile std::sig_atomic_t* stop) override;

  private:
    std::istream& in_;
};

// Words from a file descriptor (standard input). Waits with poll() in steps of
// kStopPollMilliseconds and looks at the stop flag after each. What is read beyond a word
// stays for the next question, as it would in a stream.
class DescriptorAnswers : public AnswerSource {
  public:
    static constexpr int kStopPollMilliseconds = 100;
    // Stored characters of a word; a longer word is read to its end but kept to this length
    // (it can never be a confirming answer of at most two characters).
    static constexpr std::size_t kLongestWord = 64;

    explicit DescriptorAnswers(int fd) : fd_(fd) {}
    Result nextWord(std::string& word, const volatile std::sig_atomic_t* stop) override;

  private:
    // Reads more input into pending_; false at the end of the input (or on an error) and
    // when a stop is requested (stopped set).
    bool fill(const volatile std::sig_atomic_t* stop, bool& stopped);

    int fd_;
    std::string pending_;
    std::size_t next_ = 0;
    bool ended_ = false;
};

}  // namespace conesim
