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
// white space skipped, an optional sign, decimal digits; the rest is ignored.
NumberReading readInt(const std::string& text, std::int32_t& value);
// A single-precision real read the same way, with a decimal point and exponent accepted.
NumberReading readFloat(const std::string& text, float& value);

// The same readings, with nothing for a text that holds no number in range.
std::optional<std::int32_t> textToInt(const std::string& text);
std::optional<float> textToFloat(const std::string& text);

}  // namespace conesim
