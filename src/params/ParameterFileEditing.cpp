#include "params/ParameterFileEditing.hpp"

#include <map>
#include <sstream>

#include "params/FaultExplanation.hpp"
#include "params/ParameterFileScan.hpp"
#include "params/ParameterTable.hpp"
#include "params/SimulationParameters.hpp"
#include "params/TextConversion.hpp"

namespace conesim {

namespace {

struct Line {
    std::string content;  //!< without its line end
    std::string ending;   //!< "\n", "\r\n" or "" for a last line without one
};

std::vector<Line> splitLines(const std::string& text) {
    std::vector<Line> lines;
    std::size_t position = 0;
    while (position < text.size()) {
        const std::size_t newline = text.find('\n', position);
        if (newline == std::string::npos) {
            lines.push_back({text.substr(position), ""});
            break;
        }
        Line line{text.substr(position, newline - position), "\n"};
        if (!line.content.empty() && line.content.back() == '\r') {
            line.content.pop_back();
            line.ending = "\r\n";
        }
        lines.push_back(std::move(line));
        position = newline + 1;
    }
    return lines;
}

// Where each value and extension setting of the file stands.
struct FileLayout {
    std::vector<std::size_t> valueLines;            //!< line index of values 1, 2, ...
    std::map<std::string, std::size_t> extensions;  //!< first line index of each name
    std::size_t insertAfter = 0;  //!< the END line, or the last extension setting after it
    bool complete = false;        //!< all 49 values, the last holding END
};

FileLayout layoutOf(const std::vector<Line>& lines) {
    FileLayout layout;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (layout.complete) {
            std::string name;
            std::string value;
            if (parseExtensionLine(lines[i].content, name, value) == ExtensionLineKind::kSetting) {
                layout.extensions.emplace(name, i);
                layout.insertAfter = i;
            }
            continue;
        }
        const std::string value = positionalLineValue(lines[i].content);
        if (value.empty()) {
            continue;
        }
        layout.valueLines.push_back(i);
        if (layout.valueLines.size() == kParameterValueCount) {
            if (value.find("END") == std::string::npos) {
                break;
            }
            layout.complete = true;
            layout.insertAfter = i;
        }
    }
    return layout;
}

// A value the reader gives back exactly as written: no characters that it removes or that
// end the value, the line or the setting.
bool writableValue(const std::string& value) {
    if (value.empty() || value.find("//") != std::string::npos) {
        return false;
    }
    for (char c : value) {
        const auto code = static_cast<unsigned char>(c);
        if (code < 0x20 || code == 0x7F || c == ' ' || c == '\'' || c == '"' || c == ';') {
            return false;
        }
    }
    return true;
}

// Whether a number of the setting's kind is followed by other characters, which the
// program would read past without a refusal.
bool numberWithTrailingText(const ParameterInfo& info, const std::string& value) {
    bool trailing = false;
    switch (info.kind) {
        case ParameterKind::kInteger:
        case ParameterKind::kUnsignedInteger:
        case ParameterKind::kFlag: {
            std::int32_t number = 0;
            return readInt(value, number, &trailing) == NumberReading::kOk && trailing;
        }
        case ParameterKind::kReal:
        case ParameterKind::kTruncatedReal: {
            if (info.isExtension()) {
                return false;
            }
            float number = 0.0F;
            return readFloat(value, number, &trailing) == NumberReading::kOk && trailing;
        }
        case ParameterKind::kText:
        case ParameterKind::kWord:
        case ParameterKind::kMaterial:
            return false;
    }
    return false;
}

bool isBlank(char c, bool tabs) {
    return c == ' ' || (tabs && c == '\t');
}

// Puts value in place of the line's value text, keeping the blanks around it (and the
// tabs, for an extension setting, whose value the reader trims of both).
void replaceValue(std::string& content, const std::string& value, bool tabs) {
    std::size_t begin = 0;
    std::size_t end = 0;
    valueRegion(content, begin, end);
    while (begin < end && isBlank(content[begin], tabs)) {
        ++begin;
    }
    while (end > begin && isBlank(content[end - 1], tabs)) {
        --end;
    }
    if (begin == end) {
        // Nothing but blanks: the value goes right after the equals sign's blanks.
        content.insert(begin, value);
        return;
    }
    content.replace(begin, end - begin, value);
}

std::string lineEndingOf(const std::vector<Line>& lines, std::size_t preferred) {
    if (!lines[preferred].ending.empty()) {
        return lines[preferred].ending;
    }
    for (const Line& line : lines) {
        if (!line.ending.empty()) {
            return line.ending;
        }
    }
    return "\n";
}

std::string oneLine(std::string text) {
    while (!text.empty() && text.back() == '\n') {
        text.pop_back();
    }
    for (char& c : text) {
        if (c == '\n') {
            c = ' ';
        }
    }
    return text;
}

}  // namespace

