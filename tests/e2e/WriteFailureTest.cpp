// Output files written to a full device: each file the program writes (final images, progress
// images, run log, volume maps, planes, previews and their headers) fails every write, through
// a link to /dev/full (the run log) or the full-disk shim (the files made under temporary
// names, which are always created new). The run must name the file it could
// not write and end with a non-zero status, never pass the run off as a success.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cctype>
#include <filesystem>
#include <map>
#include <ostream>
#include <string>
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

constexpr int kOutputIncomplete = 14;
constexpr int kMapWriteFailed = 875 % 256;
constexpr const char* kFullDevice = "/dev/full";

struct ProgramRun {
    int shellStatus = -1;  //!< as a shell reports it
    std::string console;
    std::string log;
};

// Runs the program in the folder under a time limit (124 means the run hung), with no core
// file; statuses 129..192 are deaths by a signal. environment: NAME=VALUE added.
ProgramRun runProgramIn(const ScratchDir& dir, const std::string& arguments,
                        const std::vector<std::string>& environment = {}) {
    testing::ProgramCall call{CONESIM_BINARY, testing::words(arguments), dir.path()};
    call.environment = environment;
    call.timeoutSeconds = 60;
    call.mergeErrorIntoOutput = true;
    const testing::ProgramResult result = testing::runProgram(call);
    ProgramRun run;
    run.shellStatus = result.shellStatus();
    run.console = result.out;
    std::error_code error;
    if (fs::is_regular_file(dir.file("OUT/Logger.txt"), error)) {
        run.log = readText(dir.file("OUT/Logger.txt"));
    }
    return run;
}

// A sound run's inputs: clear masks, a zero sample of dimX x dimY x dimZ, a spectrum, and in
// mode 4 zero volume maps, in mode 5 stored planes.
void writeInputs(const ScratchDir& dir, int mode, int dimX, int dimY, int dimZ,
                 std::map<int, std::string> overrides) {
    fs::create_directory(dir.path() / "OUT");
    overrides.emplace(10, std::to_string(dimX));
    overrides.emplace(11, std::to_string(dimY));
    overrides.emplace(12, std::to_string(dimZ));
    overrides.emplace(32, std::to_string(mode));
    writeText(dir.file("params.txt"), testing::parameterFileText(overrides));
    // Masks whose single value is clear; the pixels the file lacks are clear as well.
    writeText(dir.file("pre.pgm"), "P2\n# clear\n1 1\n255\n0\n");
    writeText(dir.file("post.pgm"), "P2\n# clear\n1 1\n255\n0\n");
    const std::size_t voxels = static_cast<std::size_t>(dimX) * dimY * dimZ;
    testing::writeValues(dir.file("Sample.bin"), std::vector<float>(voxels, 0.0F));
    writeText(dir.file("Spectrum"), "25 35\n");
    if (mode == 4) {
        for (const char* map : {"Z_ref-PRE", "Z_iLR-PRE", "Z_iUD-PRE"}) {
            testing::writeValues(dir.file(map), std::vector<float>(voxels, 0.0F));
        }
    }
    if (mode == 5) {
        const std::size_t cells = static_cast<std::size_t>(dimX) * dimY;
        testing::writeValues(dir.file("Z_ref-PRE.pca"), std::vector<double>(cells, 0.001));
        testing::writeValues(dir.file("Z_iLR-PRE.pca"), std::vector<double>(cells, 0.0005));
        testing::writeValues(dir.file("Z_iUD-PRE.pca"), std::vector<double>(cells, 0.0005));
    }
}

void linkToFullDevice(const ScratchDir& dir, const std::string& name) {
    fs::create_symlink(kFullDevice, dir.file(name));
}

bool stillLinkedToFullDevice(const ScratchDir& dir, const std::string& name) {
    std::error_code error;
    return fs::is_symlink(dir.file(name), error) &&
           fs::read_symlink(dir.file(name), error) == kFullDevice;
}

