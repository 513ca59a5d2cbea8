#include "params/FaultExplanation.hpp"

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string_view>
#include <vector>

#include "params/ParameterTable.hpp"

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

// The reals among numbers that fail their check, for one shared requirement.
std::string realsSentence(const SimulationParameters& p, std::initializer_list<int> numbers,
                          const Check& passes, const std::string& requirement) {
    std::vector<std::string> failing;
    for (int number : numbers) {
        const float value =
            p.*std::get<float SimulationParameters::*>(findParameter(number)->field);
        if (!passes(static_cast<double>(value))) {
            failing.push_back(settingIs(number, realText(value, passes)));
        }
    }
    return sentence(failing, requirement);
}

std::string realRange(const SimulationParameters& p, int number, double low, double high) {
    return realsSentence(
        p, {number}, [low, high](double v) { return v >= low && v <= high; }, between(low, high));
}

std::string integerRange(const SimulationParameters& p, int number, double low, double high) {
    const std::int32_t value =
        p.*std::get<std::int32_t SimulationParameters::*>(findParameter(number)->field);
    return sentence({settingIs(number, std::to_string(value))}, between(low, high));
}

std::string sizeLimit(const SimulationParameters& p, std::initializer_list<int> numbers,
                      std::uint32_t limit) {
    std::vector<std::string> failing;
    for (int number : numbers) {
        const std::uint32_t value =
            p.*std::get<std::uint32_t SimulationParameters::*>(findParameter(number)->field);
        if (value > limit) {
            failing.push_back(settingIs(number, sizeText(value)));
        }
    }
    return sentence(failing, "be at most " + std::to_string(limit));
}

std::string scaleLimit(const SimulationParameters& p, std::initializer_list<int> numbers,
                       double high) {
    char requirement[64];
    std::snprintf(requirement, sizeof requirement, "be above 0 and at most %.10g", high);
    return realsSentence(
        p, numbers, [high](double v) { return v > 0.0 && v <= high; }, requirement);
}

// A window of a pixel: fraction pifNumber and offset pifNumber + 1.
std::string window(const SimulationParameters& p, int pifNumber) {
    const Check unit = [](double v) { return v >= 0.0 && v <= 1.0; };
    const float pif = p.*std::get<float SimulationParameters::*>(findParameter(pifNumber)->field);
    const float offset =
        p.*std::get<float SimulationParameters::*>(findParameter(pifNumber + 1)->field);
    if (!unit(pif) || !unit(offset)) {
        return realsSentence(p, {pifNumber, pifNumber + 1}, unit, between(0.0, 1.0));
    }
    const double sum = static_cast<double>(pif) + static_cast<double>(offset);
    const std::string shown = shortestText(static_cast<float>(sum));
    const std::string sumText = std::strtod(shown.c_str(), nullptr) <= 1.0
                                    ? exactText(sum) + " in single precision"
                                    : shown;
    const ParameterInfo& first = *findParameter(pifNumber);
    const ParameterInfo& second = *findParameter(pifNumber + 1);
    return "Settings " + std::to_string(pifNumber) + " (" + std::string(first.name) + ") and " +
           std::to_string(pifNumber + 1) + " (" + std::string(second.name) + ") are " +
           shortestText(pif) + " and " + shortestText(offset) + "; their sum, " + sumText +
           ", must not exceed 1.";
}

// A position that must lie between an earlier plane's position (or 0, when that is the
// higher bound) and 20000.
std::string ordered(int number, const std::string& valueText, int earlierNumber,
                    const std::string& earlierText, bool fromZero) {
    const std::string earlier = std::string(findParameter(earlierNumber)->name);
    return sentence({settingIs(number, valueText)},
                    fromZero ? "lie between 0 and 20000"
                             : "lie between " + earlier + " (" + earlierText + ") and 20000");
}

}  // namespace

std::string faultExplanation(const SimulationParameters& p, int faultCode) {
    switch (faultCode) {
        case 1:
            return sizeLimit(p, {1}, 10000U);
        case 2:
            return integerRange(p, 2, 0.0, 20000.0);
        case 3:
            return scaleLimit(p, {3}, 1000.0);
        case 4:
            return ordered(9, shortestText(p.sampleStart), 2, std::to_string(p.preMaskPosition),
                           p.preMaskPosition <= 0);
        case 5:
            return sizeLimit(p, {10, 11, 12}, 3000U);
        case 6:
            return scaleLimit(p, {13, 14, 15}, 10.0);
        case 7:
            return realRange(p, 16, 0.0, 2000.0);
        case 9:
            return integerRange(p, 18, 1.0, 30.0);
        case 10:
            return integerRange(p, 19, 1.0, 100.0);
        case 31:
            return realRange(p, 20, 1e-20, 1.0);
        case 33:
            return window(p, 5);
        case 34:
            return window(p, 7);
        case 11:
            return sizeLimit(p, {21}, 10000U);
        case 12:
            return ordered(22, std::to_string(p.postMaskPosition), 9, shortestText(p.sampleStart),
                           false);
        case 13:
            return scaleLimit(p, {23}, 1000.0);
        case 17:
            return sizeLimit(p, {25}, 50000U);
        case 18:
            return sizeLimit(p, {26}, 50000U);
        case 19:
            return ordered(27, std::to_string(p.detectorPosition), 22,
                           std::to_string(p.postMaskPosition), false);
        case 20:
            return realRange(p, 28, 1e-6, 10.0);
        case 21:
            return realRange(p, 29, 1e-6, 10.0);
        case 24:
            return sentence({settingIs(32, std::to_string(p.runMode))}, "be 3, 4 or 5");
        case 25:
            return realRange(p, 33, 0.0001, 1.0);
        case 35:
            return window(p, 34);
        case 36:
            return window(p, 36);
        case 26:
            return integerRange(p, 39, 10.0, 2000000000.0);
        case 27:
            return integerRange(p, 40, 1000.0, 2000000000.0);
        case 28:
            return integerRange(p, 41, 1000.0, 2000000000.0);
        case 29:
            return realRange(p, 43, 0.0, 20000.0);
        default:
            return {};
    }
}

}  // namespace conesim
