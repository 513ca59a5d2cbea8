#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "params/SimulationParameters.hpp"
#include "params/TextConversion.hpp"
#include "params/ValueAssigner.hpp"

namespace conesim {

namespace {

constexpr std::size_t kValueCount = 49;
constexpr std::size_t kMaxLineLength = 255;

// The value a line gives, or nothing (empty) for a comment, an empty line or a line with
// nothing left after its equals sign.
std::string lineValue(const std::string& line) {
    if (textContains(line, "//")) {
        return {};
    }
    const std::size_t equals = line.find('=');
    if (equals == std::string::npos) {
        return textContains(line, "END") ? "END" : std::string();
    }
    std::string value = line.substr(equals + 1);
    const std::size_t semicolon = value.find(';');
    if (semicolon != std::string::npos) {
        value.erase(semicolon);
    }
    std::string kept;
    for (char c : value) {
        if (c != ' ' && c != '\'' && c != '"') {
            kept += c;
        }
    }
    return kept;
}

// The start of an over-long line, enough to find it in an editor.
std::string lineStart(const std::string& line) {
    constexpr std::size_t kShown = 40;
    return line.size() <= kShown ? line : line.substr(0, kShown) + "...";
}

void assignFields(SimulationParameters& p, ValueAssigner& a) {
    a.unsignedInteger(p.preMaskSize);
    a.integer(p.preMaskPosition);
    a.real(p.preMaskScale);
    a.text(p.preMaskImageFile);
    a.real(p.apertureLrPif);
    a.real(p.apertureLrOffset);
    a.real(p.apertureUdPif);
    a.real(p.apertureUdOffset);
    a.real(p.sampleStart);
    a.unsignedInteger(p.sampleDimX);
    a.unsignedInteger(p.sampleDimY);
    a.unsignedInteger(p.sampleDimZ);
    a.real(p.sampleScaleX);
    a.real(p.sampleScaleY);
    a.real(p.sampleScaleZ);
    a.real(p.sampleValueScale);
    a.text(p.sampleFile);
    a.integer(p.edgeSearchAcross);
    a.integer(p.edgeSearchDepth);
    a.real(p.smoothingThreshold);
    a.unsignedInteger(p.postMaskSize);
    a.integer(p.postMaskPosition);
    a.real(p.postMaskScale);
    a.text(p.postMaskImageFile);
    a.unsignedInteger(p.detectorWidth);
    a.unsignedInteger(p.detectorHeight);
    a.truncatedReal(p.detectorPosition);
    a.real(p.detectorPixelSizeX);
    a.real(p.detectorPixelSizeY);
    a.flag(p.showAllPhotons);
    a.flag(p.ditherPhotons);
    a.integer(p.runMode);
    a.real(p.quantumEfficiency);
    a.real(p.detectorLrPif);
    a.real(p.detectorLrOffset);
    a.real(p.detectorUdPif);
    a.real(p.detectorUdOffset);
    a.text(p.spectrumFile);
    a.integer(p.photonsToRun);
    a.integer(p.reportEvery);
    a.integer(p.splashEvery);
    a.flag(p.countHitsOnly);
    a.real(p.sampleEnergy);
    a.text(p.outputFolder);
    a.text(p.progressPrefix);
    a.text(p.logFileName);
    a.text(p.finalPrefix);
    a.flag(p.keepTemporaryFiles);
    a.text(p.endCheckword);
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

    std::vector<std::string> values;
    values.reserve(kValueCount);
    std::string line;
    std::size_t lineNumber = 0;
    while (values.size() < kValueCount && std::getline(file, line)) {
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.size() > kMaxLineLength) {
            writeLine(console.out, "Parameter file " + path + ": line " +
                                       std::to_string(lineNumber) + " (\"" + lineStart(line) +
                                       "\") is longer than 255 characters.");
            resetToDefaults();
            return;
        }
        std::string value = lineValue(line);
        if (!value.empty()) {
            values.push_back(std::move(value));
        }
    }
    if (file.bad()) {
        writeLine(console.out, "Parameter file " + path + " could not be read.");
        resetToDefaults();
        return;
    }
    file.close();

    if (values.size() < kValueCount) {
        writeLine(console.out, "Paramater file " + path + " is too short.");
        const std::string last = values.empty() ? std::string() : values.back();
        writeLine(console.out,
                  "Last line (number " + std::to_string(values.size()) + ") was " + last + ".");
        resetToDefaults();
        return;
    }
    if (!textContains(values.back(), "END")) {
        writeLine(console.out, "Paramater file " + path + " is corrupt.");
        resetToDefaults();
        return;
    }
    ValueAssigner assigner(values);
    assignFields(*this, assigner);
    if (assigner.failed()) {
        writeLine(console.out, "Parameter file " + path + ": " + assigner.problem() + ".");
        resetToDefaults();
        return;
    }
    writeLine(console.out, "Parameter file loaded okay.");
    parameterFileLoaded = true;
    preMaskActive = true;
    postMaskActive = true;
    sampleActive = true;
}

}  // namespace conesim
