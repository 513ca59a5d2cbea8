// Runs the built program as a user would: in a scratch folder, with its console captured
// and standard input closed, and checks exit codes as the shell sees them and the files.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <regex>

#include "ParameterFileText.hpp"
#include "PrecalcRunSupport.hpp"
#include "TestSupport.hpp"

namespace conesim {
namespace {

namespace fs = std::filesystem;
using testing::readBytes;
using testing::readText;
using testing::ScratchDir;
using testing::writeText;

struct ProgramRun {
    int shellStatus = -1;
    std::string console;
};

ProgramRun runProgramIn(const ScratchDir& dir, const std::string& arguments) {
    const testing::ShellRun run = testing::runInFolder(dir, arguments);
    return ProgramRun{run.status, run.console};
}

// A 24 x 24 x 12 phantom of unit voxels: a sphere of value 1 and a slab of value 0.5
// tilted by 45 degrees in the x-z plane, so that both interface angle maps carry edges.
void writePhantom(const std::string& path) {
    std::vector<float> volume(24 * 24 * 12, 0.0F);
    for (int z = 0; z < 12; ++z) {
        for (int y = 0; y < 24; ++y) {
            for (int x = 0; x < 24; ++x) {
                float value = 0.0F;
                const double dx = x - 8.0, dy = y - 12.0, dz = z - 6.0;
                if (dx * dx + dy * dy + dz * dz <= 25.0) {
                    value = 1.0F;
                } else if (std::abs((x - 16) - (z - 6)) <= 2 && y > 3 && y < 20) {
                    value = 0.5F;
                }
                volume[(z * 24 + y) * 24 + x] = value;
            }
        }
    }
    testing::writeValues(path, volume);
}

std::map<int, std::string> phantomSettings(const std::string& mode) {
    return {{10, "24"}, {11, "24"}, {12, "12"}, {16, "1"}, {32, mode}, {39, "20000"}};
}

std::string runNameFromLog(const std::string& log) {
    std::smatch match;
    std::regex started("Run number ([0-9]+) started at:");
    EXPECT_TRUE(std::regex_search(log, match, started));
    return match.size() > 1 ? match[1].str() : std::string();
}

TEST(Program, ModeFiveRunFromStoredPlanes) {
    ScratchDir dir;
    fs::create_directory(dir.path() / "OUT");
    testing::writeValues(dir.file("Sample.bin"), std::vector<float>(20 * 20 * 4, 0.0F));
    writeText(dir.file("Spectrum"), "25 35\n");
    std::vector<double> attenuation(400, 0.001);
    std::vector<double> deflection(400, 0.0005);
    testing::writeValues(dir.file("Z_ref-PRE.pca"), attenuation);
    testing::writeValues(dir.file("Z_iLR-PRE.pca"), deflection);
    testing::writeValues(dir.file("Z_iUD-PRE.pca"), deflection);
    writeText(dir.file("params.txt"), testing::parameterFileText());

    ProgramRun run = runProgramIn(dir, "params.txt");
    ASSERT_EQ(run.shellStatus, 0) << run.console;
    const std::string log = readText(dir.file("OUT/Logger.txt"));
    const std::string name = runNameFromLog(log);
    EXPECT_TRUE(run.console.find("Run number " + name + " finished.\n") != std::string::npos);
    EXPECT_EQ(fs::file_size(dir.file("OUT/Final." + name + ".dat")), 40U * 40U * 4U);
    EXPECT_EQ(readText(dir.file("OUT/Final." + name + ".pgm")).rfind("P2\n", 0), 0U);
    EXPECT_NE(log.find("Running in mode: 5\n"), std::string::npos);
    EXPECT_NE(log.find("Run number " + name + " finished at:\n"), std::string::npos);

    // The debugging form names the files after the second argument and run 1.
    ASSERT_EQ(runProgramIn(dir, "params.txt debug").shellStatus, 0);
    EXPECT_TRUE(fs::exists(dir.file("OUT/debug.1.dat")));
}

TEST(Program, ExitStatusesAsTheShellSeesThem) {
    ScratchDir dir;
    EXPECT_EQ(runProgramIn(dir, "").shellStatus, 12);
    EXPECT_EQ(runProgramIn(dir, "absent.txt").shellStatus, 11);
    writeText(dir.file("params.txt"), testing::parameterFileText());
    ProgramRun noSample = runProgramIn(dir, "params.txt");
    EXPECT_EQ(noSample.shellStatus, 32);
    testing::writeValues(dir.file("Sample.bin"), std::vector<float>(20 * 20 * 4, 0.0F));
    ProgramRun noFolder = runProgramIn(dir, "params.txt");
    EXPECT_EQ(noFolder.shellStatus, 13);
    EXPECT_NE(noFolder.console.find("ERROR: Cannot open run log OUT/Logger.txt.\n"),
              std::string::npos);
    fs::create_directory(dir.path() / "OUT");
    ProgramRun noSpectrum = runProgramIn(dir, "params.txt");
    EXPECT_EQ(noSpectrum.shellStatus, 978 % 256);
    writeText(dir.file("Spectrum"), "30\n");
    EXPECT_EQ(runProgramIn(dir, "params.txt").shellStatus, 971 % 256);
}

TEST(Program, ModesThreeFourAndFiveAgreeOnThePlanes) {
    ScratchDir dir;
    fs::create_directory(dir.path() / "OUT");
    writePhantom(dir.file("Phantom.bin"));
    writeText(dir.file("Spectrum"), "30\n");
    auto settings = [](const std::string& mode) {
        auto values = phantomSettings(mode);
        values[17] = "Phantom.bin";
        return testing::parameterFileText(values);
    };
    const char* planes[] = {"Z_ref-PRE.pca", "Z_iLR-PRE.pca", "Z_iUD-PRE.pca"};
    const char* maps[] = {"Z_ref-PRE", "Z_iLR-PRE", "Z_iUD-PRE"};

    writeText(dir.file("params.txt"), settings("3"));
    ProgramRun three = runProgramIn(dir, "params.txt");
    ASSERT_EQ(three.shellStatus, 0) << three.console;
    std::vector<std::vector<std::uint8_t>> fromThree;
    for (const char* plane : planes) {
        fromThree.push_back(readBytes(dir.file(plane)));
        EXPECT_EQ(fromThree.back().size(), 24U * 24U * 8U) << plane;
        fs::remove(dir.file(plane));
    }
    for (const char* map : maps) {
        EXPECT_EQ(fs::file_size(dir.file(map)), 24U * 24U * 12U * 4U) << map;
    }
    // The LR angle map carries the sphere's and the slab's edges.
    bool anyEdge = false;
    for (float v : testing::readValues<float>(dir.file("Z_iLR-PRE"))) {
        anyEdge |= v != 0.0F;
    }
    EXPECT_TRUE(anyEdge);

    writeText(dir.file("params.txt"), settings("4"));
    ProgramRun four = runProgramIn(dir, "params.txt");
    ASSERT_EQ(four.shellStatus, 0) << four.console;
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(readBytes(dir.file(planes[i])), fromThree[i]) << planes[i];
    }

    // Mode 5 reads the planes and leaves them unchanged.
    writeText(dir.file("params.txt"), settings("5"));
    ProgramRun five = runProgramIn(dir, "params.txt");
    ASSERT_EQ(five.shellStatus, 0) << five.console;
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(readBytes(dir.file(planes[i])), fromThree[i]) << planes[i];
    }
    const std::string log = readText(dir.file("OUT/Logger.txt"));
    EXPECT_NE(log.find("Running in mode: 3\n"), std::string::npos);
    EXPECT_NE(log.find("Running in mode: 4\n"), std::string::npos);
    EXPECT_NE(log.find("Running in mode: 5\n"), std::string::npos);

    // Mode 4 without one of its maps stops with 972 before collapsing anything.
    fs::remove(dir.file("Z_iUD-PRE"));
    writeText(dir.file("params.txt"), settings("4"));
    ProgramRun missing = runProgramIn(dir, "params.txt");
    EXPECT_EQ(missing.shellStatus, 972 % 256);
    EXPECT_NE(missing.console.find("ERROR: Could not find files: Z_ref-PRE,Z_iLR-PRE or "
                                   "Z_iUD-PRE check directory\n"),
              std::string::npos);
}

}  // namespace
}  // namespace conesim
