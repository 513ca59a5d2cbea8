// The files of a sweep folder, written by conesim-sweep and read by conesim-retrieve:
// the parameter file's copy, the table of runs (sweep.csv) and the stack of final images.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace conesim::tools {

inline constexpr const char* kSweepTableName = "sweep.csv";
inline constexpr const char* kSweepStackName = "stack.raw";
inline constexpr const char* kSweepParametersName = "params.txt";
// The folder of the maps and planes of a sweep whose parameter file is in run mode 3.
inline constexpr const char* kSweepPlaneFolderName = "planes";

// One run of a sweep: a line of sweep.csv.
struct SweepRow {
    std::vector<std::string> values;    //!< each swept setting's value, as written in the file
    std::string runName;                //!< the run's output name (its images: NAME.1.dat)
    int status = 0;                     //!< the program's exit status as the shell sees it
    std::optional<std::uint64_t> hits;  //!< "Detector scored N hits."; none when not printed
    double seconds = 0.0;               //!< wall-clock time of the run
};

struct SweepTable {
    std::vector<std::string> settings;  //!< the swept settings' names, in --set order
    std::vector<SweepRow> rows;         //!< in run order
};

// "NAME[,NAME...],run,status,hits,seconds"
std::string sweepTableHeader(const std::vector<std::string>& settings);
// "VALUE[,VALUE...],RUN,STATUS,HITS,SECONDS" (hits empty when unknown, seconds to 0.001 s)
std::string sweepTableLine(const SweepRow& row);
// The whole table: header line and one line per row, each ending in a newline.
std::string sweepTableText(const SweepTable& table);

// Reads sweep.csv; false (error names the file and line) when it is not such a table.
bool readSweepTable(const std::string& path, SweepTable& table, std::string& error);

}  // namespace conesim::tools
