// The map and plane files as sets on the built program: what a completed run publishes, with
// MetaImage headers that describe their raw files; what a failed publication leaves; and
// that no temporary name is ever read as a map or plane.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "PrecalcRunSupport.hpp"

namespace conesim {
namespace {

namespace fs = std::filesystem;
using testing::folderSnapshot;
using testing::readText;
using testing::runInFolder;
using testing::ScratchDir;
using testing::ShellRun;
using testing::writeText;

const std::vector<std::string> kMapSet = {"Z_ref-PRE",     "Z_iLR-PRE",     "Z_iUD-PRE",
                                          "Z_ref-PRE.mhd", "Z_iLR-PRE.mhd", "Z_iUD-PRE.mhd",
                                          "Z-PRE.record"};
const std::vector<std::string> kPlaneSet = {
    "Z_ref-PRE.pca",     "Z_iLR-PRE.pca",     "Z_iUD-PRE.pca",
    "Z_iLR-PRE.pgm",     "Z_iUD-PRE.pgm",     "Z_ref-PRE.pca.mhd",
    "Z_iLR-PRE.pca.mhd", "Z_iUD-PRE.pca.mhd", "Z-PRE.pca.record"};

// The "key = value" lines of a MetaImage header.
std::map<std::string, std::string> headerFields(const std::string& path) {
    std::map<std::string, std::string> fields;
    std::istringstream lines(readText(path));
    std::string line;
    while (std::getline(lines, line)) {
        const std::size_t equals = line.find(" = ");
        if (equals != std::string::npos) {
            fields[line.substr(0, equals)] = line.substr(equals + 3);
        }
    }
    return fields;
}

// The header's data file lies beside it and holds exactly the elements the header states.
void expectHeaderDescribesItsFile(const ScratchDir& dir, const std::string& header,
                                  const std::string& raw, const std::string& type,
                                  const std::string& dims, const std::string& spacing) {
    const auto fields = headerFields(dir.file(header));
    EXPECT_EQ(fields.at("ElementDataFile"), raw) << header;
    EXPECT_EQ(fields.at("ElementType"), type) << header;
    EXPECT_EQ(fields.at("DimSize"), dims) << header;
    EXPECT_EQ(fields.at("ElementSpacing"), spacing) << header;
    EXPECT_EQ(fields.at("BinaryDataByteOrderMSB"), "False") << header;
    std::uintmax_t elements = 1;
    std::istringstream sizes(dims);
    for (std::uintmax_t size = 0; sizes >> size;) {
        elements *= size;
    }
    const std::uintmax_t elementBytes = type == "MET_DOUBLE" ? 8 : 4;
    EXPECT_EQ(fs::file_size(dir.file(raw)), elements * elementBytes) << header;
}

std::vector<std::string> sorted(std::vector<std::string> names) {
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> namesIn(const std::map<std::string, std::string>& snapshot) {
    std::vector<std::string> names;
    for (const auto& [name, content] : snapshot) {
        names.push_back(name);
    }
    return names;
}

TEST(MapSets, ModesThreeAndFourPublishTheirSetsWithHeadersThatDescribeTheRawFiles) {
    ScratchDir dir;
    const std::map<int, std::string> scales = {{13, "0.5"}, {14, "0.25"}, {15, "0.125"}};
    testing::writePrecalcInputs(dir, 3, testing::opaqueSample(), scales);
    const ShellRun three = runInFolder(dir, "params.txt Final");
    ASSERT_EQ(three.status, 0) << three.console;
    std::vector<std::string> expected = {"Sample.bin", "Spectrum", "params.txt"};
    expected.insert(expected.end(), kMapSet.begin(), kMapSet.end());
    expected.insert(expected.end(), kPlaneSet.begin(), kPlaneSet.end());
    EXPECT_EQ(namesIn(folderSnapshot(dir)), sorted(expected));
    for (const char* map : {"Z_ref-PRE", "Z_iLR-PRE", "Z_iUD-PRE"}) {
        expectHeaderDescribesItsFile(dir, std::string(map) + ".mhd", map, "MET_FLOAT", "20 20 8",
                                     "0.5 0.25 0.125");
        const std::string plane = std::string(map) + ".pca";
        expectHeaderDescribesItsFile(dir, plane + ".mhd", plane, "MET_DOUBLE", "20 20", "0.5 0.25");
    }
    // The plane of an opaque sample: 8 slices of 10 in every column.
    EXPECT_EQ(testing::readValues<double>(dir.file("Z_ref-PRE.pca")),
              std::vector<double>(400, 80.0));

    // Mode 4 publishes the same planes and headers again from the stored maps.
    const auto afterThree = folderSnapshot(dir);
    testing::writeText(dir.file("params.txt"), testing::precalcParameters(4, scales));
    const ShellRun four = runInFolder(dir, "params.txt Final");
    ASSERT_EQ(four.status, 0) << four.console;
    testing::writeText(dir.file("params.txt"), testing::precalcParameters(3, scales));
    EXPECT_EQ(folderSnapshot(dir), afterThree);
}

TEST(MapSets, ACompletedRunReplacesTheSetThatModeFiveUses) {
    ScratchDir dir;
    testing::writePrecalcInputs(dir, 3, testing::opaqueSample());
    ASSERT_EQ(runInFolder(dir, "params.txt Final").status, 0);
    writeText(dir.file("params.txt"), testing::precalcParameters(5));
    ASSERT_EQ(runInFolder(dir, "params.txt Opaque").status, 0);
    EXPECT_LT(testing::totalCounts(dir.file("OUT/Opaque.1.dat")), 20U);

    testing::writeValues(dir.file("Sample.bin"), testing::emptySample());
    writeText(dir.file("params.txt"), testing::precalcParameters(3));
    ASSERT_EQ(runInFolder(dir, "params.txt Final").status, 0);
    writeText(dir.file("params.txt"), testing::precalcParameters(5));
    ASSERT_EQ(runInFolder(dir, "params.txt Empty").status, 0);
    EXPECT_GT(testing::totalCounts(dir.file("OUT/Empty.1.dat")), 9000U);
}

// A file cannot replace a folder. Found before anything is renamed: neither the complete
// maps nor any plane of the new run appear, and the earlier set stays whole.
TEST(MapSets, AFolderUnderOneNameKeepsBothSetsOfTheRunUnpublished) {
    ScratchDir dir;
    testing::writePrecalcInputs(dir, 3, testing::opaqueSample());
    ASSERT_EQ(runInFolder(dir, "params.txt Final").status, 0);
    fs::remove(dir.file("Z_iUD-PRE.pgm"));
    fs::create_directory(dir.file("Z_iUD-PRE.pgm"));
    testing::writeValues(dir.file("Sample.bin"), testing::emptySample());
    const auto before = folderSnapshot(dir);
    const ShellRun run = runInFolder(dir, "params.txt Final");
    EXPECT_EQ(run.status, 875 % 256) << run.console;
    EXPECT_NE(run.console.find("ERROR: Cannot write file Z_iUD-PRE.pgm.\n"), std::string::npos)
        << run.console;
    EXPECT_EQ(run.console.find("Starting Monte-Carlo sim."), std::string::npos);
    EXPECT_EQ(folderSnapshot(dir), before);
}

// A name that is a link is replaced by the published file; the file it pointed to is left
// as it was.
TEST(MapSets, ALinkUnderAPlaneNameIsReplacedNotWrittenThrough) {
    ScratchDir dir;
    testing::writePrecalcInputs(dir, 3, testing::opaqueSample());
    writeText(dir.file("elsewhere.bin"), "not a plane");
    fs::create_symlink("elsewhere.bin", dir.file("Z_ref-PRE.pca"));
    ASSERT_EQ(runInFolder(dir, "params.txt Final").status, 0);
    EXPECT_FALSE(fs::is_symlink(dir.file("Z_ref-PRE.pca")));
    EXPECT_EQ(fs::file_size(dir.file("Z_ref-PRE.pca")), 400U * 8U);
    EXPECT_EQ(readText(dir.file("elsewhere.bin")), "not a plane");
}

// Files under temporary names (here of a process that no longer runs) are neither read as
// maps or planes nor touched by another run.
TEST(MapSets, TemporaryNamesAreNeverReadAsMapsOrPlanes) {
    ScratchDir dir;
    testing::writePrecalcInputs(dir, 5, testing::emptySample());
    const std::vector<float> volume(20 * 20 * 8, 0.0F);
    const std::vector<double> plane(400, 0.0);
    for (const char* map : {"Z_ref-PRE", "Z_iLR-PRE", "Z_iUD-PRE"}) {
        testing::writeValues(dir.file(std::string(map) + ".partial-99999999"), volume);
        testing::writeValues(dir.file(std::string(map) + ".pca.partial-99999999"), plane);
    }
    const ShellRun five = runInFolder(dir, "params.txt Final");
    EXPECT_EQ(five.status, 971 % 256) << five.console;
    writeText(dir.file("params.txt"), testing::precalcParameters(4));
    const ShellRun four = runInFolder(dir, "params.txt Final");
    EXPECT_EQ(four.status, 972 % 256) << four.console;

    const auto before = folderSnapshot(dir);
    writeText(dir.file("params.txt"), testing::precalcParameters(3));
    ASSERT_EQ(runInFolder(dir, "params.txt Final").status, 0);
    for (const auto& [name, content] : before) {
        if (name.find(".partial-") != std::string::npos) {
            EXPECT_EQ(readText(dir.file(name)), content) << name;
        }
    }
    EXPECT_EQ(testing::temporaryNames(folderSnapshot(dir)).size(), 6U);
}

}  // namespace
}  // namespace conesim
