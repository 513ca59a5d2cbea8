#include "recon/BackProjection.hpp"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <memory>
#include <numbers>
#include <thread>

namespace conesim::tools {

namespace {

struct AngleTable {
    std::vector<double> cosines;
    std::vector<double> sines;
    std::vector<double> weights;
};

AngleTable angleTable(const ParallelGeometry& g) {
    AngleTable table;
    table.weights = projectionWeights(g.anglesDegrees);
    for (const double degrees : g.anglesDegrees) {
        const double t = degrees * std::numbers::pi / 180.0;
        table.cosines.push_back(std::cos(t));
        table.sines.push_back(std::sin(t));
    }
    return table;
}

// One thread's working space: a filter per input and the slice's rows and sums.
struct SliceWorker {
    std::vector<std::unique_ptr<ProjectionFilter>> filters;
    std::vector<float> row;
    std::vector<std::vector<float>> filtered;  //!< per input, angles x columns
    std::vector<std::vector<float>> sums;      //!< per input, dimZ x dimX
};

// Interpolates the sinogram rows around `row` and filters them, angle by angle.
void filterSlice(const ParallelGeometry& g, const std::vector<SinogramInput>& inputs, double row,
                 SliceWorker& worker) {
    const std::size_t width = g.columns;
    const auto low = static_cast<std::size_t>(std::floor(row));
    const std::size_t high = std::min<std::size_t>(low + 1, g.rows - 1);
    const double fraction = row - static_cast<double>(low);
    const std::size_t angles = g.anglesDegrees.size();
    for (std::size_t n = 0; n < inputs.size(); ++n) {
        const std::vector<float>& values = *inputs[n].values;
        for (std::size_t a = 0; a < angles; ++a) {
            const float* lowRow = values.data() + (a * g.rows + low) * width;
            const float* highRow = values.data() + (a * g.rows + high) * width;
            for (std::size_t c = 0; c < width; ++c) {
                worker.row[c] =
                    static_cast<float>((1.0 - fraction) * lowRow[c] + fraction * highRow[c]);
            }
            worker.filters[n]->apply(worker.row.data(), worker.filtered[n].data() + a * width);
        }
    }
}

void backProjectSlice(const ParallelGeometry& g, const AngleTable& table, SliceWorker& worker) {
    const std::int64_t width = g.columns;
    const std::size_t inputs = worker.filtered.size();
    for (auto& sum : worker.sums) {
        std::fill(sum.begin(), sum.end(), 0.0F);
    }
    const double last = static_cast<double>(width - 1);
    for (std::size_t a = 0; a < g.anglesDegrees.size(); ++a) {
        // Column index of voxel (i, k): i * step + base(k).
        const double step = table.cosines[a] * g.scaleX / g.columnSpacing;
        const double xStart =
            -static_cast<double>(g.centreX()) * g.scaleX * table.cosines[a] - g.columnOrigin;
        const auto weight = static_cast<float>(table.weights[a]);
        for (std::int64_t k = 0; k < g.dimZ; ++k) {
            const double z = static_cast<double>(k - g.centreZ()) * g.scaleZ;
            const double base = (xStart - z * table.sines[a]) / g.columnSpacing;
            // The voxels whose position lies on the detector, 0 <= index < last.
            std::int64_t first = 0;
            std::int64_t end = g.dimX;
            if (step > 1e-12) {
                first = static_cast<std::int64_t>(std::ceil(-base / step));
                end = static_cast<std::int64_t>(std::ceil((last - base) / step));
            } else if (step < -1e-12) {
                first = static_cast<std::int64_t>(std::floor((last - base) / step)) + 1;
                end = static_cast<std::int64_t>(std::floor(-base / step)) + 1;
            } else if (!(base >= 0.0 && base < last)) {
                end = 0;
            }
            first = std::clamp<std::int64_t>(first, 0, g.dimX);
            end = std::clamp<std::int64_t>(end, first, g.dimX);
            for (std::int64_t i = first; i < end; ++i) {
                const double index = base + static_cast<double>(i) * step;
                // Rounding at the ends of the range may step just outside the detector.
                if (!(index >= 0.0 && index < last)) {
                    continue;
                }
                const auto lowColumn = static_cast<std::int64_t>(index);
                const auto f = static_cast<float>(index - static_cast<double>(lowColumn));
                const std::size_t to = static_cast<std::size_t>(k * g.dimX + i);
                for (std::size_t n = 0; n < inputs; ++n) {
                    const float* q = worker.filtered[n].data() + a * width + lowColumn;
                    worker.sums[n][to] += weight * (q[0] + f * (q[1] - q[0]));
                }
            }
        }
    }
}

}  // namespace

BackProjectionResult reconstructVolumes(const ParallelGeometry& g,
                                        const std::vector<SinogramInput>& inputs,
                                        FilterWindow window, unsigned threads) {
    BackProjectionResult result;
    const auto voxels = static_cast<std::size_t>(g.dimX * g.dimY * g.dimZ);
    result.volumes.assign(inputs.size(), std::vector<float>(voxels, 0.0F));
    const AngleTable table = angleTable(g);
    if (threads == 0) {
        threads = std::max(1U, std::thread::hardware_concurrency());
    }
    threads =
        static_cast<unsigned>(std::min<std::int64_t>(threads, std::max<std::int64_t>(g.dimY, 1)));
    std::vector<SliceWorker> workers(threads);
    const std::size_t angles = g.anglesDegrees.size();
    for (SliceWorker& worker : workers) {
        for (const SinogramInput& input : inputs) {
            worker.filters.push_back(
                std::make_unique<ProjectionFilter>(input.kind, window, g.columns, g.columnSpacing));
            worker.filtered.emplace_back(angles * g.columns);
            worker.sums.emplace_back(static_cast<std::size_t>(g.dimX * g.dimZ));
        }
        worker.row.resize(g.columns);
    }
    std::atomic<std::int64_t> nextSlice{0};
    std::atomic<std::int64_t> outside{0};
    const auto work = [&](SliceWorker& worker) {
        for (std::int64_t y = nextSlice++; y < g.dimY; y = nextSlice++) {
            const double row = g.rowOfSlice(y);
            if (!(row >= 0.0 && row <= static_cast<double>(g.rows - 1))) {
                ++outside;
                continue;
            }
            filterSlice(g, inputs, row, worker);
            backProjectSlice(g, table, worker);
            for (std::size_t n = 0; n < inputs.size(); ++n) {
                const auto scale = static_cast<float>(inputs[n].scale);
                for (std::int64_t k = 0; k < g.dimZ; ++k) {
                    float* to = result.volumes[n].data() + (k * g.dimY + y) * g.dimX;
                    const float* from = worker.sums[n].data() + k * g.dimX;
                    for (std::int64_t i = 0; i < g.dimX; ++i) {
                        to[i] = from[i] * scale;
                    }
                }
            }
        }
    };
    std::vector<std::thread> pool;
    for (unsigned t = 1; t < threads; ++t) {
        pool.emplace_back(work, std::ref(workers[t]));
    }
    work(workers[0]);
    for (std::thread& thread : pool) {
        thread.join();
    }
    result.slicesOutside = outside;
    return result;
}

}  // namespace conesim::tools