std::uintmax_t sizeOf(const ScratchDir& dir, const std::string& name) {
    std::error_code error;
    const std::uintmax_t size = fs::file_size(dir.file(name), error);
    return error ? 0 : size;
}

class WriteFailure : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!fs::exists(kFullDevice)) {
            GTEST_SKIP() << kFullDevice << " does not exist on this system";
        }
    }
};

// Runs the program with every write to the given files (under their temporary names) failing
// as on a full disk: the full-disk shim is loaded into the program and told the names.
ProgramRun runWithTemporaryOnFullDevice(const ScratchDir& dir,
                                        const std::vector<std::string>& names,
                                        const std::string& arguments) {
    std::string list;
    for (const std::string& name : names) {
        list += (list.empty() ? "" : ":") + name;
    }
    return runProgramIn(dir, arguments,
                        {std::string("LD_PRELOAD=") + CONESIM_FULL_DISK,
                         "CONESIM_FULL_FILES=" + list, "ASAN_OPTIONS=verify_asan_link_order=0"});
}

ProgramRun runWithTemporaryOnFullDevice(const ScratchDir& dir, const std::string& name,
                                        const std::string& arguments) {
    return runWithTemporaryOnFullDevice(dir, std::vector<std::string>{name}, arguments);
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// Nothing of the run's temporary files is left in the output folder.
bool noTemporaryFileIn(const ScratchDir& dir) {
    for (const auto& entry : fs::directory_iterator(dir.file("OUT"))) {
        if (contains(entry.path().filename().string(), ".partial-")) {
            return false;
        }
    }
    return true;
}

// --- Detector images and run log (mode 5, debugging run named Final, run 1) -------------
//
// Images are written under a temporary name (the name followed by ".partial-" and the process
// id) and renamed into place once complete. With the temporary name on the full device the
// write fails part-way: the run names the image, finishes its other files, says so in the
// run log instead of "Final image wrote.", and leaves no empty or partial file of that name.

TEST_F(WriteFailure, FinalPgmOnFullDevice) {
    ScratchDir dir;
    writeInputs(dir, 5, 20, 20, 4, {});
    const ProgramRun run = runWithTemporaryOnFullDevice(dir, "OUT/Final.1.pgm", "params.txt Final");
    EXPECT_EQ(run.shellStatus, kOutputIncomplete) << run.console;
    const std::string error = "ERROR: Cannot write output file OUT/Final.1.pgm.\n";
    EXPECT_TRUE(contains(run.console, error)) << run.console;
    // The rest of the run finishes: the raw image is complete and the log has its trailer.
    EXPECT_EQ(sizeOf(dir, "OUT/Final.1.dat"), 40U * 40U * 4U);
    EXPECT_TRUE(contains(run.console, "Run number 1 finished.\n"));
    EXPECT_TRUE(contains(run.log, error + "\n------------\nRun number 1 finished at:\n"))
        << run.log;
    EXPECT_FALSE(contains(run.log, "Final image wrote."));
    EXPECT_FALSE(fs::exists(dir.file("OUT/Final.1.pgm")));
    EXPECT_TRUE(noTemporaryFileIn(dir));
}

TEST_F(WriteFailure, FinalRawOnFullDevice) {
    ScratchDir dir;
    writeInputs(dir, 5, 20, 20, 4, {});
    const ProgramRun run = runWithTemporaryOnFullDevice(dir, "OUT/Final.1.dat", "params.txt Final");
    EXPECT_EQ(run.shellStatus, kOutputIncomplete) << run.console;
    const std::string error = "ERROR: Cannot write output file OUT/Final.1.dat.\n";
    EXPECT_TRUE(contains(run.console, error)) << run.console;
    EXPECT_TRUE(contains(run.log, error + "\n------------\n")) << run.log;
    EXPECT_FALSE(contains(run.log, "Final image wrote."));
    EXPECT_EQ(readText(dir.file("OUT/Final.1.pgm")).rfind("P2\n40 40\n255\n", 0), 0U);
    // No raw image, so no header describing one.
    EXPECT_FALSE(fs::exists(dir.file("OUT/Final.1.dat")));
    EXPECT_FALSE(fs::exists(dir.file("OUT/Final.1.dat.mhd")));
    EXPECT_TRUE(noTemporaryFileIn(dir));
}

TEST_F(WriteFailure, FinalHeaderOnFullDevice) {
    ScratchDir dir;
    writeInputs(dir, 5, 20, 20, 4, {});
    const ProgramRun run =
        runWithTemporaryOnFullDevice(dir, "OUT/Final.1.dat.mhd", "params.txt Final");
    EXPECT_EQ(run.shellStatus, kOutputIncomplete) << run.console;
    const std::string error = "ERROR: Cannot write output file OUT/Final.1.dat.mhd.\n";
    EXPECT_TRUE(contains(run.console, error)) << run.console;
    EXPECT_TRUE(contains(run.log, error + "\n------------\n")) << run.log;
    EXPECT_FALSE(contains(run.log, "Final image wrote."));
    EXPECT_EQ(sizeOf(dir, "OUT/Final.1.dat"), 40U * 40U * 4U);
    EXPECT_FALSE(fs::exists(dir.file("OUT/Final.1.dat.mhd")));
    EXPECT_TRUE(noTemporaryFileIn(dir));
}

// Images larger than one write block fail in the middle of the file, not only at its close.
TEST_F(WriteFailure, LargeFinalImagesOnFullDevice) {
    ScratchDir dir;
    writeInputs(dir, 5, 20, 20, 4, {{25, "600"}, {26, "600"}});
    const ProgramRun run = runWithTemporaryOnFullDevice(
        dir, std::vector<std::string>{"OUT/Final.1.pgm", "OUT/Final.1.dat"}, "params.txt Final");
    EXPECT_EQ(run.shellStatus, kOutputIncomplete) << run.console;
    EXPECT_TRUE(contains(run.console, "ERROR: Cannot write output file OUT/Final.1.pgm.\n"))
        << run.console;
    EXPECT_TRUE(contains(run.console, "ERROR: Cannot write output file OUT/Final.1.dat.\n"))
        << run.console;
    EXPECT_FALSE(fs::exists(dir.file("OUT/Final.1.pgm")));
    EXPECT_FALSE(fs::exists(dir.file("OUT/Final.1.dat")));
    EXPECT_TRUE(noTemporaryFileIn(dir));
}

// A final image name that leads to a device is refused when the run is named: exit 14 at once,
// before any photon, and the link is left alone.
TEST_F(WriteFailure, FinalImageNameOnFullDeviceIsRefusedAtOnce) {
    ScratchDir dir;
    writeInputs(dir, 3, 20, 20, 4, {});
    linkToFullDevice(dir, "OUT/Final.1.pgm");
    const ProgramRun run = runProgramIn(dir, "params.txt Final");
    EXPECT_EQ(run.shellStatus, kOutputIncomplete) << run.console;
    EXPECT_TRUE(contains(run.console,
                         "ERROR: Cannot create final image OUT/Final.1.pgm: its link leads to "
                         "/dev/full, a character device, not a regular file.\n"))
        << run.console;
    EXPECT_FALSE(contains(run.console, "Calculating"));
    EXPECT_FALSE(contains(run.console, "Starting Monte-Carlo sim."));
    EXPECT_FALSE(fs::exists(dir.file("OUT/Final.1.dat")));
    EXPECT_TRUE(stillLinkedToFullDevice(dir, "OUT/Final.1.pgm"));
}

// Progress images every 1000 photons. Which photon numbers are scored depends on the clock
// seed, so every progress image's temporary name is a link; most of them are written, and
// each must fail without leaving a file.
TEST_F(WriteFailure, ProgressImagesOnFullDevice) {
    ScratchDir dir;
    writeInputs(dir, 5, 20, 20, 4, {{41, "1000"}});
    std::vector<std::string> names;
    for (int n = 1000; n < 10000; n += 1000) {
        names.push_back("OUT/Part.1." + std::to_string(n) + ".pgm");
    }
    const ProgramRun run = runWithTemporaryOnFullDevice(dir, names, "params.txt Final");
    EXPECT_EQ(run.shellStatus, kOutputIncomplete) << run.console;
    int reported = 0;
    for (const std::string& name : names) {
        reported += contains(run.console, "ERROR: Cannot write output file " + name + ".\n");
        EXPECT_FALSE(fs::exists(dir.file(name))) << name;
    }
    EXPECT_GE(reported, 1) << run.console;
    // The run itself completes, with final images that are whole.
    EXPECT_TRUE(contains(run.console, "Run complete.\n"));
    EXPECT_EQ(sizeOf(dir, "OUT/Final.1.dat"), 40U * 40U * 4U);
    EXPECT_FALSE(contains(run.console, "ERROR: Cannot write output file OUT/Final."));
    EXPECT_TRUE(contains(run.log, "Final image wrote.\n"));
}

TEST_F(WriteFailure, RunLogOnFullDevice) {
    ScratchDir dir;
    writeInputs(dir, 5, 20, 20, 4, {});
    linkToFullDevice(dir, "OUT/Logger.txt");
    const ProgramRun run = runProgramIn(dir, "params.txt Final");
    EXPECT_EQ(run.shellStatus, kOutputIncomplete) << run.console;
    EXPECT_NE(run.console.find("ERROR: Cannot write run log OUT/Logger.txt.\n"), std::string::npos)
        << run.console;
    EXPECT_EQ(sizeOf(dir, "OUT/Final.1.dat"), 40U * 40U * 4U);
    EXPECT_TRUE(stillLinkedToFullDevice(dir, "OUT/Logger.txt"));
}

// --- Maps, planes, previews and headers (modes 3 and 4) ---------------------------------
//
// These files are written under a temporary name ending in ".partial-<process id>" and
// renamed into place once the whole set is complete. The writes to one of them fail as on
// a full disk.

// Every file in the folder itself (not in OUT) with its bytes, but the console capture.
std::map<std::string, std::string> folderFiles(const ScratchDir& dir) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(dir.path())) {
        const std::string name = entry.path().filename().string();
        if (name != "console.txt" && name != "OUT") {
            files[name] = entry.is_symlink() ? "link" : readText(entry.path().string());
        }
    }
    return files;
}

