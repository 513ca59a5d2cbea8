#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "TestSupport.hpp"
#include "params/ParameterTable.hpp"

namespace conesim {
namespace {

// The cells of a Markdown table row, trimmed, backticks removed, "—" read as empty.
std::vector<std::string> cells(const std::string& row) {
    std::vector<std::string> result;
    std::string cell;
    for (std::size_t i = 1; i < row.size(); ++i) {
        if (row[i] != '|') {
            if (row[i] != '`') {
                cell += row[i];
            }
            continue;
        }
        const std::size_t first = cell.find_first_not_of(' ');
        const std::size_t last = cell.find_last_not_of(' ');
        cell = first == std::string::npos ? "" : cell.substr(first, last - first + 1);
        result.push_back(cell == "—" ? "" : cell);
        cell.clear();
    }
    return result;
}

// The rows of the first table after the heading line, without its header and rule.
std::vector<std::vector<std::string>> tableAfter(const std::string& readme,
                                                 const std::string& heading) {
    std::vector<std::vector<std::string>> rows;
    const std::size_t start = readme.find("\n" + heading + "\n");
    if (start == std::string::npos) {
        ADD_FAILURE() << "README has no heading " << heading;
        return rows;
    }
    std::istringstream lines(readme.substr(start + heading.size() + 2));
    std::string line;
    bool inTable = false;
    int skipped = 0;
    while (std::getline(lines, line)) {
        if (line.rfind("|", 0) != 0) {
            if (inTable || line.rfind("#", 0) == 0) {
                break;
            }
            continue;
        }
        inTable = true;
        if (skipped < 2) {  // the header and the rule under it
            ++skipped;
            continue;
        }
        rows.push_back(cells(line));
    }
    return rows;
}

std::string readme() {
    return testing::readText(std::string(CONESIM_SOURCE_DIR) + "/README.md");
}

TEST(ReadmeTables, TheFortyEightSettingsMatchTheProgramsTable) {
    const auto rows = tableAfter(readme(), "### The 48 settings");
    const auto table = parameterTable();
    // 48 settings and the end checkword's row.
    ASSERT_EQ(rows.size(), table.size() + 1);
    for (std::size_t i = 0; i < table.size(); ++i) {
        const ParameterInfo& info = table[i];
        const std::vector<std::string>& row = rows[i];
        ASSERT_EQ(row.size(), 7U) << i;
        EXPECT_EQ(row[0], std::to_string(info.number));
        EXPECT_EQ(row[1], info.name);
        EXPECT_EQ(row[2], info.meaning) << info.name;
        EXPECT_EQ(row[3], info.unit) << info.name;
        EXPECT_EQ(row[4], info.defaultText) << info.name;
        EXPECT_EQ(row[5], info.range) << info.name;
        EXPECT_EQ(row[6], info.fault == 0 ? "" : std::to_string(info.fault)) << info.name;
    }
    EXPECT_EQ(rows.back()[0], "49");
    EXPECT_EQ(rows.back()[1], "end checkword");
}

TEST(ReadmeTables, ExtensionSettingsMatchTheProgramsTable) {
    const auto rows = tableAfter(readme(), "### Extension settings");
    const auto table = extensionTable();
    ASSERT_EQ(rows.size(), table.size());
    for (std::size_t i = 0; i < table.size(); ++i) {
        const ParameterInfo& info = table[i];
        const std::vector<std::string>& row = rows[i];
        ASSERT_EQ(row.size(), 6U) << i;
        EXPECT_EQ(row[0], info.name);
        EXPECT_EQ(row[1], info.meaning) << info.name;
        EXPECT_EQ(row[2], info.unit) << info.name;
        EXPECT_EQ(row[3], info.defaultText) << info.name;
        EXPECT_EQ(row[4], info.range) << info.name;
        EXPECT_EQ(row[5], info.exampleText) << info.name;
    }
}

TEST(ReadmeTables, RowsAreSplitIntoTheirCells) {
    EXPECT_EQ(cells("| 4 | `a.pgm` | — |  x y |"),
              (std::vector<std::string>{"4", "a.pgm", "", "x y"}));
}

}  // namespace
}  // namespace conesim
