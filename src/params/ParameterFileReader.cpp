#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <variant>
#include <vector>

#include "input/XrayMaterial.hpp"
#include "params/ParameterFileScan.hpp"
#include "params/ParameterTable.hpp"
#include "params/SimulationParameters.hpp"
#include "params/TextConversion.hpp"
#include "params/ValueAssigner.hpp"

namespace conesim {

namespace {

// Converts one extension setting into its field; false with the reason otherwise.
bool assignExtension(const ParameterInfo& info, const std::string& value,
                     ExtensionSettings& extensions, std::string& reason) {
    if (info.kind == ParameterKind::kWord) {
        const std::span<const std::string_view> words = parameterWords(info);
        for (std::size_t i = 0; i < words.size(); ++i) {
            if (value == words[i]) {
                std::visit(
                    [&](auto member) {
                        using Member = decltype(member);
                        if constexpr (std::is_same_v<Member,
                                                     PhotonEnergyMode ExtensionSettings::*>) {
                            extensions.*member = static_cast<PhotonEnergyMode>(i);
                        } else if constexpr (std::is_same_v<Member,
                                                            DeflectionModel ExtensionSettings::*>) {
                            extensions.*member = static_cast<DeflectionModel>(i);
                        }
                    },
                    info.field);
                return true;
            }
        }
        std::string list;
        for (std::string_view word : words) {
            list += (list.empty() ? "" : ", ") + std::string(word);
        }
        reason = "is not one of " + list;
        return false;
    }
    if (info.kind == ParameterKind::kText) {
        extensions.*std::get<std::string ExtensionSettings::*>(info.field) = value;
        return true;
    }
    if (info.kind == ParameterKind::kMaterial) {
        XrayMaterial material;
        if (!parseMaterial(value, material, reason)) {
            return false;
        }
        extensions.*std::get<std::string ExtensionSettings::*>(info.field) = value;
        return true;
    }
    if (info.kind == ParameterKind::kFlag) {
        if (value != "0" && value != "1") {
            reason = "is not 0 or 1";
            return false;
        }
        extensions.*std::get<bool ExtensionSettings::*>(info.field) = value == "1";
        return true;
    }
    double number = 0.0;
    if (!readWholeDouble(value, number)) {
        reason = "is not a number";
        return false;
    }
    if (number < info.minimum || number > info.maximum) {
        reason = "is outside its range, " + std::string(info.range);
        return false;
    }
    extensions.*std::get<double ExtensionSettings::*>(info.field) = number;
    return true;
}

// The settings of a material go together: a material needs its thickness and the length
// unit, a thickness its material, a materials file the length unit. False with the problem,
// on the line of the setting that needs another.
bool materialSettingsAgree(const std::vector<const ScannedExtension*>& lines,
                           const ExtensionSettings& e, std::string& problem) {
    auto lineOf = [&](std::string_view name) {
        for (const ScannedExtension* line : lines) {
            if (line->name == name) {
                return "line " + std::to_string(line->line) + ": extension setting \"" +
                       line->name + "\" (value \"" + line->value + "\") ";
            }
        }
        return std::string();
    };
    struct Pair {
        std::string_view material;
        std::string_view thickness;
        const std::string& text;
        double value;
    };
    const Pair pairs[] = {
        {"preMaskMaterial", "preMaskThickness", e.preMaskMaterial, e.preMaskThickness},
        {"postMaskMaterial", "postMaskThickness", e.postMaskMaterial, e.postMaskThickness},
        {"detectorMaterial", "detectorThickness", e.detectorMaterial, e.detectorThickness}};
    for (const Pair& pair : pairs) {
        if (!pair.text.empty() && pair.value <= 0.0) {
            problem = lineOf(pair.material) + "needs " + std::string(pair.thickness) +
                      " above 0 (length units)";
            return false;
        }
        if (pair.text.empty() && pair.value > 0.0) {
            problem = lineOf(pair.thickness) + "needs " + std::string(pair.material);
            return false;
        }
    }
    for (std::string_view name :
         {"sampleMaterials", "preMaskMaterial", "postMaskMaterial", "detectorMaterial"}) {
        const std::string& text =
            e.*std::get<std::string ExtensionSettings::*>(findParameter(name)->field);
        if (!text.empty() && e.lengthUnitMm <= 0.0) {
            problem =
                lineOf(name) + "needs lengthUnitMm, the millimetres of one length unit, above 0";
            return false;
        }
    }
    return true;
}

// Every extension setting of the file into the record; false with the problem of the first
// line that is refused (an unknown or repeated name, or a value that does not convert).
bool assignExtensions(const std::vector<ScannedExtension>& lines, ExtensionSettings& extensions,
                      std::string& problem) {
    std::vector<const ScannedExtension*> seen;
    for (const ScannedExtension& line : lines) {
        const std::string where = "line " + std::to_string(line.line) + ": ";
        const std::string setting = "\"" + line.name + "\" (value \"" + line.value + "\")";
        const ParameterInfo* info = findParameter(line.name);
        if (info == nullptr || !info->isExtension()) {
            problem = where + "unknown extension setting " + setting;
            return false;
        }
        for (const ScannedExtension* earlier : seen) {
            if (earlier->name == line.name) {
                problem = where + "extension setting " + setting +
                          " is given a second time (first on line " +
                          std::to_string(earlier->line) + ")";
                return false;
            }
        }
        std::string reason;
        if (!assignExtension(*info, line.value, extensions, reason)) {
            problem = where + "extension setting " + setting + " " + reason;
            return false;
        }
        seen.push_back(&line);
    }
    extensions.given = !lines.empty();
    return materialSettingsAgree(seen, extensions, problem);
}

}  // namespace

void SimulationParameters::readFile(const std::string& path, Console& console) {
    parameterFileName = path;
    parameterFileLoaded = false;
    endCheckword = "BAD";

    std::error_code ignored;
    std::ifstream file;
    if (!std::filesystem::is_directory(path, ignored)) {
        file.open(path);
    }
    if (!file.is_open()) {
        writeLine(console.out, "Cannot access paramter file: " + path);
        resetToDefaults();
        return;
    }
    readStream(file, path, console);
}

void SimulationParameters::readText(const std::string& text, const std::string& name,
                                    Console& console) {
    parameterFileName = name;
    parameterFileLoaded = false;
    endCheckword = "BAD";
    std::istringstream stream(text);
    readStream(stream, name, console);
}

void SimulationParameters::readStream(std::istream& in, const std::string& name, Console& console) {
    warnings.clear();
    extensions = ExtensionSettings{};
    const ParameterFileScan scan = scanParameterFile(in);
    const auto refuse = [&](const std::string& message) {
        writeLine(console.out, message);
        resetToDefaults();
    };
    switch (scan.status) {
        case ScanStatus::kLineTooLong:
            return refuse("Parameter file " + name + ": line " + std::to_string(scan.problemLine) +
                          " (\"" + scan.problemLineStart + "\") is longer than 255 characters.");
        case ScanStatus::kReadError:
            return refuse("Parameter file " + name + " could not be read.");
        case ScanStatus::kTooShort: {
            const std::string last = scan.values.empty() ? std::string() : scan.values.back().text;
            return refuse("Paramater file " + name + " is too short.\nLast line (number " +
                          std::to_string(scan.values.size()) + ") was " + last + ".");
        }
        case ScanStatus::kNoEndCheckword:
            return refuse("Paramater file " + name + " is corrupt.");
        case ScanStatus::kMalformedExtension:
        case ScanStatus::kComplete:
            break;
    }
    ValueAssigner assigner(scan.values);
    for (const ParameterInfo& info : parameterTable()) {
        assigner.assign(*this, info);
    }
    assigner.text(endCheckword);
    if (assigner.failed()) {
        return refuse("Parameter file " + name + ": " + assigner.problem() + ".");
    }
    if (scan.status == ScanStatus::kMalformedExtension) {
        return refuse("Parameter file " + name + ": line " + std::to_string(scan.problemLine) +
                      " (\"" + scan.problemLineStart +
                      "\") is not an extension setting \"name = value\".");
    }
    std::string problem;
    if (!assignExtensions(scan.extensions, extensions, problem)) {
        return refuse("Parameter file " + name + ": " + problem + ".");
    }
    for (const std::string& note : assigner.trailingTextNotes()) {
        warnings.push_back("WARNING: Parameter file " + name + ": " + note + ".");
        writeLine(console.out, warnings.back());
    }
    writeLine(console.out, "Parameter file loaded okay.");
    parameterFileLoaded = true;
    preMaskActive = true;
    postMaskActive = true;
    sampleActive = true;
}

}  // namespace conesim
