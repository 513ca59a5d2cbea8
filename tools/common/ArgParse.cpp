#include "common/ArgParse.hpp"

#include <cstdlib>

namespace conesim::tools {

bool parseInRange(std::string_view text, const NumberRange& range, double& out) {
    double value = 0.0;
    if (!parseDouble(text, value) || !(value >= range.low && value <= range.high)) {
        return false;
    }
    out = value;
    return true;
}

std::string notWholeNumber(std::string_view what, std::string_view text, const IntRange& range) {
    return std::string(what) + " " + shortQuote(text) + " is not a whole number " +
           rangeText(range);
}

std::string notNumber(std::string_view what, std::string_view text, const NumberRange& range) {
    return std::string(what) + " " + shortQuote(text) + " is not a number " +
           std::string(range.text);
}

std::vector<std::string> splitList(std::string_view text, char separator) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = text.find(separator, start);
        if (end == std::string_view::npos) {
            fields.emplace_back(text.substr(start));
            return fields;
        }
        fields.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
}

bool parseNumberList(std::string_view text, std::vector<double>& out) {
    out.clear();
    for (const std::string& field : splitList(text)) {
        double value = 0.0;
        if (!parseDouble(field, value)) {
            return false;
        }
        out.push_back(value);
    }
    return true;
}

bool parseDimensions(std::string_view text, std::size_t count, std::vector<std::int64_t>& out) {
    std::string lowered(text);
    for (char& c : lowered) {
        if (c == 'X') {
            c = 'x';
        }
    }
    const std::vector<std::string> fields = splitList(lowered, 'x');
    if (fields.size() != count) {
        return false;
    }
    std::vector<std::int64_t> values;
    for (const std::string& field : fields) {
        std::int64_t value = 0;
        if (!parseInt64(field, value) || value <= 0) {
            return false;
        }
        values.push_back(value);
    }
    out = values;
    return true;
}

}  // namespace conesim::tools
