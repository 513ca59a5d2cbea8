#include <string>
#include <vector>

#include "params/ParameterFileScan.hpp"
#include "params/ParameterTable.hpp"
#include "params/SimulationParameters.hpp"
#include "params/ValueAssigner.hpp"

namespace conesim {

namespace {

// The 48 defaults of the parameter table, as the texts a file would hold.
std::vector<ScannedValue> defaultTexts() {
    std::vector<ScannedValue> values;
    for (const ParameterInfo& info : parameterTable()) {
        values.push_back({std::string(info.defaultText), 0});
    }
    return values;
}

}  // namespace

ExtensionSettings extensionDefaults() {
    ExtensionSettings settings;
    for (const ParameterInfo& info : extensionTable()) {
        std::string unused;
        if (!info.defaultText.empty()) {
            assignExtension(info, std::string(info.defaultText), settings, unused);
        }
    }
    return settings;
}

// Every positional setting takes its table default, converted as the reader converts a
// file's value; the rest of the record is what a record holds before any file is read.
void SimulationParameters::resetToDefaults() {
    const std::vector<ScannedValue> texts = defaultTexts();
    ValueAssigner assigner(texts);
    for (const ParameterInfo& info : parameterTable()) {
        assigner.assign(*this, info);
    }
    endCheckword = "BAD";
    parameterFileName = "NONE";
    parameterFileLoaded = false;
    preMaskActive = true;
    postMaskActive = true;
    sampleActive = true;
    extensions = extensionDefaults();
    warnings.clear();
}

}  // namespace conesim