// The maps and planes of an earlier run, which a failed run must leave as they are.
void writeEarlierSet(const ScratchDir& dir, int mode) {
    std::vector<std::string> names = {"Z_ref-PRE.pca",     "Z_iLR-PRE.pca",    "Z_iUD-PRE.pca",
                                      "Z_iLR-PRE.pgm",     "Z_iUD-PRE.pgm",    "Z_ref-PRE.pca.mhd",
                                      "Z_iLR-PRE.pca.mhd", "Z_iUD-PRE.pca.mhd"};
    if (mode == 3) {
        for (const char* map : {"Z_ref-PRE", "Z_iLR-PRE", "Z_iUD-PRE", "Z_ref-PRE.mhd",
                                "Z_iLR-PRE.mhd", "Z_iUD-PRE.mhd"}) {
            names.emplace_back(map);
        }
    }
    for (const std::string& name : names) {
        writeText(dir.file(name), "earlier " + name);
    }
}

struct MapCase {
    int mode;
    const char* name;
    int dimX;
    int dimY;
    int dimZ;
};

// Shown by the test runner for each parameter.
void PrintTo(const MapCase& c, std::ostream* os) {
    *os << "mode " << c.mode << ", " << c.name << " on the full device, sample " << c.dimX << "x"
        << c.dimY << "x" << c.dimZ;
}

