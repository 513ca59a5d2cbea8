// Every input file of the built program, spoiled in each of the ways a user or a broken disk
// can spoil it: missing, empty, truncated, oversized, garbage bytes, a folder in its place and
// no read permission. Each case runs the program in its own scratch folder under a timeout and
// checks the exit status, the key message, that it neither crashed nor hung, and that a failed
// run leaves no final image behind. All rows are collected and printed as one table.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <iomanip>
#include <iostream>
#include <limits>
#include <map>
#include <random>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "ParameterFileText.hpp"
#include "ProgramRun.hpp"
#include "TestSupport.hpp"

namespace conesim {
namespace {

namespace fs = std::filesystem;
using testing::readText;
using testing::ScratchDir;
using testing::writeText;

// Seconds one run may take before it counts as hung; a sound run takes a fraction of one.
constexpr int kRunTimeoutSeconds = 30;

// Every status the program ends with on purpose, as the shell sees it (modulo 256).
const std::set<int> kKnownStatuses = {0,         11,        12,        13,        14,
                                      15,        32,        875 % 256, 876 % 256, 879 % 256,
                                      971 % 256, 972 % 256, 977 % 256, 978 % 256};

// How one run of the program ended.
struct RunResult {
    bool launched = false;  //!< the program was started
    int status = -1;        //!< its exit status as a shell reports it (modulo 256)
    bool hung = false;      //!< the time limit ended the program
    int crashSignal = 0;    //!< the signal that ended the program, 0 when none did
    std::string console;    //!< standard output and error
    std::string log;        //!< OUT/Logger.txt, empty when absent
    std::string scratch;    //!< the folder the program ran in
};

RunResult runProgram(const ScratchDir& dir, const std::string& arguments) {
    testing::ProgramCall call{CONESIM_BINARY, testing::words(arguments), dir.path()};
    call.timeoutSeconds = kRunTimeoutSeconds;
    call.mergeErrorIntoOutput = true;
    const testing::ProgramResult run = testing::runProgram(call);
    RunResult result;
    result.scratch = dir.path().string();
    result.launched = run.started;
    result.status = run.shellStatus() % 256;
    result.hung = run.timedOut;
    result.crashSignal = run.timedOut ? 0 : run.signal;
    result.console = run.out;
    std::error_code error;
    if (fs::is_regular_file(dir.file("OUT/Logger.txt"), error)) {
        result.log = readText(dir.file("OUT/Logger.txt"));
    }
    return result;
}

// Deterministic garbage: the low bytes of a fixed-seed Mersenne twister, whose sequence the
// language fixes. Bytes in `banned` are replaced by 'x'.
std::string garbageBytes(std::size_t size, std::uint32_t seed, const std::string& banned = "") {
    std::mt19937 generator(seed);
    std::string bytes(size, '\0');
    for (char& byte : bytes) {
        byte = static_cast<char>(generator() & 0xFFU);
        if (banned.find(byte) != std::string::npos) {
            byte = 'x';
        }
    }
    return bytes;
}

// An ASCII mask image with the usual four header lines; grey(row, column) gives each value.
std::string maskImage(int width, int height, const std::function<int(int, int)>& grey) {
    std::ostringstream text;
    text << "P2\n# mask\n" << width << " " << height << "\n255\n";
    for (int row = 0; row < height; ++row) {
        for (int column = 0; column < width; ++column) {
            text << grey(row, column) << (column + 1 < width ? " " : "\n");
        }
    }
    return text.str();
}

// Length of the four header lines maskImage writes for a 100 x 100 image.
constexpr std::size_t kMaskHeaderBytes = sizeof("P2\n# mask\n100 100\n255\n") - 1;

std::string uniformMask(int grey) {
    return maskImage(100, 100, [grey](int, int) { return grey; });
}

const char* kPlaneNames[] = {"Z_ref-PRE.pca", "Z_iLR-PRE.pca", "Z_iUD-PRE.pca"};
const char* kMapNames[] = {"Z_ref-PRE", "Z_iLR-PRE", "Z_iUD-PRE"};
constexpr std::size_t kSampleBytes = 20 * 20 * 4 * 4;  // 20 x 20 x 4 float32
constexpr std::size_t kPlaneBytes = 20 * 20 * 8;       // 20 x 20 float64

// The inputs of a sound run in the given mode: the standard test parameter file, clear
// masks, a zero sample, a two-line spectrum, and the stored maps or planes the mode reads.
void writeSoundInputs(const ScratchDir& dir, int mode,
                      const std::map<int, std::string>& overrides) {
    fs::create_directory(dir.path() / "OUT");
    std::map<int, std::string> values = overrides;
    values.emplace(32, std::to_string(mode));
    writeText(dir.file("params.txt"), testing::parameterFileText(values));
    writeText(dir.file("pre.pgm"), uniformMask(0));
    writeText(dir.file("post.pgm"), uniformMask(0));
    testing::writeValues(dir.file("Sample.bin"), std::vector<float>(kSampleBytes / 4, 0.0F));
    writeText(dir.file("Spectrum"), "25 35\n");
    if (mode == 4) {
        for (const char* map : kMapNames) {
            testing::writeValues(dir.file(map), std::vector<float>(kSampleBytes / 4, 0.0F));
        }
    }
    if (mode == 5) {
        testing::writeValues(dir.file(kPlaneNames[0]), std::vector<double>(400, 0.001));
        testing::writeValues(dir.file(kPlaneNames[1]), std::vector<double>(400, 0.0005));
        testing::writeValues(dir.file(kPlaneNames[2]), std::vector<double>(400, 0.0005));
    }
}

// The hit count the run reported, -1 when it reported none.
long long scoredHits(const std::string& console) {
    std::smatch match;
    static const std::regex scored("Detector scored ([0-9]+) hits\\.");
    if (std::regex_search(console, match, scored)) {
        return std::stoll(match[1].str());
    }
    return -1;
}

// Extra checks of one case: empty when all hold, otherwise what failed.
using ExtraCheck = std::function<std::string(const RunResult&)>;

ExtraCheck hitsBetween(long long low, long long high) {
    return [low, high](const RunResult& run) -> std::string {
        const long long hits = scoredHits(run.console);
        if (hits < low || hits > high) {
            return "hits " + std::to_string(hits) + " not in " + std::to_string(low) + ".." +
                   std::to_string(high);
        }
        return {};
    };
}

ExtraCheck fileHasSize(const std::string& name, std::uintmax_t size) {
    return [name, size](const RunResult& run) -> std::string {
        std::error_code error;
        const std::uintmax_t got = fs::file_size(fs::path(run.scratch) / name, error);
        if (error || got != size) {
            return name + " not " + std::to_string(size) + " bytes";
        }
        return {};
    };
}

ExtraCheck noneOfFiles(std::vector<std::string> names) {
    return [names](const RunResult& run) -> std::string {
        std::string problems;
        for (const std::string& name : names) {
            std::error_code error;
            if (fs::exists(fs::path(run.scratch) / name, error)) {
                problems += name + " was written; ";
            }
        }
        return problems;
    };
}

// One row of the matrix.
struct Case {
    Case(std::string input, std::string kind, int mode, std::map<int, std::string> overrides,
         std::function<void(const ScratchDir&)> spoil, int expectedStatus,
         std::vector<std::string> consoleTexts = {}, std::vector<std::string> logTexts = {},
         std::vector<std::string> absentTexts = {}, ExtraCheck extra = {},
         bool needsNonRoot = false)
        : input(std::move(input)),
          kind(std::move(kind)),
          mode(mode),
          overrides(std::move(overrides)),
          spoil(std::move(spoil)),
          expectedStatus(expectedStatus),
          consoleTexts(std::move(consoleTexts)),
          logTexts(std::move(logTexts)),
          absentTexts(std::move(absentTexts)),
          extra(std::move(extra)),
          needsNonRoot(needsNonRoot) {}

