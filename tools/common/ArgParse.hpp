// Strict parsing of command-line words: whole-word numbers, comma-separated lists and
// "WxHxD" dimensions, and a cursor that walks the arguments and hands out option values.
#pragma once

#include <cstdint>
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

// Walks argv[1 ..]; an option that takes a value reads it with takeValue.
class ArgCursor {
  public:
    ArgCursor(int argc, char** argv) : argc_(argc), argv_(argv) {}

    bool done() const { return index_ >= argc_; }
    // The next argument; the cursor moves past it.
    std::string next() { return argv_[index_++]; }
    // The value of the option just read: false when the arguments end there.
    bool takeValue(std::string& value) {
        if (done()) {
            return false;
        }
        value = next();
        return true;
    }

  private:
    int argc_;
    char** argv_;
    int index_ = 1;
};

}  // namespace conesim::tools
