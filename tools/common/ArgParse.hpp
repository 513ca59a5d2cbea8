// Strict parsing of command-line words: whole-word numbers, comma-separated lists and
// "WxHxD" dimensions, and a cursor that walks the arguments and hands out option values.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "util/TextNumbers.hpp"

namespace conesim::tools {

// The whole-word number readers, ranges and quoting live in util; named here too.
using conesim::IntRange;
using conesim::parseDouble;
using conesim::parseInRange;
using conesim::parseInt64;
using conesim::rangeText;
using conesim::shortQuote;

// The comma-separated fields of text, empty fields included ("a,,b" gives three).
std::vector<std::string> splitList(std::string_view text, char separator = ',');
// Every field of a comma-separated list as a finite number; false at the first that is not.
bool parseNumberList(std::string_view text, std::vector<double>& out);
// "64x32x16" (or with 'X') into exactly count positive integers; false otherwise.
bool parseDimensions(std::string_view text, std::size_t count, std::vector<std::int64_t>& out);

// The range a decimal argument must lie in, both ends included, and how --help and the
// messages write it.
struct NumberRange {
    double low;
    double high;
    std::string_view text;  //!< "from -1e38 to 1e38"
};

// A whole-word number within range; false for anything else (not a number, beyond the
// range). out is set only on success.
bool parseInRange(std::string_view text, const NumberRange& range, double& out);

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
