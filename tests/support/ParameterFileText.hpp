// A complete, sensible run-mode-5 parameter file for tests, with chosen values replaced.
#pragma once

#include <array>
#include <map>
#include <string>

namespace conesim::testing {

// Values 1 to 49 in file order: a 40 x 40 detector, 100-pixel masks at 50 and 100, a
// 20 x 20 x 4 sample of unit voxels from 60, 10000 photons, output into folder OUT.
inline const std::array<const char*, 49> kDefaultParameterValues = {
    "100", "50",   "1",          "pre.pgm",    "1",     "0",      "1",
    "0",   "60",   "20",         "20",         "4",     "1",      "1",
    "1",   "1000", "Sample.bin", "3",          "20",    "0.0001", "100",
    "100", "1",    "post.pgm",   "40",         "40",    "150",    "1",
    "1",   "1",    "1",          "5",          "1",     "1",      "0",
    "1",   "0",    "Spectrum",   "10000",      "1000",  "550000", "0",
    "100", "OUT",  "Part",       "Logger.txt", "Final", "1",      "END"};

// One "label = value ; comment" line per value; overrides maps positions (1-based) to
// replacement value texts.
inline std::string parameterFileText(const std::map<int, std::string>& overrides = {}) {
    std::string text = "// conesim test parameters\n";
    for (int position = 1; position <= 49; ++position) {
        auto found = overrides.find(position);
        const std::string value =
            found != overrides.end() ? found->second : kDefaultParameterValues[position - 1];
        text += "Setting " + std::to_string(position) + " = " + value + " ; value " +
                std::to_string(position) + "\n";
    }
    return text;
}

}  // namespace conesim::testing