std::string caseName(const ::testing::TestParamInfo<MapCase>& info) {
    std::string name = "Mode" + std::to_string(info.param.mode) + "_";
    for (const char* c = info.param.name; *c != '\0'; ++c) {
        name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
    }
    return name + (info.param.dimX > 20 ? "_Large" : "");
}

class MapWriteFailure : public ::testing::TestWithParam<MapCase> {
  protected:
    void SetUp() override {
        if (!fs::exists(kFullDevice)) {
            GTEST_SKIP() << kFullDevice << " does not exist on this system";
        }
    }
};

// The file on the full device is named on the console and in the log by its real name, the
// run ends with 875 before any photon, no final image appears, and the folder is exactly as
// before the run: the earlier maps and planes unchanged, no temporary file left behind.
TEST_P(MapWriteFailure, NamesTheFileAndLeavesTheEarlierSet) {
    const MapCase& c = GetParam();
    ScratchDir dir;
    writeInputs(dir, c.mode, c.dimX, c.dimY, c.dimZ, {});
    writeEarlierSet(dir, c.mode);
    const std::map<std::string, std::string> before = folderFiles(dir);
    const ProgramRun run = runWithTemporaryOnFullDevice(dir, c.name, "params.txt Final");
    const std::string message = std::string("ERROR: Cannot write file ") + c.name + ".\n";
    EXPECT_EQ(run.shellStatus, kMapWriteFailed) << run.console;
    EXPECT_NE(run.console.find(message), std::string::npos) << run.console;
    EXPECT_NE(run.log.find(message), std::string::npos) << run.log;
    EXPECT_EQ(run.console.find("Starting Monte-Carlo sim."), std::string::npos);
    EXPECT_FALSE(fs::exists(dir.file("OUT/Final.1.pgm")));
    EXPECT_FALSE(fs::exists(dir.file("OUT/Final.1.dat")));
    EXPECT_EQ(folderFiles(dir), before);
}

