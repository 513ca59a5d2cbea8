// Small text helpers of the parameter file reader.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace conesim {

// Whether part occurs anywhere in text.
bool textContains(const std::string& text, const std::string& part);

// Outcome of reading a number from the start of a text.
enum class NumberReading {
    kOk,          //!< a number was read
    kNotANumber,  //!< the text holds no number at its start
    kOutOfRange,  //!< the number lies outside the range of the target type
};

// An integer read from the start of the text as formatted stream input reads it: leading
// white space skipped, an optional sign, decimal digits; the rest is ignored. When
// trailingText is given, it tells whether anything but white space followed the number.
NumberReading readInt(const std::string& text, std::int32_t& value, bool* trailingText = nullptr);
// A single-precision real read the same way, with a decimal point and exponent accepted.
NumberReading readFloat(const std::string& text, float& value, bool* trailingText = nullptr);
// A double-precision real that is the whole text ("+" allowed in front, no blanks), finite;
// kOutOfRange for a number too large or too small in magnitude (other than 0) for a double.
NumberReading readWholeDouble(const std::string& text, double& value);

// The ranges the out-of-range messages name.
inline constexpr const char* kIntegerRangeText =
    "the range of a 32-bit signed integer, -2147483648 to 2147483647";
inline constexpr const char* kFloatRangeText =
    "the range of a single-precision real, -3.40282e+38 to 3.40282e+38";
inline constexpr const char* kDoubleRangeText =
    "the range of a double-precision real, whose magnitudes other than 0 lie between "
    "2.22507e-308 and 1.79769e+308";

// The same readings, with nothing for a text that holds no number in range.
std::optional<std::int32_t> textToInt(const std::string& text);
std::optional<float> textToFloat(const std::string& text);

}  // namespace conesim
