// The machine-readable record of a run, NAME.N.json beside its images: what the run was
// asked to do, what it did and how it ended, for the tools and scripts that act on its
// results (conesim-sweep, conesim-retrieve, the tests) instead of its console text.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace conesim {

using TextPairs = std::vector<std::pair<std::string, std::string>>;

struct RunRecord {
    std::string version;        //!< the program's version
    std::string runName;        //!< the run number (or the fixed name)
    std::string parameterFile;  //!< as the command line named it
    std::uint64_t seed = 0;
    int threads = 1;    //!< worker threads of this process
    int processes = 1;  //!< MPI processes
    std::int64_t photonsToRun = 0;
    std::int64_t photonsRun = 0;   //!< photons numbered (counted ones under countHitsOnly)
    std::uint64_t hits = 0;        //!< photons scored on the detector
    std::uint64_t lostCounts = 0;  //!< scores lost to pixels at the largest count
    int exitStatus = 0;
    std::string stop = "none";       //!< "none", "signal" or "interrupt file"
    bool finished = false;           //!< every photon ran and every output was written
    std::vector<std::string> files;  //!< files the run wrote, as it named them
    TextPairs settings;              //!< every setting of the table, as read
    TextPairs planeRecord;           //!< the plane record of the planes it used; empty: none
};

std::string runRecordText(const RunRecord& record);
// Writes the record to path through a temporary file beside it, so that the name only ever
// holds a whole record. False with error when it cannot.
bool writeRunRecord(const std::string& path, const RunRecord& record, std::string& error);
// Reads a record written by writeRunRecord; false with error for a file that is missing or
// holds no such record.
bool readRunRecord(const std::string& path, RunRecord& record, std::string& error);

}  // namespace conesim
