// Small text helpers of the parameter file reader.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace conesim {

// Whether part occurs anywhere in text.
bool textContains(const std::string& text, const std::string& part);

// An integer read from the start of the text as formatted stream input reads it: leading
// white space skipped, an optional sign, decimal digits; the rest is ignored. Nothing when
// the text holds no number at its start or the number lies outside the 32-bit signed range.
std::optional<std::int32_t> textToInt(const std::string& text);

// A single-precision real read the same way, with a decimal point and exponent accepted.
// Nothing when the text holds no number at its start or it lies outside the float range.
std::optional<float> textToFloat(const std::string& text);

}  // namespace conesim
