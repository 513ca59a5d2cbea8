#include "util/TextNumbers.hpp"

#include <charconv>
#include <cmath>

namespace conesim {

bool parseInt64(std::string_view text, std::int64_t& out) {
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
    }
    if (text.empty()) {
        return false;
    }
    std::int64_t value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size()) {
        return false;
    }
    out = value;
    return true;
}

bool parseDouble(std::string_view text, double& out) {
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
    }
    if (text.empty()) {
        return false;
    }
    double value = 0.0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size() ||
        !std::isfinite(value)) {
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
