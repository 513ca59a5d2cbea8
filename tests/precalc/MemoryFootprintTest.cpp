// The precalculation streams the sample: none of its steps may hold more than a few
// slices, whatever the depth of the volume. Every allocation of this test program is
// counted, and the peak of the bytes live during each step is compared with slice sizes.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "PrecalcFixtures.hpp"
#include "precalc/Collapse.hpp"
#include "precalc/InterfaceAngleMaps.hpp"
#include "precalc/RefractiveIndexMap.hpp"

namespace {

std::atomic<long long> liveBytes{0};
std::atomic<long long> peakBytes{0};
constexpr std::size_t kHeader = 16;

void* countedAllocation(std::size_t size) {
    void* block = std::malloc(size + kHeader);
    if (block == nullptr) throw std::bad_alloc();
    *static_cast<std::size_t*>(block) = size;
    const long long now = liveBytes += static_cast<long long>(size);
    long long peak = peakBytes.load();
    while (now > peak && !peakBytes.compare_exchange_weak(peak, now)) {
    }
    return static_cast<char*>(block) + kHeader;
}

void countedRelease(void* pointer) {
    if (pointer == nullptr) return;
    void* block = static_cast<char*>(pointer) - kHeader;
    liveBytes -= static_cast<long long>(*static_cast<std::size_t*>(block));
    std::free(block);
}

}  // namespace

void* operator new(std::size_t size) {
    return countedAllocation(size);
}
void* operator new[](std::size_t size) {
    return countedAllocation(size);
}
void operator delete(void* pointer) noexcept {
    countedRelease(pointer);
}
void operator delete[](void* pointer) noexcept {
    countedRelease(pointer);
}
void operator delete(void* pointer, std::size_t) noexcept {
    countedRelease(pointer);
}
void operator delete[](void* pointer, std::size_t) noexcept {
    countedRelease(pointer);
}

namespace conesim {
namespace {

using testing::CapturedConsole;
using testing::sampleRecord;
using testing::ScratchDir;
using testing::WorkingDirectory;

// Bytes allocated on top of what was live when the measurement started.
class PeakMeter {
  public:
    PeakMeter() : base_(liveBytes.load()) { peakBytes = base_; }
    long long extra() const { return peakBytes.load() - base_; }

  private:
    long long base_;
};

TEST(MemoryFootprint, EveryStepHoldsAFewSlicesNotTheVolume) {
    ScratchDir dir;
    WorkingDirectory cwd(dir.path());
    const int dimX = 64, dimY = 64, dimZ = 96, depth = 4;
    const long long slice = 4LL * dimX * dimY;
    const long long volumeBytes = slice * dimZ;
    // Streams, file names and messages.
    const long long overhead = 64 * 1024;
    {
        const std::vector<float> volume = testing::makePhantom(dimX, dimY, dimZ);
        testing::writeValues("sample.bin", volume);
    }
    const SampleVolume sample = sampleRecord("sample.bin", dimX, dimY, dimZ);
    CapturedConsole io;
    std::ostringstream log;
    MapNames names;
    // Let the message streams grow to their final size before measuring.
    io.out.str(std::string(1 << 20, ' '));
    log.str(std::string(1 << 20, ' '));

    {
        PeakMeter meter;
        ASSERT_EQ(buildRefractiveIndexMap(sample, names, io.console, log, 1.0f, 3, 50.0),
                  kPrecalcOk);
        ::testing::Test::RecordProperty("refractiveIndexMapBytes", std::to_string(meter.extra()));
        EXPECT_LE(meter.extra(), slice + overhead);
    }
    {
        PeakMeter meter;
        ASSERT_EQ(buildInterfaceAngleMaps(sample, names, io.console, log, {1, 1, 1}, 3, depth, 3),
                  kPrecalcOk);
        ::testing::Test::RecordProperty("interfaceAngleMapsBytes", std::to_string(meter.extra()));
        EXPECT_LE(meter.extra(), (2 * depth + 2) * slice + overhead);
    }
    std::vector<float> lr;
    std::vector<double> attenuation;
    lr.reserve(dimX * dimY);
    attenuation.reserve(dimX * dimY);
    {
        PeakMeter meter;
        ASSERT_EQ(collapseInterfaceMap(io.console, log, names[1], names[0], dimX, dimY, dimZ, lr),
                  kPrecalcOk);
        // Angles, index pair, accumulator (2), preview plane (2) and its text, the result.
        ::testing::Test::RecordProperty("collapseInterfaceMapBytes", std::to_string(meter.extra()));
        EXPECT_LE(meter.extra(), 10 * slice + overhead);
    }
    {
        PeakMeter meter;
        ASSERT_EQ(collapseAttenuation(io.console, log, sample, names[0], 3, attenuation),
                  kPrecalcOk);
        ::testing::Test::RecordProperty("collapseAttenuationBytes", std::to_string(meter.extra()));
        EXPECT_LE(meter.extra(), 3 * slice + overhead);
    }
    EXPECT_GT(volumeBytes, 4 * (10 * slice + overhead));
}

}  // namespace
}  // namespace conesim
