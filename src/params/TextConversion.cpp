#include "params/TextConversion.hpp"

#include <charconv>
#include <cmath>
#include <limits>
#include <locale>
#include <sstream>

namespace conesim {

bool textContains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

namespace {

// Formatted extraction in the classic locale. A failed extraction leaves 0 when no number
// stood at the start and the extreme of the type when the number was out of its range.
template <typename Number>
NumberReading readNumber(const std::string& text, Number& value, bool* trailingText) {
    std::istringstream stream(text);
    stream.imbue(std::locale::classic());
    Number read{};
    stream >> read;
    if (!stream.fail()) {
        value = read;
        if (trailingText != nullptr) {
            stream >> std::ws;
            *trailingText = !stream.eof();
        }
        return NumberReading::kOk;
    }
    const bool extreme =
        read == std::numeric_limits<Number>::max() || read == std::numeric_limits<Number>::lowest();
    return extreme ? NumberReading::kOutOfRange : NumberReading::kNotANumber;
}

}  // namespace

NumberReading readInt(const std::string& text, std::int32_t& value, bool* trailingText) {
    return readNumber(text, value, trailingText);
}

NumberReading readFloat(const std::string& text, float& value, bool* trailingText) {
    return readNumber(text, value, trailingText);
}

NumberReading readWholeDouble(const std::string& text, double& value) {
    const char* first = text.data();
    const char* last = text.data() + text.size();
    if (first != last && *first == '+') {
        ++first;
        if (first != last && *first == '-') {
            return NumberReading::kNotANumber;
        }
    }
    double read = 0.0;
    const auto [end, error] = std::from_chars(first, last, read, std::chars_format::general);
    if (first == last || end != last) {
        return NumberReading::kNotANumber;
    }
    if (error == std::errc::result_out_of_range) {
        return NumberReading::kOutOfRange;
    }
    if (error != std::errc() || !std::isfinite(read)) {
        return NumberReading::kNotANumber;
    }
    value = read;
    return NumberReading::kOk;
}

std::optional<std::int32_t> textToInt(const std::string& text) {
    std::int32_t value = 0;
    if (readInt(text, value) != NumberReading::kOk) {
        return std::nullopt;
    }
    return value;
}

std::optional<float> textToFloat(const std::string& text) {
    float value = 0.0F;
    if (readFloat(text, value) != NumberReading::kOk) {
        return std::nullopt;
    }
    return value;
}

}  // namespace conesim
