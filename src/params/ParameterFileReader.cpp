#include <sstream>
#include <string>
#include <vector>

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
                extensions.*std::get<PhotonEnergyMode ExtensionSettings::*>(info.field) =
                    static_cast<PhotonEnergyMode>(i);
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
        for (const auto& [name, number] : seen_) {
            if (name == line.name) {
                problem_ = where + "extension setting " + setting +
                           " is given a second time (first on line " + std::to_string(number) + ")";
                return false;
            }
        }
        std::string reason;
        if (!assignExtension(*info, line.value, extensions_, reason)) {
            problem_ = where + "extension setting " + setting + " " + reason;
            return false;
        }
        seen_.emplace_back(line.name, line.line);
        extensions_.given = true;
        return true;
    }
    const std::string& problem() const { return problem_; }

  private:
    ExtensionSettings& extensions_;
    std::vector<std::pair<std::string, std::size_t>> seen_;  //!< names given, with their lines
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
    extensions = ExtensionSettings{};
    ExtensionSettings readExtensions;
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
    if (scan.status == ScanStatus::kRefusedExtension) {
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
