#include "precalc/PlaneRecord.hpp"

#include <charconv>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <system_error>

namespace conesim {
namespace {

namespace fs = std::filesystem;

// The shortest text that reads back as the same single-precision value.
std::string floatText(float value) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

constexpr const char* kRotationKey = "rotation";

std::string trimmed(const std::string& text) {
    const std::size_t begin = text.find_first_not_of(" \t\r");
    if (begin == std::string::npos) {
        return {};
    }
    const std::size_t end = text.find_last_not_of(" \t\r");
    return text.substr(begin, end - begin + 1);
}

}  // namespace

std::string PlaneRecord::valueOf(const std::string& key) const {
    for (const auto& [name, value] : entries) {
        if (name == key) {
            return value;
        }
    }
    return {};
}

PlaneRecord makePlaneRecord(DeflectionModel model, float sampleEnergy,
                            const std::string& samplePath, const std::string& materials,
                            const std::string& units, const std::string& rotation) {
    // The path as the parameter file gives it ("./a/../b" read as "b"), so that a working
    // folder copied or moved with its maps and planes keeps them usable.
    const std::string normal = fs::path(samplePath).lexically_normal().string();
    std::error_code error;
    const auto bytes = fs::file_size(samplePath, error);
    const char* modelWord = model == DeflectionModel::kPhase ? "phase" : "interface";
    PlaneRecord record;
    record.entries = {
        {"deflectionModel", modelWord},
        {"sampleEnergy", floatText(sampleEnergy)},
        {"sampleFile", normal.empty() ? samplePath : normal},
        {"sampleFileBytes", error ? std::string("unknown") : std::to_string(bytes)},
        {"materials", materials},
        {kRotationKey, rotation},
        {"units", units},
    };
    return record;
}

std::string planeRecordText(const PlaneRecord& record) {
    std::string text = "# conesim: the settings the maps or planes in this folder were made with\n";
    for (const auto& [key, value] : record.entries) {
        text += key + " = " + value + "\n";
    }
    return text;
}

PlaneRecord parsePlaneRecord(const std::string& text) {
    PlaneRecord record;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        const std::string content = trimmed(line);
        const std::size_t equals = content.find('=');
        if (content.empty() || content.front() == '#' || equals == std::string::npos) {
            continue;
        }
        record.entries.emplace_back(trimmed(content.substr(0, equals)),
                                    trimmed(content.substr(equals + 1)));
    }
    return record;
}

RecordCheck checkPlaneRecord(const std::string& path, const PlaneRecord& wanted,
                             RecordDifference& difference) {
    std::error_code error;
    if (!fs::exists(fs::symlink_status(path, error))) {
        return RecordCheck::kAbsent;
    }
    std::ifstream in(path, std::ios::binary);
    if (!fs::is_regular_file(path, error) || !in.is_open()) {
        return RecordCheck::kUnreadable;
    }
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) {
        return RecordCheck::kUnreadable;
    }
    const PlaneRecord made = parsePlaneRecord(text);
    for (const auto& [key, value] : wanted.entries) {
        std::string recorded = made.valueOf(key);
        if (recorded.empty() && key == kRotationKey) {
            recorded = "none";  // made before samples could be turned
        }
        if (recorded != value) {
            difference = RecordDifference{key, recorded.empty() ? "(none)" : recorded, value};
            return RecordCheck::kDiffers;
        }
    }
    return RecordCheck::kMatches;
}

bool writePlaneRecord(const std::string& path, const PlaneRecord& record) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out.is_open()) {
        return false;
    }
    out << planeRecordText(record);
    out.close();
    return !out.fail();
}

}  // namespace conesim
