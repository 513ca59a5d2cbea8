#include "params/ParamsCommands.hpp"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include "params/ParameterFileScan.hpp"
#include "params/ParameterTable.hpp"
#include "util/OutputTarget.hpp"

namespace conesim::tools {

namespace {

constexpr std::size_t kMaxFileBytes = std::size_t{64} << 20;

// Pads text with blanks to width characters (at least one blank follows it).
std::string column(std::string_view text, std::size_t width) {
    std::string padded(text);
    padded += std::string(padded.size() < width ? width - padded.size() : 1, ' ');
    return padded;
}

std::string displayUnit(std::string_view unit) {
    return unit.empty() ? "-" : std::string(unit);
}

}  // namespace

bool readParameterFileText(const std::string& path, std::string& text, std::string& error) {
    // Only a regular file is read: a named pipe would wait for a writer, and a device such
    // as /dev/zero holds no parameter file.
    std::error_code ignored;
    const std::string kind = nonRegularKind(path);
    if (!kind.empty() && kind != "a folder") {
        error = "Parameter file " + path + " is " + kind + ", not a regular file; it is not read.";
        return false;
    }
    std::ifstream file;
    if (!std::filesystem::is_directory(path, ignored)) {
        file.open(path, std::ios::binary);
    }
    if (!file.is_open()) {
        error = "Cannot access paramter file: " + path;
        return false;
    }
    text.clear();
    // One character beyond the limit may be the carriage return of a CR LF line end.
    const std::size_t longestLine = kMaxParameterLineLength + 1;
    std::size_t lineLength = 0;
    char buffer[4096];
    while (file) {
        file.read(buffer, sizeof buffer);
        const auto count = static_cast<std::size_t>(file.gcount());
        for (std::size_t i = 0; i < count; ++i) {
            text += buffer[i];
            lineLength = buffer[i] == '\n' ? 0 : lineLength + 1;
            if (lineLength > longestLine) {
                return true;  // the reader refuses this line; nothing after it matters
            }
        }
        if (text.size() > kMaxFileBytes) {
            error = "Parameter file " + path + " holds more than 64 MiB; it is not read.";
            return false;
        }
    }
    if (file.bad()) {
        error = "Parameter file " + path + " could not be read.";
        return false;
    }
    return true;
}

void writeExplanation(std::ostream& out, const std::string& fileText) {
    std::istringstream in(fileText);
    const ParameterFileScan scan = scanParameterFile(in);
    out << "  #  line  " << column("setting", 22) << column("value", 16) << column("unit", 16)
        << "meaning\n";
    for (std::size_t i = 0; i < scan.values.size(); ++i) {
        const ScannedValue& value = scan.values[i];
        const ParameterInfo* info = findParameter(static_cast<int>(i + 1));
        char numbers[32];
        std::snprintf(numbers, sizeof numbers, "%3zu %5zu  ", i + 1, value.line);
        out << numbers;
        if (info != nullptr) {
            out << column(info->name, 22) << column(value.text, 16)
                << column(displayUnit(info->unit), 16) << info->meaning << "\n";
        } else {
            out << column("end checkword", 22) << column(value.text, 16) << column("-", 16)
                << "must contain END\n";
        }
    }
    if (scan.values.size() < kParameterValueCount) {
        out << "(the file gives " << scan.values.size() << " of its " << kParameterValueCount
            << " values)\n";
    }
    out << "\nExtension settings (after the END line):\n";
    for (const ParameterInfo& info : extensionTable()) {
        std::string shown = std::string(info.defaultText) + " (default)";
        for (const ScannedExtension& given : scan.extensions) {
            if (given.name == info.name) {
                shown = given.value + " (line " + std::to_string(given.line) + ")";
                break;
            }
        }
        out << "           " << column(info.name, 22) << column(shown, 16)
            << column(displayUnit(info.unit), 16) << info.meaning << "\n";
    }
    for (const ScannedExtension& given : scan.extensions) {
        const ParameterInfo* info = findParameter(given.name);
        if (info == nullptr || !info->isExtension()) {
            out << "           " << column(given.name, 22)
                << column(given.value + " (line " + std::to_string(given.line) + ")", 16)
                << column("-", 16) << "not an extension setting\n";
        }
    }
    out << "\n";
}

std::string newParameterFileText() {
    std::string text =
        "// conesim parameter file written by conesim-params new.\n"
        "// Values are read by position: 48 settings, then the END checkword. The labels before\n"
        "// '=' are for the reader only. Lines holding two slashes are comments.\n"
        "// The values below are sensible examples, not the program's record defaults (which\n"
        "// do not pass validation); each comment gives the default. \"length\" is the length\n"
        "// unit of the set-up, here 0.1 mm. The mask images named here do not exist yet, which\n"
        "// switches both masks off (with a warning) until conesim-mask writes them.\n";
    for (const ParameterInfo& info : parameterTable()) {
        text += "// " + std::to_string(info.number) + " " + std::string(info.name);
        if (!info.unit.empty()) {
            text += " (" + std::string(info.unit) + ")";
        }
        text += ": " + std::string(info.meaning) + ".";
        if (!info.range.empty()) {
            text += " Passes when " + std::string(info.range) + " (fault " +
                    std::to_string(info.fault) + ").";
        }
        text += " Default " + std::string(info.defaultText) + ".\n";
        text += std::string(info.name) + " = " + std::string(info.exampleText) + "\n";
    }
    text += "END\n";
    text +=
        "// Extension settings, read by name after the END line (remove the slashes to use "
        "one):\n";
    for (const ParameterInfo& info : extensionTable()) {
        text += "// " + std::string(info.name) + " = " + std::string(info.exampleText) + " ; ";
        if (!info.unit.empty()) {
            text += std::string(info.unit) + "; ";
        }
        text += std::string(info.meaning) + "; " + std::string(info.range) + ", default " +
                std::string(info.defaultText) + "\n";
    }
    return text;
}

}  // namespace conesim::tools
