// The whole mode-3 sample precalculation on a generated 256^3 phantom: refractive index
// map, both interface angle maps, both deflection collapses and the attenuation plane.
// Reported as voxels per second; the buffer sizes the steps hold are reported alongside.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

#include "input/SampleVolume.hpp"
#include "precalc/Collapse.hpp"
#include "precalc/InterfaceAngleMaps.hpp"
#include "precalc/MapNames.hpp"
#include "precalc/RefractiveIndexMap.hpp"
#include "util/Console.hpp"

namespace {

constexpr int kDim = 256;
constexpr int kAcross = 3;  // the default edge search settings
constexpr int kDepth = 20;

// Swallows the progress messages.
class NullBuffer : public std::streambuf {
  protected:
    int overflow(int c) override { return traits_type::not_eof(c); }
    std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

// Three spheres of different attenuation inside a slab whose front face is tilted in x.
float phantomValue(int x, int y, int z) {
    const double fx = static_cast<double>(x) / kDim;
    const double fy = static_cast<double>(y) / kDim;
    const double fz = static_cast<double>(z) / kDim;
    struct Sphere {
        double cx, cy, cz, r;
        float value;
    };
    const Sphere spheres[] = {
        {0.3, 0.3, 0.4, 0.15, 0.35f}, {0.7, 0.6, 0.5, 0.2, 0.6f}, {0.5, 0.75, 0.7, 0.1, 0.9f}};
    for (const Sphere& s : spheres) {
        const double dx = fx - s.cx, dy = fy - s.cy, dz = fz - s.cz;
        if (dx * dx + dy * dy + dz * dz < s.r * s.r) return s.value;
    }
    return (fz > 0.1 + 0.5 * fx && fz < 0.9) ? 0.2f : 0.0f;
}

class BenchDirectory {
  public:
    BenchDirectory()
        : previous_(std::filesystem::current_path()),
          path_(std::filesystem::temp_directory_path() /
                ("conesim-bench-precalc-" + std::to_string(::getpid()))) {
        std::filesystem::create_directories(path_);
        std::filesystem::current_path(path_);
    }
    ~BenchDirectory() {
        std::error_code ignored;
        std::filesystem::current_path(previous_, ignored);
        std::filesystem::remove_all(path_, ignored);
    }

  private:
    std::filesystem::path previous_;
    std::filesystem::path path_;
};

bool writePhantom(const std::string& path) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    std::vector<float> slice(static_cast<std::size_t>(kDim) * kDim);
    for (int z = 0; z < kDim; ++z) {
        for (int y = 0; y < kDim; ++y)
            for (int x = 0; x < kDim; ++x)
                slice[static_cast<std::size_t>(y) * kDim + x] = phantomValue(x, y, z);
        out.write(reinterpret_cast<const char*>(slice.data()),
                  static_cast<std::streamsize>(slice.size() * sizeof(float)));
    }
    return static_cast<bool>(out);
}

void BM_Mode3Precalculation(benchmark::State& state) {
    BenchDirectory directory;
    if (!writePhantom("phantom.bin")) {
        state.SkipWithError("cannot write the phantom");
        return;
    }
    conesim::SampleVolume sample;
    sample.loaded = true;
    sample.dimX = sample.dimY = sample.dimZ = kDim;
    sample.voxelCount = std::int64_t{kDim} * kDim * kDim;
    sample.path = "phantom.bin";

    NullBuffer sink;
    std::ostream out(&sink);
    std::ostream log(&sink);
    std::istringstream in;
    conesim::Console console{out, in};
    const conesim::VoxelSizes sizes{1.0f, 1.0f, 1.0f};

    for (auto _ : state) {
        conesim::MapNames names;
        std::vector<float> lr, ud;
        std::vector<double> attenuation;
        int status = conesim::buildRefractiveIndexMap(sample, names, console, log, 0.1f, 3, 100.0);
        status |= conesim::buildInterfaceAngleMaps(sample, names, console, log, sizes, kAcross,
                                                   kDepth, 3);
        status |=
            conesim::collapseInterfaceMap(console, log, names[1], names[0], kDim, kDim, kDim, lr);
        status |=
            conesim::collapseInterfaceMap(console, log, names[2], names[0], kDim, kDim, kDim, ud);
        status |= conesim::collapseAttenuation(console, log, sample, names[0], 3, attenuation);
        if (status != conesim::kPrecalcOk) {
            state.SkipWithError("a precalculation step failed");
            break;
        }
        benchmark::DoNotOptimize(lr.data());
        benchmark::DoNotOptimize(ud.data());
        benchmark::DoNotOptimize(attenuation.data());
    }
    const double slice = 4.0 * kDim * kDim;
    state.counters["voxels"] = benchmark::Counter(static_cast<double>(sample.voxelCount),
                                                  benchmark::Counter::kIsIterationInvariantRate);
    // What the steps hold, independent of the volume's depth (bytes).
    state.counters["refractiveBufferBytes"] = slice;
    state.counters["angleWindowBytes"] = slice * (2 * kDepth + 2);
    state.counters["collapseBufferBytes"] = slice * 8;
    state.counters["volumeBytes"] = slice * kDim;
}
BENCHMARK(BM_Mode3Precalculation)->Unit(benchmark::kMillisecond)->MinTime(3.0)->UseRealTime();

}  // namespace
