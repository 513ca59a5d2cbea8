// Strict reading of numbers written as text (whole words only, no leading space or trailing
// characters), the ranges they must lie in, and the quoting of a text in a message.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace conesim {

// True when the whole of text is a decimal integer that fits; out is then set.
bool parseInt64(std::string_view text, std::int64_t& out);
// The same for an unsigned number: digits only, no sign.
bool parseUint64(std::string_view text, std::uint64_t& out);
// True when the whole of text is a finite decimal number; out is then set.
bool parseDouble(std::string_view text, double& out);

// The range a whole number must lie in, both ends included, and how messages write it
// ("from 1 to 10000").
struct IntRange {
    std::int64_t low;
    std::int64_t high;
};
std::string rangeText(const IntRange& range);

// A whole-word number within range; false for anything else (not a number, beyond the
// range, beyond what the type holds). out is set only on success.
bool parseInRange(std::string_view text, const IntRange& range, std::int64_t& out);

// text between single quotes for a message; a long text is cut to its first 40 characters
// followed by "...", so that no message repeats a whole oversized argument or input.
std::string shortQuote(std::string_view text);

}  // namespace conesim
