// Reconstruction of all three volumes (attenuation, decrement and dark field) of a 256^3
// grid from 360 projections of 256 x 256 pixels over 180 degrees, on two threads: analytic
// sinograms of a disc, filtered and back-projected as conesim-recon does. Reported as the
// wall time of one whole reconstruction.
#include <benchmark/benchmark.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "recon/BackProjection.hpp"

namespace {

using namespace conesim::tools;

constexpr int kSize = 256;
constexpr int kAngles = 360;

ParallelGeometry benchGeometry() {
    ParallelGeometry g;
    g.columns = kSize;
    g.rows = kSize;
    g.columnSpacing = 1.0;
    g.rowSpacing = 1.0;
    g.columnOrigin = -kSize / 2.0;
    g.rowOrigin = -kSize / 2.0;
    g.dimX = g.dimY = g.dimZ = kSize;
    for (int a = 0; a < kAngles; ++a) {
        g.anglesDegrees.push_back(180.0 * a / kAngles);
    }
    return g;
}

std::vector<float> discSinogram(const ParallelGeometry& g) {
    std::vector<float> values(static_cast<std::size_t>(kSize) * kSize * kAngles);
    for (int a = 0; a < kAngles; ++a) {
        const double centre = 20.0 * std::cos(g.anglesDegrees[a] * std::numbers::pi / 180.0);
        for (int row = 0; row < kSize; ++row) {
            for (int c = 0; c < kSize; ++c) {
                const double s = c - kSize / 2.0 - centre;
                values[(static_cast<std::size_t>(a) * kSize + row) * kSize + c] =
                    s * s < 80.0 * 80.0 ? static_cast<float>(2.0 * std::sqrt(6400.0 - s * s))
                                        : 0.0F;
            }
        }
    }
    return values;
}

void BM_ReconstructThreeVolumes(benchmark::State& state) {
    const ParallelGeometry g = benchGeometry();
    const std::vector<float> sinogram = discSinogram(g);
    for (auto _ : state) {
        const BackProjectionResult result =
            reconstructVolumes(g,
                               {{&sinogram, FilterKind::kRamp, 1.0},
                                {&sinogram, FilterKind::kHilbert, 1.0},
                                {&sinogram, FilterKind::kRamp, 1.0}},
                               FilterWindow::kRamLak, static_cast<unsigned>(state.range(0)));
        benchmark::DoNotOptimize(result.volumes[0].data());
    }
    state.counters["voxels"] = static_cast<double>(kSize) * kSize * kSize;
}
BENCHMARK(BM_ReconstructThreeVolumes)
    ->Arg(2)
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();

}  // namespace
