// Strict parsing of command-line words: whole-word numbers, comma-separated lists and
// "WxHxD" dimensions, and a cursor that walks the arguments and hands out option values.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace conesim::tools {

// True when the whole of text is a decimal integer that fits; out is then set.
bool parseInt64(std::string_view text, std::int64_t& out);
// True when the whole of text is a finite decimal number; out is then set.
bool parseDouble(std::string_view text, double& out);
// The comma-separated fields of text, empty fields included ("a,,b" gives three).
std::vector<std::string> splitList(std::string_view text, char separator = ',');
// Every field of a comma-separated list as a finite number; false at the first that is not.
bool parseNumberList(std::string_view text, std::vector<double>& out);
// "64x32x16" (or with 'X') into exactly count positive integers; false otherwise.
bool parseDimensions(std::string_view text, std::size_t count, std::vector<std::int64_t>& out);

// The range a numeric argument must lie in, both ends included, and how --help and the
// messages write it ("from 1 to 10000").
struct IntRange {
    std::int64_t low;
    std::int64_t high;
};
struct NumberRange {
    double low;
    double high;
    std::string_view text;  //!< "from -1e38 to 1e38"
};
std::string rangeText(const IntRange& range);

// A whole-word number within range; false for anything else (not a number, beyond the
// range, beyond what the type holds). out is set only on success.
bool parseInRange(std::string_view text, const IntRange& range, std::int64_t& out);
bool parseInRange(std::string_view text, const NumberRange& range, double& out);

// text between single quotes for a message; a long text is cut to its first 40 characters
// followed by "...", so that no message repeats a whole oversized argument or input.
std::string shortQuote(std::string_view text);

// "<what> 'TEXT' is not a whole number from LOW to HIGH" and its decimal counterpart, with
// what an option ("--size") or a field ("--grating '8,3,x': the offset").
std::string notWholeNumber(std::string_view what, std::string_view text, const IntRange& range);
std::string notNumber(std::string_view what, std::string_view text, const NumberRange& range);

// Walks argv[1 ..]; an option that takes a value reads it with takeValue, from the next
// argument ("--size 8") or from the option's own word ("--size=8"). A value given with "="
// to an option that takes none comes back whole from the following next() ("--force=1"),
// so that the tool names it as an argument it does not know.
class ArgCursor {
  public:
    ArgCursor(int argc, char** argv) : argc_(argc), argv_(argv) {}

    bool done() const { return index_ >= argc_ && !inlineValue_; }
    // The next argument; the cursor moves past it.
    std::string next() {
        if (inlineValue_) {
            inlineValue_.reset();
            return inlineWord_;
        }
        std::string word = argv_[index_++];
        const std::size_t equals = word.find('=');
        if (word.rfind("--", 0) == 0 && word.size() > 2 && equals != std::string::npos &&
            equals > 2) {
            inlineWord_ = word;
            inlineValue_ = word.substr(equals + 1);
            word.resize(equals);
        }
        return word;
    }
    // The value of the option just read: false when the arguments end there.
    bool takeValue(std::string& value) {
        if (inlineValue_) {
            value = *inlineValue_;
            inlineValue_.reset();
            return true;
        }
        if (index_ >= argc_) {
            return false;
        }
        value = argv_[index_++];
        return true;
    }

  private:
    int argc_;
    char** argv_;
    int index_ = 1;
    std::optional<std::string> inlineValue_;  //!< "--name=VALUE": VALUE, not yet taken
    std::string inlineWord_;                  //!< that option's whole word
};

}  // namespace conesim::tools
