#include "sweep/SweepFiles.hpp"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "common/ArgParse.hpp"
#include "common/BinaryFile.hpp"
#include "util/BoundedRead.hpp"

namespace conesim::tools {

namespace {

constexpr std::uint64_t kLargestSweepTable = std::uint64_t{64} << 20;
constexpr std::size_t kLongestSweepTableLine = 65536;

constexpr const char* kFixedColumns[] = {"run", "status", "hits", "seconds"};

std::string joined(const std::vector<std::string>& fields) {
    std::string text;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        text += (i == 0 ? "" : ",") + fields[i];
    }
    return text;
}

bool lineError(const std::string& path, int line, const std::string& what, std::string& error) {
    error = path + ", line " + std::to_string(line) + ": " + what;
    return false;
}

}  // namespace

std::string sweepTableHeader(const std::vector<std::string>& settings) {
    std::vector<std::string> fields = settings;
    fields.insert(fields.end(), std::begin(kFixedColumns), std::end(kFixedColumns));
    return joined(fields);
}

std::string sweepTableLine(const SweepRow& row) {
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.3f", row.seconds);
    std::vector<std::string> fields = row.values;
    fields.push_back(row.runName);
    fields.push_back(std::to_string(row.status));
    fields.push_back(row.hits ? std::to_string(*row.hits) : "");
    fields.push_back(seconds);
    return joined(fields);
}

std::string sweepTableText(const SweepTable& table) {
    std::string text = sweepTableHeader(table.settings) + "\n";
    for (const SweepRow& row : table.rows) {
        text += sweepTableLine(row) + "\n";
    }
    return text;
}

bool readSweepTable(const std::string& path, SweepTable& table, std::string& error) {
    // Only a regular file of a sensible size is read: a named pipe would wait for a writer
    // and a device such as /dev/zero would never end.
    std::uint64_t size = 0;
    std::ifstream file;
    if (!openInput(path, file, size, error)) {
        return false;
    }
    if (size > kLargestSweepTable) {
        error = path + " holds " + std::to_string(size) + " bytes; a sweep table holds at most " +
                std::to_string(kLargestSweepTable) + " (64 MiB)";
        return false;
    }
    std::string line;
    // Lines may end in LF or CR LF (a table saved by a spreadsheet or an editor on Windows).
    const auto nextLine = [&](int number) {
        const BoundedReadResult read = readBoundedLine(file, line, kLongestSweepTableLine);
        if (read == BoundedReadResult::kTooLong) {
            lineError(path, number,
                      "longer than " + std::to_string(kLongestSweepTableLine) + " characters",
                      error);
        }
        return read;
    };
    BoundedReadResult read = nextLine(1);
    if (read != BoundedReadResult::kRead) {
        if (read == BoundedReadResult::kEnd) {
            error = path + " is empty";
        }
        return false;
    }
    const std::vector<std::string> header = splitList(line);
    const std::size_t fixed = std::size(kFixedColumns);
    if (header.size() <= fixed ||
        !std::equal(std::begin(kFixedColumns), std::end(kFixedColumns), header.end() - fixed)) {
        return lineError(
            path, 1, "not the header of a sweep table (NAME,...,run,status,hits,seconds)", error);
    }
    SweepTable result;
    result.settings.assign(header.begin(), header.end() - fixed);
    int number = 1;
    while ((read = nextLine(number + 1)) == BoundedReadResult::kRead) {
        ++number;
        if (line.empty()) {
            continue;
        }
        const std::vector<std::string> fields = splitList(line);
        if (fields.size() != header.size()) {
            return lineError(path, number,
                             std::to_string(fields.size()) + " fields where the header has " +
                                 std::to_string(header.size()),
                             error);
        }
        SweepRow row;
        const std::size_t valueCount = result.settings.size();
        row.values.assign(fields.begin(), fields.begin() + valueCount);
        row.runName = fields[valueCount];
        std::int64_t status = 0;
        std::int64_t hits = 0;
        if (!parseInt64(fields[valueCount + 1], status) || status < 0 || status > 255) {
            return lineError(path, number,
                             "status '" + fields[valueCount + 1] + "' is not 0 to 255", error);
        }
        row.status = static_cast<int>(status);
        if (!fields[valueCount + 2].empty()) {
            if (!parseInt64(fields[valueCount + 2], hits) || hits < 0) {
                return lineError(path, number,
                                 "hits '" + fields[valueCount + 2] + "' is not a count", error);
            }
            row.hits = static_cast<std::uint64_t>(hits);
        }
        if (!parseDouble(fields[valueCount + 3], row.seconds)) {
            return lineError(path, number,
                             "seconds '" + fields[valueCount + 3] + "' is not a number", error);
        }
        result.rows.push_back(row);
    }
    if (read == BoundedReadResult::kTooLong) {
        return false;
    }
    if (file.bad()) {
        error = "cannot read " + path;
        return false;
    }
    table = result;
    return true;
}

}  // namespace conesim::tools
