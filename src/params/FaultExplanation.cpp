#include "params/FaultExplanation.hpp"

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string_view>
#include <vector>

#include "params/ParameterTable.hpp"
#include "params/SettingRelations.hpp"

namespace conesim {

namespace {

// The shortest text that reads back as the same single-precision number.
std::string shortestText(float value) {
    char buffer[32];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general);
    return std::string(buffer, result.ptr);
}

// Nine significant digits: enough to tell a single-precision number from its neighbours.
std::string exactText(double value) {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.9g", value);
    return buffer;
}

using Check = std::function<bool(double)>;  // true when a value passes

double valueOf(const SimulationParameters& p, int number) {
    return numericValue(p, *findParameter(number));
}

// "Setting N (name) is V", for the positional setting number.
std::string settingIs(int number, const std::string& valueText) {
    const ParameterInfo& info = *findParameter(number);
    return "setting " + std::to_string(number) + " (" + std::string(info.name) + ") is " +
           valueText;
}

// A real as the reader stored it; when its decimal text would pass the check that the
// stored single-precision number fails, the stored number follows.
std::string realText(float value, const Check& passes) {
    const std::string shown = shortestText(value);
    if (!passes(static_cast<double>(value)) && passes(std::strtod(shown.c_str(), nullptr))) {
        return shown + " (in single precision " + exactText(value) + ")";
    }
    return shown;
}

// An unsigned size that came from a negative number says so.
std::string sizeText(std::uint32_t value) {
    std::string text = std::to_string(value);
    if (value > 2147483647U) {
        text += " (" + std::to_string(static_cast<std::int32_t>(value)) +
                " read as an unsigned number)";
    }
    return text;
}

std::string capitalised(std::string text) {
    if (!text.empty() && text[0] >= 'a' && text[0] <= 'z') {
        text[0] = static_cast<char>(text[0] - 'a' + 'A');
    }
    return text;
}

// "Setting A (a) is x; it must ..." for one failing setting, "Setting A (a) is x and
// setting B (b) is y; each must ..." for several.
std::string sentence(const std::vector<std::string>& failing, const std::string& requirement) {
    std::string text;
    for (std::size_t i = 0; i < failing.size(); ++i) {
        text += (i == 0 ? "" : " and ") + failing[i];
    }
    return capitalised(text) + (failing.size() > 1 ? "; each must " : "; it must ") + requirement +
           ".";
}

std::string between(double low, double high) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "lie between %.10g and %.10g", low, high);
    return buffer;
}

// What a setting's range rule asks of its value.
std::string requirement(const ParameterInfo& info) {
    char buffer[64];
    switch (info.rule) {
        case RangeRule::kAboveZero:
            std::snprintf(buffer, sizeof buffer, "be above 0 and at most %.10g", info.maximum);
            return buffer;
        case RangeRule::kAtMost:
            return "be at most " + std::to_string(static_cast<std::uint32_t>(info.maximum));
        case RangeRule::kOneOf:
            return "be " + std::string(info.range);
        case RangeRule::kBetween:
        case RangeRule::kNone:
            break;
    }
    return between(info.minimum, info.maximum);
}

// The value as the reader stored it: a real with its single-precision note where needed, a
// size read from a negative number saying so.
std::string valueText(const SimulationParameters& p, const ParameterInfo& info) {
    if (const auto* real = std::get_if<float SimulationParameters::*>(&info.field)) {
        return realText(p.**real, [&info](double v) { return withinRange(info, v); });
    }
    if (const auto* size = std::get_if<std::uint32_t SimulationParameters::*>(&info.field)) {
        return sizeText(p.**size);
    }
    return std::to_string(static_cast<std::int64_t>(numericValue(p, info)));
}

// The value of a plane's position as the explanation of an order names it.
std::string positionText(const SimulationParameters& p, int number) {
    const ParameterInfo& info = *findParameter(number);
    if (const auto* real = std::get_if<float SimulationParameters::*>(&info.field)) {
        return shortestText(p.**real);
    }
    return std::to_string(static_cast<std::int64_t>(numericValue(p, info)));
}

// The settings of one fault code that fail their own range, in one sentence.
std::string rangeSentence(const SimulationParameters& p, int faultCode) {
    std::vector<std::string> failing;
    const ParameterInfo* first = nullptr;
    for (const ParameterInfo& info : parameterTable()) {
        if (info.fault == faultCode && !withinRange(info, numericValue(p, info))) {
            failing.push_back(settingIs(info.number, valueText(p, info)));
            first = first == nullptr ? &info : first;
        }
    }
    return first == nullptr ? std::string() : sentence(failing, requirement(*first));
}

// A position that must lie between an earlier plane's position (or its own lowest value,
// when that is the higher bound) and its highest.
std::string after(const SimulationParameters& p, const SettingRelation& relation) {
    const ParameterInfo& info = *findParameter(relation.first);
    const ParameterInfo& earlier = *findParameter(relation.second);
    const bool fromOwnMinimum =
        info.rule == RangeRule::kBetween && valueOf(p, relation.second) <= info.minimum;
    char high[32];
    std::snprintf(high, sizeof high, "%.10g", info.maximum);
    return sentence({settingIs(relation.first, positionText(p, relation.first))},
                    fromOwnMinimum ? between(info.minimum, info.maximum)
                                   : "lie between " + std::string(earlier.name) + " (" +
                                         positionText(p, relation.second) + ") and " + high);
}

// A window of a pixel and its offset: each within its range, then their sum at most 1.
std::string withinOne(const SimulationParameters& p, const SettingRelation& relation) {
    std::string ranges = rangeSentence(p, relation.fault);
    if (!ranges.empty()) {
        return ranges;
    }
    const double pif = valueOf(p, relation.first);
    const double offset = valueOf(p, relation.second);
    const double sum = pif + offset;
    const std::string shown = shortestText(static_cast<float>(sum));
    const std::string sumText = std::strtod(shown.c_str(), nullptr) <= 1.0
                                    ? exactText(sum) + " in single precision"
                                    : shown;
    const ParameterInfo& first = *findParameter(relation.first);
    const ParameterInfo& second = *findParameter(relation.second);
    return "Settings " + std::to_string(relation.first) + " (" + std::string(first.name) +
           ") and " + std::to_string(relation.second) + " (" + std::string(second.name) + ") are " +
           shortestText(static_cast<float>(pif)) + " and " +
           shortestText(static_cast<float>(offset)) + "; their sum, " + sumText +
           ", must not exceed 1.";
}

}  // namespace

std::string faultExplanation(const SimulationParameters& p, int faultCode) {
    for (const SettingRelation& relation : kSettingRelations) {
        if (relation.fault == faultCode) {
            return relation.kind == RelationKind::kAfter ? after(p, relation)
                                                         : withinOne(p, relation);
        }
    }
    return rangeSentence(p, faultCode);
}

}  // namespace conesim