    std::string input;                     //!< which input is spoiled
    std::string kind;                      //!< how it is spoiled
    int mode;                              //!< run mode of the sound inputs
    std::map<int, std::string> overrides;  //!< parameter changes of the sound inputs
    std::function<void(const ScratchDir&)> spoil;
    int expectedStatus;                     //!< as the shell sees it
    std::vector<std::string> consoleTexts;  //!< must each appear on the console
    std::vector<std::string> logTexts;      //!< must each appear in the run log
    std::vector<std::string> absentTexts;   //!< must appear in neither
    ExtraCheck extra;                       //!< further checks, may be empty
    bool needsNonRoot;                      //!< permission cases: root reads everything
};

struct Row {
    std::string input;
    std::string kind;
    std::string expected;
    std::string got;
    std::string verdict;  //!< "pass", "FAIL" or "skip"
};

std::string shortened(const std::string& text, std::size_t limit) {
    std::string flat;
    for (char c : text) {
        flat += (c == '\n') ? '|' : c;
    }
    return flat.size() <= limit ? flat : flat.substr(0, limit - 3) + "...";
}

std::string describeExpected(const Case& c) {
    std::string text = "exit " + std::to_string(c.expectedStatus);
    if (!c.consoleTexts.empty()) {
        text += "; \"" + shortened(c.consoleTexts.front(), 44) + "\"";
    } else if (!c.logTexts.empty()) {
        text += "; log \"" + shortened(c.logTexts.front(), 40) + "\"";
    }
    return text;
}

bool finalImagesComplete(const std::string& scratch) {
    std::error_code error;
    const fs::path out = fs::path(scratch) / "OUT";
    if (!fs::is_regular_file(out / "Final.1.pgm", error) ||
        fs::file_size(out / "Final.1.dat", error) != 40U * 40U * 4U || error) {
        return false;
    }
    return readText((out / "Final.1.pgm").string()).rfind("P2\n40 40\n255\n", 0) == 0;
}

bool anyFinalImage(const std::string& scratch) {
    std::error_code error;
    const fs::path out = fs::path(scratch) / "OUT";
    return fs::exists(out / "Final.1.pgm", error) || fs::exists(out / "Final.1.dat", error);
}

Row runCase(const Case& c) {
    Row row{c.input, c.kind, describeExpected(c), "", "pass"};
    if (c.needsNonRoot && ::geteuid() == 0) {
        row.got = "not run: root reads any file";
        row.verdict = "skip";
        return row;
    }
    ScratchDir dir;
    writeSoundInputs(dir, c.mode, c.overrides);
    c.spoil(dir);
    const RunResult run = runProgram(dir, "params.txt Final");

    std::vector<std::string> problems;
    if (!run.launched) {
        row.got = "could not run the program";
        row.verdict = "FAIL";
        return row;
    }
    if (run.hung) {
        problems.push_back("HANG (timeout)");
    } else if (run.crashSignal != 0) {
        problems.push_back("CRASH signal " + std::to_string(run.crashSignal));
    }
    row.got = run.hung          ? "hang"
              : run.crashSignal ? "signal " + std::to_string(run.crashSignal)
                                : "exit " + std::to_string(run.status);
    if (!run.hung && run.crashSignal == 0 && run.status != c.expectedStatus) {
        problems.push_back("wrong status");
    }
    for (const std::string& text : c.consoleTexts) {
        if (run.console.find(text) == std::string::npos) {
            problems.push_back("console lacks \"" + shortened(text, 40) + "\"");
        }
    }
    for (const std::string& text : c.logTexts) {
        if (run.log.find(text) == std::string::npos) {
            problems.push_back("log lacks \"" + shortened(text, 40) + "\"");
        }
    }
    for (const std::string& text : c.absentTexts) {
        if (run.console.find(text) != std::string::npos ||
            run.log.find(text) != std::string::npos) {
            problems.push_back("unexpected \"" + shortened(text, 40) + "\"");
        }
    }
    if (c.expectedStatus == 0 && run.status == 0 && !finalImagesComplete(run.scratch)) {
        problems.push_back("final images incomplete");
    }
    if (run.status != 0 && run.status != 14 && anyFinalImage(run.scratch)) {
        problems.push_back("final image left by a failed run");
    }
    if (c.extra) {
        const std::string extra = c.extra(run);
        if (!extra.empty()) {
            problems.push_back(extra);
        }
    }
    if (!problems.empty()) {
        row.verdict = "FAIL";
        for (const std::string& problem : problems) {
            row.got += "; " + problem;
        }
    } else if (const long long hits = scoredHits(run.console); hits >= 0) {
        row.got += "; " + std::to_string(hits) + " hits";
    }
    return row;
}

// Spoilers, each working on one file of the scratch folder.
using Spoiler = std::function<void(const ScratchDir&)>;

Spoiler removeFile(const std::string& name) {
    return [name](const ScratchDir& dir) { fs::remove(dir.file(name)); };
}
Spoiler replaceText(const std::string& name, const std::string& text) {
    return [name, text](const ScratchDir& dir) {
        fs::remove(dir.file(name));
        writeText(dir.file(name), text);
    };
}
Spoiler folderInstead(const std::string& name) {
    return [name](const ScratchDir& dir) {
        fs::remove(dir.file(name));
        fs::create_directory(dir.file(name));
        writeText(dir.file(name + "/inside"), "a file inside the folder\n");
    };
}
Spoiler unreadable(const std::string& name) {
    return [name](const ScratchDir& dir) {
        fs::permissions(dir.file(name), fs::perms::none, fs::perm_options::replace);
    };
}
Spoiler resizeFile(const std::string& name, std::uintmax_t size) {
    return [name, size](const ScratchDir& dir) { fs::resize_file(dir.file(name), size); };
}
Spoiler both(Spoiler first, Spoiler second) {
    return [first, second](const ScratchDir& dir) {
        first(dir);
        second(dir);
    };
}

std::vector<Case> parameterFileCases() {
    const std::string loading = "ERROR: Loading parameter file.\n";
    const std::string access = "Cannot access paramter file: params.txt\n";
    std::vector<Case> cases;
    const std::string sound = testing::parameterFileText({{32, "5"}});
    cases.push_back(
        {"parameter file", "missing", 5, {}, removeFile("params.txt"), 11, {access, loading}});
    cases.push_back(
        {"parameter file",
         "empty",
         5,
         {},
         replaceText("params.txt", ""),
         11,
         {"Paramater file params.txt is too short.\nLast line (number 0) was .\n", loading}});
    cases.push_back(
        {"parameter file",
         "truncated after 30 values",
         5,
         {},
         replaceText("params.txt", sound.substr(0, sound.find("Setting 31 "))),
         11,
         {"Paramater file params.txt is too short.\nLast line (number 30) was 1.\n", loading}});
    cases.push_back({"parameter file",
                     "cut inside a line",
                     5,
                     {},
                     replaceText("params.txt", sound.substr(0, sound.find("Setting 31 ") + 5)),
                     11,
                     {"Last line (number 30) was 1.\n", loading}});
    cases.push_back({"parameter file",
                     "1 MiB of junk after END",
                     5,
                     {},
                     replaceText("params.txt", sound + garbageBytes(1 << 20, 11)),
                     11,
                     {"Parameter file params.txt: line 51 (",
                      "is not an extension setting \"name = value\".\n", loading}});
    cases.push_back(
        {"parameter file",
         "line of 300 characters",
         5,
         {},
         replaceText("params.txt", "// " + std::string(297, '-') + "\n" + sound),
         11,
         {"Parameter file params.txt: line 1 (", "is longer than 255 characters.\n", loading}});
    cases.push_back({"parameter file",
                     "garbage bytes",
                     5,
                     {},
                     replaceText("params.txt", garbageBytes(8192, 12)),
                     11,
                     {loading}});
    cases.push_back(
        {"parameter file",
         "word for a number",
         5,
         {},
         replaceText("params.txt", testing::parameterFileText({{10, "abc"}})),
         11,
         {"Parameter file params.txt: value 10 (\"abc\") is not a number.\n", loading}});
    cases.push_back({"parameter file",
                     "integer beyond 32 bits",
                     5,
                     {},
                     replaceText("params.txt", testing::parameterFileText({{39, "99999999999"}})),
                     11,
                     {"value 39 (\"99999999999\") is outside the range of a 32-bit signed "
                      "integer, -2147483648 to 2147483647.\n",
                      loading}});
    cases.push_back(
        {"parameter file", "directory", 5, {}, folderInstead("params.txt"), 11, {access, loading}});
    cases.push_back({"parameter file",
                     "no read permission",
                     5,
                     {},
                     unreadable("params.txt"),
                     11,
                     {access, loading},
                     {},
                     {},
                     {},
                     true});
    // A refused parameter file leaves nothing in the output folder.
    for (Case& c : cases) {
        if (c.expectedStatus != 0) {
            c.extra = noneOfFiles({"OUT/Logger.txt"});
        }
    }
    return cases;
}

// Rows for one mask. The mask plane sits where the photon cone is narrow, well inside the
// mask: an opaque mask stops every photon, a clear one lets almost all reach the detector.
std::vector<Case> maskCases(const std::string& input, const std::string& file,
                            const std::string& label) {
    const std::string active = label + " mask is active.\n";
    const std::string inactive = label + " mask is not active.\n";
    const ExtraCheck clear = hitsBetween(8500, 10000);
    const ExtraCheck opaque = hitsBetween(0, 0);
    std::vector<Case> cases;
    cases.push_back({input,
                     "opaque (reference)",
                     5,
                     {},
                     replaceText(file, uniformMask(255)),
                     0,
                     {"Detector scored 0 hits.\n"},
                     {active},
                     {},
                     opaque});
    cases.push_back(
        {input, "missing: mask off", 5, {}, removeFile(file), 0, {}, {inactive}, {}, clear});
    cases.push_back(
        {input, "empty: all clear", 5, {}, replaceText(file, ""), 0, {}, {active}, {}, clear});
    // Opaque rows 0..49, then the file ends: the rest stays clear, about half the cone passes.
    std::string truncated = "P2\n# mask\n100 100\n255\n";
    for (int row = 0; row < 50; ++row) {
        for (int column = 0; column < 100; ++column) {
            truncated += "255 ";
        }
        truncated += "\n";
    }
    cases.push_back({input,
                     "truncated after 50 opaque rows",
                     5,
                     {},
                     replaceText(file, truncated),
                     0,
                     {},
                     {active},
                     {},
                     hitsBetween(2000, 7500)});
    // A 200 x 200 image read as 100 x 100 takes its first 10000 values: its top 50 rows,
    // which are opaque, while the rest of the image is clear.
    cases.push_back(
        {input,
         "oversized 200x200 image",
         5,
         {},
         replaceText(file, maskImage(200, 200, [](int row, int) { return row < 50 ? 255 : 0; })),
         0,
         {"Detector scored 0 hits.\n"},
         {active},
         {},
         opaque});
    // One opaque row, then a token that is not a number: everything after it stays clear.
    std::string token = "P2\n# mask\n100 100\n255\n";
    for (int column = 0; column < 100; ++column) {
        token += "255 ";
    }
    token += "\n#junk!\n" + uniformMask(255).substr(kMaskHeaderBytes);
    cases.push_back(
        {input, "non-numeric token", 5, {}, replaceText(file, token), 0, {}, {active}, {}, clear});
    // A number beyond the integer range fails the stream like a word does.
    cases.push_back({input,
                     "number beyond int range",
                     5,
                     {},
                     replaceText(file, "P2\n# mask\n100 100\n255\n99999999999 " +
                                           uniformMask(255).substr(kMaskHeaderBytes)),
                     0,
                     {},
                     {active},
                     {},
                     clear});
    cases.push_back({input,
                     "negative values: clear",
                     5,
                     {},
                     replaceText(file, uniformMask(-7)),
                     0,
                     {},
                     {active},
                     {},
                     clear});
    cases.push_back({input,
                     "garbage bytes",
                     5,
                     {},
                     replaceText(file, garbageBytes(40000, 21)),
                     0,
                     {},
                     {active}});
    cases.push_back(
        {input, "directory: mask off", 5, {}, folderInstead(file), 0, {}, {inactive}, {}, clear});
    cases.push_back({input,
                     "no read permission",
                     5,
                     {},
                     both(replaceText(file, uniformMask(255)), unreadable(file)),
                     0,
                     {},
                     {inactive},
                     {},
                     clear,
                     true});
    return cases;
}

std::vector<Case> sampleCases() {
    const std::vector<std::string> refused = {
        "ERROR: Sample size is wrong or sample file is missing.\nSample name stated as "
        "Sample.bin.\nDimensions stated as 20x20x4.\n"};
    const ExtraCheck nothingWritten = noneOfFiles({"OUT/Logger.txt"});
    std::vector<Case> cases;
    cases.push_back({"sample file",
                     "missing",
                     5,
                     {},
                     removeFile("Sample.bin"),
                     32,
                     refused,
                     {},
                     {},
                     nothingWritten});
    cases.push_back({"sample file",
                     "empty",
                     5,
                     {},
                     replaceText("Sample.bin", ""),
                     32,
                     refused,
                     {},
                     {},
                     nothingWritten});
    cases.push_back({"sample file",
                     "1 byte short",
                     5,
                     {},
                     resizeFile("Sample.bin", 6399),
                     32,
                     refused,
                     {},
                     {},
                     nothingWritten});
    cases.push_back({"sample file",
                     "1 byte over",
                     5,
                     {},
                     resizeFile("Sample.bin", 6401),
                     32,
                     refused,
                     {},
                     {},
                     nothingWritten});
    cases.push_back({"sample file",
                     "a whole slice over",
                     5,
                     {},
                     resizeFile("Sample.bin", 8000),
                     32,
                     refused,
                     {},
                     {},
                     nothingWritten});
    cases.push_back({"sample file",
                     "garbage bytes, mode 5",
                     5,
                     {},
                     replaceText("Sample.bin", garbageBytes(kSampleBytes, 31)),
                     0,
                     {"Sample loaded/size-verified-as okay.\n"}});
    cases.push_back({"sample file",
                     "garbage bytes, mode 3",
                     3,
                     {},
                     replaceText("Sample.bin", garbageBytes(kSampleBytes, 32)),
                     0,
                     {"Sample loaded/size-verified-as okay.\n", "Run number 1 finished.\n"},
                     {},
                     {},
                     fileHasSize("Z_iLR-PRE.pca", kPlaneBytes)});
    cases.push_back({"sample file",
                     "all NaN, mode 3",
                     3,
                     {},
                     replaceText("Sample.bin", std::string(kSampleBytes, '\xFF')),
                     0,
                     {"Run number 1 finished.\n"},
                     {},
                     {},
                     fileHasSize("Z_ref-PRE.pca", kPlaneBytes)});
    // Twelve slices, so that the interface angle search runs over garbage as well.
    cases.push_back({"sample file",
                     "garbage bytes, mode 3, 12 slices",
                     3,
                     {{12, "12"}},
                     replaceText("Sample.bin", garbageBytes(kSampleBytes * 3, 33)),
                     0,
                     {"Run number 1 finished.\n"},
                     {},
                     {},
                     fileHasSize("Z_iUD-PRE.pca", kPlaneBytes)});
    cases.push_back({"sample file",
                     "directory",
                     5,
                     {},
                     folderInstead("Sample.bin"),
                     32,
                     refused,
                     {},
                     {},
                     nothingWritten});
    cases.push_back({"sample file",
                     "no read permission",
                     5,
                     {},
                     unreadable("Sample.bin"),
                     32,
                     refused,
                     {},
                     {},
                     nothingWritten,
                     true});
    return cases;
}

std::vector<Case> spectrumCases() {
    const std::string missing = "\nSpectra file missing!\n";
    const std::string empty = "\nSpectra file corrupt or empty! Aborting run.\n";
    const std::string run = "Spectra file missing,corrupt or empty!\n";
    const int status = 978 % 256;
    // sampleEnergy 0 makes the run state the spectrum's mean energy.
    const std::map<int, std::string> meanEnergy = {{43, "0"}};
    std::vector<Case> cases;
    cases.push_back({"spectrum",
                     "missing",
                     5,
                     {},
                     removeFile("Spectrum"),
                     status,
                     {missing, empty, run},
                     {run}});
    cases.push_back({"spectrum",
                     "empty",
                     5,
                     {},
                     replaceText("Spectrum", ""),
                     status,
                     {empty, run},
                     {run},
                     {missing}});
    cases.push_back({"spectrum",
                     "last number cut, no line end",
                     5,
                     meanEnergy,
                     replaceText("Spectrum", "25 35 4"),
                     0,
                     {"Using a the mean spectrum energy (21.3333) to calculate refractive "
                      "indexes.\n"}});
    std::string many;
    for (int i = 0; i < 200000; ++i) {
        many += (i % 2 == 0) ? "20\n" : "40\n";
    }
    cases.push_back({"spectrum",
                     "oversized: 200000 energies",
                     5,
                     meanEnergy,
                     replaceText("Spectrum", many),
                     0,
                     {"Using a the mean spectrum energy (30) to calculate refractive indexes.\n"}});
    cases.push_back({"spectrum",
                     "no energy in 0<v<500",
                     5,
                     {},
                     replaceText("Spectrum", "0 500 600 -5 1e40\n"),
                     status,
                     {empty, run}});
    // No digit and none of the letters of inf or nan: no token can be a number.
    cases.push_back({"spectrum",
                     "garbage bytes",
                     5,
                     {},
                     replaceText("Spectrum", garbageBytes(20000, 41, "0123456789iInN")),
                     status,
                     {"WARNING: Spectrum file Spectrum holds \"", empty, run}});
    cases.push_back({"spectrum",
                     "words between numbers",
                     5,
                     meanEnergy,
                     replaceText("Spectrum", "keV: 30 x 50 ?\n"),
                     0,
                     {"WARNING: Spectrum file Spectrum holds \"keV:\", which is not a number; it "
                      "is skipped.\n",
                      "Using a the mean spectrum energy (40) to calculate refractive indexes.\n"}});
    cases.push_back(
        {"spectrum", "directory", 5, {}, folderInstead("Spectrum"), status, {missing, empty, run}});
    cases.push_back({"spectrum",
                     "no read permission",
                     5,
                     {},
                     unreadable("Spectrum"),
                     status,
                     {missing, empty, run},
                     {},
                     {},
                     {},
                     true});
    // No map or plane work starts before the spectrum is known to be usable.
    for (Case& c : cases) {
        if (c.expectedStatus != 0) {
            c.extra = noneOfFiles({"OUT/Final.1.pgm"});
        }
    }
    return cases;
}

std::vector<Case> volumeMapCases() {
    const std::string notFound =
        "ERROR: Could not find files: Z_ref-PRE,Z_iLR-PRE or Z_iUD-PRE check directory\n";
    const int missingStatus = 972 % 256;
    const int shortStatus = 876 % 256;
    std::vector<Case> cases;
    for (const char* map : kMapNames) {
        const std::string name = map;
        const std::string input = name + " (mode 4)";
        // A short index map fails the pair read, a short angle map the angle read.
        const std::string shortText = name == "Z_ref-PRE"
                                          ? "Error reading values from  |Z_ref-PRE| .\n"
                                          : "Error reading angles from |" + name + "| .\n";
        const ExtraCheck noPlanes =
            noneOfFiles({"Z_ref-PRE.pca", "Z_iLR-PRE.pca", "Z_iUD-PRE.pca"});
        cases.push_back({input,
                         "missing",
                         4,
                         {},
                         removeFile(name),
                         missingStatus,
                         {notFound},
                         {notFound},
                         {},
                         noPlanes});
        cases.push_back(
            {input, "empty", 4, {}, replaceText(name, ""), shortStatus, {}, {shortText}});
        cases.push_back({input,
                         "1 byte short",
                         4,
                         {},
                         resizeFile(name, kSampleBytes - 1),
                         shortStatus,
                         {},
                         {shortText}});
        cases.push_back({input,
                         "half its slices",
                         4,
                         {},
                         resizeFile(name, kSampleBytes / 2),
                         shortStatus,
                         {},
                         {shortText}});
        cases.push_back({input,
                         "oversized by a slice",
                         4,
                         {},
                         resizeFile(name, kSampleBytes + 1600),
                         0,
                         {"Run number 1 finished.\n"},
                         {},
                         {},
                         fileHasSize("Z_iUD-PRE.pca", kPlaneBytes)});
        cases.push_back({input,
                         "garbage bytes",
                         4,
                         {},
                         replaceText(name, garbageBytes(kSampleBytes, 51)),
                         0,
                         {"Run number 1 finished.\n"}});
        cases.push_back({input,
                         "all NaN",
                         4,
                         {},
                         replaceText(name, std::string(kSampleBytes, '\xFF')),
                         0,
                         {"Run number 1 finished.\n"}});
        cases.push_back({input,
                         "directory",
                         4,
                         {},
                         folderInstead(name),
                         missingStatus,
                         {notFound},
                         {notFound},
                         {},
                         noPlanes});
        cases.push_back({input,
                         "no read permission",
                         4,
                         {},
                         unreadable(name),
                         missingStatus,
                         {notFound},
                         {},
                         {},
                         noPlanes,
                         true});
    }
    return cases;
}

std::vector<Case> planeCases() {
    const std::string notFound =
        "ERROR: Could not find files: Z_ref-PRE.pca or Z_iLR-PRE.pca or Z_iUD-PRE.pca check main "
        "directory\n";
    const int missingStatus = 971 % 256;
    std::vector<Case> cases;
    for (const char* plane : kPlaneNames) {
        const std::string name = plane;
        const std::string input = name + " (mode 5)";
        auto warning = [&name](std::size_t size) {
            return "WARNING: " + name + " holds " + std::to_string(size) +
                   " bytes; expected 3200 bytes.\n";
        };
        cases.push_back(
            {input, "missing", 5, {}, removeFile(name), missingStatus, {notFound}, {notFound}});
        cases.push_back({input,
                         "empty: values 0",
                         5,
                         {},
                         replaceText(name, ""),
                         0,
                         {warning(0)},
                         {warning(0)}});
        cases.push_back({input,
                         "1 byte short",
                         5,
                         {},
                         resizeFile(name, kPlaneBytes - 1),
                         0,
                         {warning(kPlaneBytes - 1)}});
        cases.push_back({input,
                         "oversized by a double",
                         5,
                         {},
                         resizeFile(name, kPlaneBytes + 8),
                         0,
                         {warning(kPlaneBytes + 8)}});
        cases.push_back({input,
                         "garbage bytes",
                         5,
                         {},
                         replaceText(name, garbageBytes(kPlaneBytes, 61)),
                         0,
                         {"Run number 1 finished.\n"},
                         {},
                         {"WARNING: "}});
        cases.push_back({input,
                         "all NaN",
                         5,
                         {},
                         replaceText(name, std::string(kPlaneBytes, '\xFF')),
                         0,
                         {"Run number 1 finished.\n"}});
        cases.push_back({input,
                         "all +infinity",
                         5,
                         {},
                         [name](const ScratchDir& dir) {
                             testing::writeValues(
                                 dir.file(name),
                                 std::vector<double>(400, std::numeric_limits<double>::infinity()));
                         },
                         0,
                         {"Run number 1 finished.\n"}});
        // An odd mask width: a row index that is not a number no longer cancels out.
        cases.push_back({input,
                         "all NaN, 99-pixel post mask",
                         5,
                         {{21, "99"}},
                         replaceText(name, std::string(kPlaneBytes, '\xFF')),
                         0,
                         {"Run number 1 finished.\n"}});
        cases.push_back(
            {input, "directory", 5, {}, folderInstead(name), missingStatus, {notFound}});
        cases.push_back({input,
                         "no read permission",
                         5,
                         {},
                         unreadable(name),
                         missingStatus,
                         {notFound},
                         {},
                         {},
                         {},
                         true});
    }
    return cases;
}

void printMatrix(const std::vector<Row>& rows) {
    std::size_t widths[4] = {5, 4, 8, 3};
    for (const Row& row : rows) {
        widths[0] = std::max(widths[0], row.input.size());
        widths[1] = std::max(widths[1], row.kind.size());
        widths[2] = std::max(widths[2], row.expected.size());
        widths[3] = std::max(widths[3], row.got.size());
    }
    std::ostringstream table;
    auto line = [&](const std::string& a, const std::string& b, const std::string& c,
                    const std::string& d, const std::string& e) {
        table << std::left << std::setw(static_cast<int>(widths[0])) << a << " | "
              << std::setw(static_cast<int>(widths[1])) << b << " | "
              << std::setw(static_cast<int>(widths[2])) << c << " | "
              << std::setw(static_cast<int>(widths[3])) << d << " | " << e << "\n";
    };
    line("input", "case", "expected", "got", "result");
    table << std::string(widths[0] + widths[1] + widths[2] + widths[3] + 18, '-') << "\n";
    int passed = 0, failed = 0, skipped = 0;
    for (const Row& row : rows) {
        line(row.input, row.kind, row.expected, row.got, row.verdict);
        passed += row.verdict == "pass";
        failed += row.verdict == "FAIL";
        skipped += row.verdict == "skip";
    }
    table << "matrix: " << passed << " passed, " << failed << " failed, " << skipped
          << " skipped\n";
    std::cout << table.str() << std::flush;
}

TEST(BadInputMatrix, EveryInputInEveryBadShape) {
    ASSERT_TRUE(fs::exists(CONESIM_BINARY)) << CONESIM_BINARY;
    std::vector<Case> cases;
    for (std::vector<Case> group :
         {parameterFileCases(), maskCases("pre-sample mask", "pre.pgm", "Pre-sample"),
          maskCases("post-sample mask", "post.pgm", "Post-sample"), sampleCases(), spectrumCases(),
          volumeMapCases(), planeCases()}) {
        cases.insert(cases.end(), group.begin(), group.end());
    }
    std::vector<Row> rows;
    for (const Case& c : cases) {
        rows.push_back(runCase(c));
    }
    printMatrix(rows);
    for (const Row& row : rows) {
        EXPECT_NE(row.verdict, "FAIL") << row.input << " / " << row.kind << ": " << row.got;
    }
}

}  // namespace
}  // namespace conesim
