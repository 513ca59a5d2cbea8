// The final images of a run: claimed when the run is named, so that a name that cannot take
// them ends the run before any work; written with their MetaImage header; never left as empty
// placeholders.
#include <gtest/gtest.h>

#include <filesystem>
#include <numeric>
#include <set>

#include "RunSetup.hpp"
#include "output/RunRecordFile.hpp"

namespace conesim {
namespace {

namespace fs = std::filesystem;
using testing::readText;
using testing::RunResult;
using testing::RunSetup;

bool endsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

std::set<std::string> namesIn(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

// The console up to the naming of the run, which every run below shares.
const std::string kConsoleBeforeNaming =
    "Parameter file loaded okay.\n\nStarting Sample loading.\n"
    "WARNING: Pre-sample mask image pre.pgm does not exist; the pre-sample mask is off.\n"
    "Sample loaded/size-verified-as okay.\n"
    "WARNING: Post-sample mask image post.pgm does not exist; the post-sample mask is off.\n";

// A run that cannot write its images ends when it is named, with 14 and the file's name, in
// run mode 3 before any map is computed; its record in the run log holds the error and no
// trailer, and no image file of the run is left in the folder.
struct UnwritableCase {
    std::vector<std::string> args;
    std::map<int, std::string> values;
    std::string message;
};

TEST(FinalImages, NamesThatCannotTakeTheImagesEndTheRunBeforeAnyWork) {
    const std::string run = RunSetup::runNameAt();
    const UnwritableCase cases[] = {
        {{"conesim", "params.txt", "sub/name"},
         {},
         "ERROR: Cannot create final image OUT/sub/name.1.pgm: No such file or directory."},
        {{"conesim", "params.txt"},
         {{47, "sub/Final"}},
         "ERROR: Cannot create final image OUT/sub/Final." + run +
             ".pgm: No such file or directory."},
        {{"conesim", "params.txt", "taken"},
         {},
         "ERROR: Cannot create final image OUT/taken.1.pgm: it is a folder, not a regular "
         "file."},
        {{"conesim", "params.txt", "head"},
         {},
         "ERROR: Cannot create final image OUT/head.1.dat.mhd: it is a folder, not a regular "
         "file."},
        {{"conesim", "params.txt", "full"},
         {},
         "ERROR: Cannot create final image OUT/full.1.dat: its link leads to /dev/full, a "
         "character device, not a regular file."},
    };
    for (const UnwritableCase& c : cases) {
        if (c.args.back() == "full" && !fs::exists("/dev/full")) {
            continue;
        }
        RunSetup setup;
        std::map<int, std::string> values = c.values;
        values[32] = "3";
        setup.setParameters(values);
        fs::create_directory("OUT/taken.1.pgm");
        fs::create_directory("OUT/head.1.dat.mhd");
        fs::create_symlink("/dev/full", "OUT/full.1.dat");
        const std::set<std::string> before = namesIn("OUT");
        RunResult result = setup.run(c.args);
        EXPECT_EQ(result.exitCode, 14) << result.console;
        EXPECT_EQ(result.console, kConsoleBeforeNaming + c.message + "\n");
        EXPECT_FALSE(fs::exists("Z_ref-PRE"));
        const std::string log = readText("OUT/Logger.txt");
        EXPECT_TRUE(endsWith(log, "The End Checkword was: END\n------------\n\n" +
                                      std::string("WARNING: Pre-sample mask image pre.pgm does "
                                                  "not exist; the pre-sample mask is off.\n") +
                                      "WARNING: Post-sample mask image post.pgm does not exist; "
                                      "the post-sample mask is off.\n" +
                                      c.message + "\n"))
            << log;
        std::set<std::string> after = before;
        after.insert("Logger.txt");
        EXPECT_EQ(namesIn("OUT"), after) << c.message;
    }
}

TEST(FinalImages, RawCountsHaveAMetaImageHeader) {
    RunSetup setup;
    setup.setParameters({{25, "40"}, {26, "30"}, {28, "0.5"}, {29, "0.1"}});
    ASSERT_EQ(setup.run().exitCode, 0);
    const std::string run = RunSetup::runNameAt();
    EXPECT_EQ(readText("OUT/Final." + run + ".dat.mhd"),
              "ObjectType = Image\nNDims = 2\nBinaryData = True\nBinaryDataByteOrderMSB = False\n"
              "CompressedData = False\nElementSpacing = 0.5 0.1\nDimSize = 40 30\n"
              "ElementType = MET_UINT\nElementDataFile = Final." +
                  run + ".dat\n");
    EXPECT_EQ(fs::file_size("OUT/Final." + run + ".dat"), 40U * 30U * 4U);
}

// A run that fails after it was named takes its placeholders away: no empty image stays, and
// the images of an earlier run of the same fixed name are left as they were. Its record says
// how it ended.
TEST(FinalImages, FailedRunLeavesNoPlaceholderButItsRecord) {
    RunSetup setup;
    fs::remove("Spectrum");
    EXPECT_EQ(setup.run().exitCode, 978);
    const std::string record = "Final." + RunSetup::runNameAt() + ".json";
    EXPECT_EQ(namesIn("OUT"), (std::set<std::string>{"Logger.txt", record}));
    RunRecord failed;
    std::string error;
    ASSERT_TRUE(readRunRecord("OUT/" + record, failed, error)) << error;
    EXPECT_EQ(failed.exitStatus, 978);
    EXPECT_FALSE(failed.finished);
    EXPECT_EQ(failed.files, std::vector<std::string>{"OUT/" + record});

    testing::writeText("OUT/dbg.1.pgm", "earlier");
    EXPECT_EQ(setup.run({"conesim", "params.txt", "dbg"}).exitCode, 978);
    EXPECT_EQ(namesIn("OUT"),
              (std::set<std::string>{"Logger.txt", record, "dbg.1.json", "dbg.1.pgm"}));
    EXPECT_EQ(readText("OUT/dbg.1.pgm"), "earlier");
}

// A finished run's record: how it was run, what it counted, the files it wrote and its
// settings as read.
TEST(FinalImages, FinishedRunRecordsWhatItDidBesideItsImages) {
    RunSetup setup;
    setup.setParameters({{25, "40"}, {26, "30"}});
    const RunResult result = setup.run({"conesim", "--threads", "2", "params.txt"});
    ASSERT_EQ(result.exitCode, 0) << result.console;
    const std::string base = "OUT/Final." + RunSetup::runNameAt();
    RunRecord record;
    std::string error;
    ASSERT_TRUE(readRunRecord(base + ".json", record, error)) << error;
    EXPECT_EQ(record.runName, RunSetup::runNameAt());
    EXPECT_EQ(record.parameterFile, "params.txt");
    EXPECT_EQ(record.seed, static_cast<std::uint64_t>(RunSetup::kClock) & 0xFFFFFFFFU);
    EXPECT_EQ(record.threads, 2);
    EXPECT_EQ(record.processes, 1);
    EXPECT_EQ(record.exitStatus, 0);
    EXPECT_EQ(record.stop, "none");
    EXPECT_TRUE(record.finished);
    EXPECT_EQ(record.photonsRun, record.photonsToRun);
    const std::vector<std::uint32_t> image = testing::readValues<std::uint32_t>(base + ".dat");
    EXPECT_EQ(record.hits, std::accumulate(image.begin(), image.end(), std::uint64_t{0}));
    EXPECT_NE(result.console.find("Detector scored " + std::to_string(record.hits) + " hits."),
              std::string::npos);
    EXPECT_EQ(record.files, (std::vector<std::string>{base + ".json", base + ".pgm", base + ".dat",
                                                      base + ".dat.mhd", "OUT/Logger.txt"}));
    ASSERT_EQ(record.settings.size(), 48U);
    EXPECT_EQ(record.settings[24], (std::pair<std::string, std::string>{"detectorWidth", "40"}));
    EXPECT_EQ(record.settings[31], (std::pair<std::string, std::string>{"runMode", "5"}));
    // Planes written by hand, without a record of how they were made.
    EXPECT_TRUE(record.planeRecord.empty());
}

}  // namespace
}  // namespace conesim
