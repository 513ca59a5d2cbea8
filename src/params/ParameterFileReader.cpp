#include <sstream>
#include <string>
#include <variant>
#include <vector>

#include "params/ParameterFileScan.hpp"
#include "params/ParameterTable.hpp"
#include "params/SimulationParameters.hpp"
#include "params/TextConversion.hpp"
#include "params/ValueAssigner.hpp"
#include "util/XrayMaterial.hpp"

namespace conesim {

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
    const NumberReading reading = readWholeDouble(value, number);
    if (reading == NumberReading::kOutOfRange) {
        reason = "is outside " + std::string(kDoubleRangeText);
        return false;
    }
    if (reading != NumberReading::kOk) {
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

namespace {

// The settings of a material go together: a material needs its thickness and the length
// unit, a thickness its material, a materials file the length unit. False with the problem,
// on the line of the setting that needs another.
bool materialSettingsAgree(const std::vector<ScannedExtension>& lines, const ExtensionSettings& e,
                           std::string& problem) {
    auto lineOf = [&](std::string_view name) {
        for (const ScannedExtension& line : lines) {
            if (line.name == name) {
                return "line " + std::to_string(line.line) + ": extension setting \"" + line.name +
                       "\" (value \"" + line.value + "\") ";
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
    for (std::string_view name : {"sampleMaterials", "sampleScatterFile", "preMaskMaterial",
                                  "postMaskMaterial", "detectorMaterial"}) {
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

// Judges the extension settings one line at a time, as the scan reads them: the first that
// is refused (an unknown or repeated name, or a value that does not convert) ends the read
// at its line, so a long file of repeated settings is never read whole.
class ExtensionAssigner {
  public:
    explicit ExtensionAssigner(ExtensionSettings& extensions) : extensions_(extensions) {}

    bool operator()(const ScannedExtension& line) {
        const std::string where = "line " + std::to_string(line.line) + ": ";
        const std::string setting = "\"" + line.name + "\" (value \"" + line.value + "\")";
        const ParameterInfo* info = findParameter(line.name);
        if (info == nullptr || !info->isExtension()) {
            problem_ = where + "unknown extension setting " + setting;
            return false;
        }
        for (const ScannedExtension& earlier : seen_) {
            if (earlier.name == line.name) {
                problem_ = where + "extension setting " + setting +
                           " is given a second time (first on line " +
                           std::to_string(earlier.line) + ")";
                return false;
            }
        }
        std::string reason;
        if (!assignExtension(*info, line.value, extensions_, reason)) {
            problem_ = where + "extension setting " + setting + " " + reason;
            return false;
        }
        seen_.push_back(line);
        extensions_.given = true;
        return true;
    }
    // Once every line is in: whether the settings that go together are given together.
    bool agree() { return materialSettingsAgree(seen_, extensions_, problem_); }
    const std::string& problem() const { return problem_; }

  private:
    ExtensionSettings& extensions_;
    std::vector<ScannedExtension> seen_;  //!< the settings given, with their lines
    std::string problem_;
};

}  // namespace

void SimulationParameters::readFile(const std::string& path, Console& console,
                                    const volatile std::sig_atomic_t* stop) {
    parameterFileName = path;
    parameterFileLoaded = false;
    endCheckword = "BAD";

    InputFile file;
    if (!file.open(path, stop, kMaxPipedParameterBytes)) {
        writeLine(console.out, "Cannot access paramter file: " + path);
        resetToDefaults();
        return;
    }
    readStream(file, path, console, &file.state());
}

void SimulationParameters::readText(const std::string& text, const std::string& name,
                                    Console& console) {
    parameterFileName = name;
    parameterFileLoaded = false;
    endCheckword = "BAD";
    std::istringstream stream(text);
    readStream(stream, name, console);
}

void SimulationParameters::readStream(std::istream& in, const std::string& name, Console& console,
                                      const InputFileBuffer* source) {
    warnings.clear();
    extensions = extensionDefaults();
    ExtensionSettings readExtensions = extensionDefaults();
    ExtensionAssigner extensionAssigner(readExtensions);
    const ParameterFileScan scan = scanParameterFile(
        in, [&](const ScannedExtension& line) { return extensionAssigner(line); });
    const auto refuse = [&](const std::string& message) {
        writeLine(console.out, message);
        resetToDefaults();
    };
    if (source != nullptr && source->stopped()) {
        resetToDefaults();  // the caller says that the run was stopped
        return;
    }
    if (source != nullptr && source->cutShort()) {
        return refuse("Parameter file " + name + " is a pipe or device that gave more than " +
                      std::to_string(kMaxPipedParameterBytes) + " bytes; it is not read further.");
    }
    if (source != nullptr && source->failed()) {
        return refuse("Parameter file " + name + " could not be read.");
    }
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
        case ScanStatus::kRefusedExtension:
        case ScanStatus::kTooManyLines:
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
    if (scan.status == ScanStatus::kTooManyLines) {
        return refuse("Parameter file " + name + ": line " + std::to_string(scan.problemLine) +
                      " (\"" + scan.problemLineStart + "\") is line " +
                      std::to_string(kMaxExtensionLines + 1) + " after the END line; at most " +
                      std::to_string(kMaxExtensionLines) + " lines may follow it.");
    }
    if (scan.status == ScanStatus::kRefusedExtension || !extensionAssigner.agree()) {
        return refuse("Parameter file " + name + ": " + extensionAssigner.problem() + ".");
    }
    extensions = readExtensions;
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