INSTANTIATE_TEST_SUITE_P(
    VolumeMapsPlanesAndPreviews, MapWriteFailure,
    ::testing::Values(
        MapCase{3, "Z_ref-PRE", 20, 20, 4}, MapCase{3, "Z_iLR-PRE", 20, 20, 4},
        MapCase{3, "Z_iUD-PRE", 20, 20, 4}, MapCase{3, "Z_ref-PRE.pca", 20, 20, 4},
        MapCase{3, "Z_iLR-PRE.pca", 20, 20, 4}, MapCase{3, "Z_iUD-PRE.pca", 20, 20, 4},
        MapCase{3, "Z_iLR-PRE.pgm", 20, 20, 4}, MapCase{3, "Z_iUD-PRE.pgm", 20, 20, 4},
        MapCase{3, "Z_ref-PRE.mhd", 20, 20, 4}, MapCase{3, "Z_iUD-PRE.mhd", 20, 20, 4},
        MapCase{3, "Z_ref-PRE.pca.mhd", 20, 20, 4}, MapCase{3, "Z_iUD-PRE.pca.mhd", 20, 20, 4},
        // Slices and planes larger than a stream buffer fail inside the write loop.
        MapCase{3, "Z_ref-PRE", 64, 64, 8}, MapCase{3, "Z_iLR-PRE", 64, 64, 8},
        MapCase{3, "Z_iUD-PRE", 64, 64, 8}, MapCase{3, "Z_ref-PRE.pca", 64, 64, 8},
        MapCase{3, "Z_iLR-PRE.pca", 64, 64, 8}, MapCase{3, "Z_iUD-PRE.pca", 64, 64, 8},
        MapCase{3, "Z_iLR-PRE.pgm", 64, 64, 8}, MapCase{3, "Z_iUD-PRE.pgm", 64, 64, 8},
        // Mode 4 writes only the planes and previews.
        MapCase{4, "Z_ref-PRE.pca", 20, 20, 4}, MapCase{4, "Z_iLR-PRE.pca", 20, 20, 4},
        MapCase{4, "Z_iUD-PRE.pca", 20, 20, 4}, MapCase{4, "Z_iLR-PRE.pgm", 20, 20, 4},
        MapCase{4, "Z_iUD-PRE.pgm", 20, 20, 4}, MapCase{4, "Z_iLR-PRE.pca.mhd", 20, 20, 4}),
    caseName);

}  // namespace
}  // namespace conesim
