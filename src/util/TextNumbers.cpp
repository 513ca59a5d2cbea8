#include "util/TextNumbers.hpp"

#include <charconv>
#include <cmath>

namespace conesim {

namespace {

// The number that fills the whole of text, as std::from_chars reads T; false for an empty
// text, a text with anything after the number, or a number beyond T. out is set only on
// success.
template <typename T>
bool fromWholeText(std::string_view text, T& out) {
    T value{};
    const char* last = text.data() + text.size();
    const auto result = std::from_chars(text.data(), last, value);
    if (text.empty() || result.ec != std::errc() || result.ptr != last) {
        return false;
    }
    out = value;
    return true;
}

std::string_view withoutPlus(std::string_view text) {
    return !text.empty() && text.front() == '+' ? text.substr(1) : text;
}

}  // namespace

bool parseInt64(std::string_view text, std::int64_t& out) {
    return fromWholeText(withoutPlus(text), out);
}

bool parseUint64(std::string_view text, std::uint64_t& out) {
    return fromWholeText(text, out);
}

bool parseDouble(std::string_view text, double& out) {
    double value = 0.0;
    if (!fromWholeText(withoutPlus(text), value) || !std::isfinite(value)) {
        return false;
    }
    out = value;
    return true;
}

std::string rangeText(const IntRange& range) {
    return "from " + std::to_string(range.low) + " to " + std::to_string(range.high);
}

bool parseInRange(std::string_view text, const IntRange& range, std::int64_t& out) {
    std::int64_t value = 0;
    if (!parseInt64(text, value) || value < range.low || value > range.high) {
        return false;
    }
    out = value;
    return true;
}

std::string shortQuote(std::string_view text) {
    constexpr std::size_t kLongest = 40;
    const bool cut = text.size() > kLongest;
    std::string result;
    result.reserve(kLongest + 5);
    result.push_back('\'');
    result.append(text.substr(0, kLongest));
    if (cut) {
        result.append("...");
    }
    result.push_back('\'');
    return result;
}

}  // namespace conesim
