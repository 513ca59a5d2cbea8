#include "input/SampleMaterials.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>
#include <sstream>
#include <string_view>

namespace conesim {
namespace {

// The words of one line up to a "#": blank-separated, or in double quotes.
bool splitWords(const std::string& line, std::vector<std::string>& words, std::string& reason) {
    std::size_t i = 0;
    while (i < line.size()) {
        const char c = line[i];
        if (c == '#') {
            break;
        }
        if (c == ' ' || c == '\t' || c == '\r') {
            ++i;
            continue;
        }
        if (c == '"') {
            const std::size_t close = line.find('"', i + 1);
            if (close == std::string::npos) {
                reason = "the quoted compound " + line.substr(i) + " has no closing quote";
                return false;
            }
            words.push_back(line.substr(i + 1, close - i - 1));
            i = close + 1;
            continue;
        }
        const std::size_t end = line.find_first_of(" \t\r#", i);
        const std::size_t stop = end == std::string::npos ? line.size() : end;
        words.push_back(line.substr(i, stop - i));
        i = stop;
    }
    return true;
}

template <typename T>
bool wholeNumber(const std::string& text, T& value) {
    const char* end = text.data() + text.size();
    const auto [ptr, status] = std::from_chars(text.data(), end, value);
    return status == std::errc() && ptr == end;
}

// One material line; false with the reason (naming the value) when it is refused.
bool parseLine(const std::vector<std::string>& words, SampleMaterial& entry, std::string& reason) {
    if (words.size() < 3) {
        reason = "expected LABEL DENSITY COMPOUND, found " + std::to_string(words.size()) +
                 (words.size() == 1 ? " word" : " words");
        return false;
    }
    if (!wholeNumber(words[0], entry.label) || entry.label <= 0) {
        reason = "the label " + words[0] + " is not a positive integer";
        return false;
    }
    double density = 0.0;
    if (!wholeNumber(words[1], density) || !std::isfinite(density) || density <= 0.0) {
        reason = "the density " + words[1] + " is not a positive number (g/cm^3)";
        return false;
    }
    if (!knownCompound(words[2])) {
        reason = "xraylib does not know the compound " + words[2] +
                 " (a chemical formula such as H2O, or a name of its NIST compound list)";
        return false;
    }
    constexpr std::string_view kScatter = "scatter=";
    if (words.size() > 3 && words[3].starts_with(kScatter)) {
        const std::string value = words[3].substr(kScatter.size());
        if (!wholeNumber(value, entry.scatter) || !std::isfinite(entry.scatter) ||
            entry.scatter < 0.0) {
            reason = "the scattering " + words[3] +
                     " is not a number of at least 0 (rad^2/mm, the variance of the scattering "
                     "angle per mm)";
            return false;
        }
    }
    const std::size_t known = words.size() > 3 && words[3].starts_with(kScatter) ? 4 : 3;
    if (words.size() > known) {
        reason = "unknown field " + words[known] + " after the " +
                 (known == 3 ? std::string("compound") : words[3]);
        return false;
    }
    entry.material = XrayMaterial{words[2], density};
    return true;
}

std::string densityText(double density) {
    std::ostringstream text;
    text << density;
    return text.str();
}

}  // namespace

bool readSampleMaterials(const std::string& path, SampleMaterials& result, std::string& error) {
    result = SampleMaterials{path, {}};
    std::ifstream in(path);
    if (!in.is_open()) {
        error = "ERROR: Cannot read materials file " + path + " (sampleMaterials).";
        return false;
    }
    const auto refuse = [&](int line, const std::string& reason) {
        error = "ERROR: Materials file " + path + ", line " + std::to_string(line) + ": " + reason +
                ".";
        return false;
    };
    std::string text;
    int lineNumber = 0;
    while (std::getline(in, text)) {
        ++lineNumber;
        std::vector<std::string> words;
        std::string reason;
        if (!splitWords(text, words, reason)) {
            return refuse(lineNumber, reason);
        }
        if (words.empty()) {
            continue;
        }
        SampleMaterial entry;
        entry.line = lineNumber;
        if (!parseLine(words, entry, reason)) {
            return refuse(lineNumber, reason);
        }
        for (const SampleMaterial& earlier : result.materials) {
            if (earlier.label == entry.label) {
                return refuse(lineNumber, "the label " + words[0] + " was given on line " +
                                              std::to_string(earlier.line) + " already");
            }
        }
        result.materials.push_back(entry);
    }
    if (in.bad()) {
        error = "ERROR: Cannot read materials file " + path + " (sampleMaterials).";
        return false;
    }
    if (result.materials.empty()) {
        error = "ERROR: Materials file " + path + " gives no material.";
        return false;
    }
    std::sort(result.materials.begin(), result.materials.end(),
              [](const SampleMaterial& a, const SampleMaterial& b) { return a.label < b.label; });
    return true;
}

std::string materialsSignature(const SampleMaterials& materials) {
    std::string text;
    for (const SampleMaterial& entry : materials.materials) {
        if (!text.empty()) {
            text += "; ";
        }
        text += std::to_string(entry.label) + " " + entry.material.compound + " " +
                densityText(entry.material.density);
        if (entry.scatter > 0.0) {
            text += " scatter=" + densityText(entry.scatter);
        }
    }
    return text;
}

bool anyScatters(const SampleMaterials& materials) {
    return std::any_of(materials.materials.begin(), materials.materials.end(),
                       [](const SampleMaterial& entry) { return entry.scatter > 0.0; });
}

}  // namespace conesim