bool checkParameterText(const std::string& fileText, const std::string& fileName,
                        std::string& error) {
    SimulationParameters parameters;
    return checkParameterText(fileText, fileName, error, parameters);
}

bool checkParameterText(const std::string& fileText, const std::string& fileName,
                        std::string& error, SimulationParameters& parameters) {
    std::ostringstream messages;
    std::istringstream noInput;
    Console console{messages, noInput};
    parameters.readText(fileText, fileName, console);
    if (!parameters.parameterFileLoaded) {
        error = oneLine(messages.str());
        return false;
    }
    const int fault = parameters.faultCode();
    if (fault != 0) {
        error = "Parameter file not sensible. Fault code (See README): " + std::to_string(fault) +
                ". " + faultExplanation(parameters, fault);
        return false;
    }
    return true;
}

bool setParameterValues(const std::string& fileText,
                        const std::vector<std::pair<std::string, std::string>>& assignments,
                        std::string& result, std::string& error, const std::string& fileName) {
    std::vector<Line> lines = splitLines(fileText);
    FileLayout layout = layoutOf(lines);
    for (const auto& [name, value] : assignments) {
        const ParameterInfo* info = findParameter(name);
        if (info == nullptr) {
            error = "unknown setting \"" + name + "\"";
            return false;
        }
        if (!writableValue(value)) {
            error = "the value \"" + value + "\" of " + name +
                    " cannot be written in a parameter file (it is empty or holds a blank, a "
                    "quote, a semicolon, two slashes or a control character)";
            return false;
        }
        if (numberWithTrailingText(*info, value)) {
            error = "the value \"" + value + "\" of " + name +
                    " has characters after its number, which the program would ignore";
            return false;
        }
        if (!info->isExtension()) {
            const auto position = static_cast<std::size_t>(info->number);
            if (layout.valueLines.size() < position) {
                if (!checkParameterText(fileText, fileName, error)) {
                    return false;
                }
                error = "value " + std::to_string(position) + " (" + name + ") was not found";
                return false;
            }
            Line& line = lines[layout.valueLines[position - 1]];
            if (line.content.find('=') == std::string::npos) {
                error = "value " + std::to_string(position) + " (" + name + ") is given by line " +
                        std::to_string(layout.valueLines[position - 1] + 1) +
                        ", which holds no \"=\"; it cannot be replaced";
                return false;
            }
            replaceValue(line.content, value, false);
            continue;
        }
        if (!layout.complete) {
            if (!checkParameterText(fileText, fileName, error)) {
                return false;
            }
            error = "the file has no END line to put " + name + " after";
            return false;
        }
        const auto found = layout.extensions.find(name);
        if (found != layout.extensions.end()) {
            replaceValue(lines[found->second].content, value, true);
            continue;
        }
        const std::string ending = lineEndingOf(lines, layout.insertAfter);
        if (lines[layout.insertAfter].ending.empty()) {
            lines[layout.insertAfter].ending = ending;
        }
        const std::size_t at = layout.insertAfter + 1;
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at),
                     Line{name + " = " + value, ending});
        layout = layoutOf(lines);
    }
    std::string edited;
    edited.reserve(fileText.size() + 64);
    for (const Line& line : lines) {
        edited += line.content;
        edited += line.ending;
    }
    if (!checkParameterText(edited, fileName, error)) {
        return false;
    }
    result = std::move(edited);
    return true;
}

}  // namespace conesim
