#include "params/ParameterFileScan.hpp"

#include "util/BoundedRead.hpp"

namespace conesim {

namespace {

bool holds(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

bool isNameCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// The start of a line, enough to find it in an editor.
std::string lineStart(const std::string& line) {
    constexpr std::size_t kShown = 40;
    return line.size() <= kShown ? line : line.substr(0, kShown) + "...";
}

}  // namespace

bool valueRegion(std::string_view line, std::size_t& begin, std::size_t& end) {
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) {
        return false;
    }
    begin = equals + 1;
    const std::size_t semicolon = line.find(';', begin);
    end = semicolon == std::string_view::npos ? line.size() : semicolon;
    return true;
}

std::string positionalLineValue(std::string_view line) {
    if (holds(line, "//")) {
        return {};
    }
    std::size_t begin = 0;
    std::size_t end = 0;
    if (!valueRegion(line, begin, end)) {
        return holds(line, "END") ? "END" : std::string();
    }
    std::string kept;
    for (char c : line.substr(begin, end - begin)) {
        if (c != ' ' && c != '\'' && c != '"') {
            kept += c;
        }
    }
    return kept;
}

ExtensionLineKind parseExtensionLine(std::string_view line, std::string& name, std::string& value) {
    const std::string_view content = trimmed(line);
    if (content.empty() || content.starts_with("//")) {
        return ExtensionLineKind::kNothing;
    }
    std::size_t begin = 0;
    std::size_t end = 0;
    if (!valueRegion(line, begin, end)) {
        return ExtensionLineKind::kMalformed;
    }
    const std::string_view nameText = trimmed(line.substr(0, begin - 1));
    const std::string_view valueText = trimmed(line.substr(begin, end - begin));
    if (nameText.empty() || valueText.empty()) {
        return ExtensionLineKind::kMalformed;
    }
    for (char c : nameText) {
        if (!isNameCharacter(c)) {
            return ExtensionLineKind::kMalformed;
        }
    }
    name = nameText;
    value = valueText;
    return ExtensionLineKind::kSetting;
}

ParameterFileScan scanParameterFile(std::istream& in, const ExtensionCheck& check) {
    ParameterFileScan scan;
    scan.values.reserve(kParameterValueCount);
    std::string line;
    std::size_t lineNumber = 0;
    bool afterEnd = false;
    std::size_t linesAfterEnd = 0;
    while (true) {
        const BoundedReadResult read = readBoundedLine(in, line, kMaxParameterLineLength);
        if (read == BoundedReadResult::kEnd) {
            break;
        }
        ++lineNumber;
        if (read == BoundedReadResult::kTooLong) {
            scan.status = ScanStatus::kLineTooLong;
            scan.problemLine = lineNumber;
            scan.problemLineStart = lineStart(line);
            return scan;
        }
        if (afterEnd) {
            const auto stop = [&](ScanStatus status) {
                scan.status = status;
                scan.problemLine = lineNumber;
                scan.problemLineStart = lineStart(line);
                return scan;
            };
            if (++linesAfterEnd > kMaxExtensionLines) {
                return stop(ScanStatus::kTooManyLines);
            }
            ScannedExtension setting{{}, {}, lineNumber};
            const ExtensionLineKind kind = parseExtensionLine(line, setting.name, setting.value);
            if (kind == ExtensionLineKind::kMalformed) {
                return stop(ScanStatus::kMalformedExtension);
            }
            if (kind == ExtensionLineKind::kSetting) {
                if (check && !check(setting)) {
                    return stop(ScanStatus::kRefusedExtension);
                }
                scan.extensions.push_back(std::move(setting));
            }
            continue;
        }
        std::string value = positionalLineValue(line);
        if (value.empty()) {
            continue;
        }
        scan.values.push_back({std::move(value), lineNumber});
        if (scan.values.size() == kParameterValueCount) {
            if (!holds(scan.values.back().text, "END")) {
                scan.status = ScanStatus::kNoEndCheckword;
                return scan;
            }
            afterEnd = true;
        }
    }
    if (in.bad()) {
        scan.status = ScanStatus::kReadError;
    } else {
        scan.status = afterEnd ? ScanStatus::kComplete : ScanStatus::kTooShort;
    }
    return scan;
}

}  // namespace conesim
