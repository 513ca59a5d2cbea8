// The MetaImage headers beside the volume maps and the planes.
#include <gtest/gtest.h>

#include <filesystem>

#include "PrecalcFixtures.hpp"
#include "precalc/MapFileHeaders.hpp"
#include "precalc/MapNames.hpp"

namespace conesim {
namespace {

namespace fs = std::filesystem;
using testing::CapturedConsole;
using testing::readText;
using testing::sampleRecord;

class HeaderFolder : public ::testing::Test {
  protected:
    testing::ScratchDir dir;
    testing::WorkingDirectory cwd{dir.path()};
    CapturedConsole io;
    std::ostringstream log;
    SampleVolume sample = sampleRecord("Sample.bin", 5, 4, 3);
    VoxelSizes sizes{0.5f, 0.25f, 0.1f};
};

TEST_F(HeaderFolder, VolumeMapHeadersAreThreeDimensionalFloats) {
    ASSERT_EQ(writeVolumeMapHeaders(sample, sizes, io.console, log), kPrecalcOk);
    for (const char* map : {"Z_ref-PRE", "Z_iLR-PRE", "Z_iUD-PRE"}) {
        EXPECT_EQ(readText(std::string(map) + ".mhd"),
                  "ObjectType = Image\n"
                  "NDims = 3\n"
                  "BinaryData = True\n"
                  "BinaryDataByteOrderMSB = False\n"
                  "CompressedData = False\n"
                  "ElementSpacing = 0.5 0.25 0.1\n"
                  "DimSize = 5 4 3\n"
                  "ElementType = MET_FLOAT\n"
                  "ElementDataFile = " +
                      std::string(map) + "\n")
            << map;
    }
    EXPECT_EQ(io.out.str(), "");
    EXPECT_EQ(log.str(), "");
}

TEST_F(HeaderFolder, PlaneHeadersAreTwoDimensionalDoublesUnderTheirOwnNames) {
    ASSERT_EQ(writePlaneHeaders(sample, sizes, io.console, log), kPrecalcOk);
    for (const char* map : {"Z_ref-PRE", "Z_iLR-PRE", "Z_iUD-PRE"}) {
        EXPECT_EQ(readText(std::string(map) + ".pca.mhd"),
                  "ObjectType = Image\n"
                  "NDims = 2\n"
                  "BinaryData = True\n"
                  "BinaryDataByteOrderMSB = False\n"
                  "CompressedData = False\n"
                  "ElementSpacing = 0.5 0.25\n"
                  "DimSize = 5 4\n"
                  "ElementType = MET_DOUBLE\n"
                  "ElementDataFile = " +
                      std::string(map) + ".pca\n")
            << map;
        // The map's header is not touched by the plane's.
        EXPECT_FALSE(fs::exists(std::string(map) + ".mhd"));
    }
}

TEST_F(HeaderFolder, AHeaderUnderATemporaryNameStillNamesTheRealDataFile) {
    PendingMapFiles files(".tmp");
    files.add(planeSetNames());
    ASSERT_EQ(writePlaneHeaders(sample, sizes, io.console, log, &files), kPrecalcOk);
    EXPECT_FALSE(fs::exists("Z_iUD-PRE.pca.mhd"));
    const std::string text = readText("Z_iUD-PRE.pca.mhd.tmp");
    EXPECT_NE(text.find("\nElementDataFile = Z_iUD-PRE.pca\n"), std::string::npos) << text;
}

}  // namespace
}  // namespace conesim
