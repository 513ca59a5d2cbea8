// Slice-by-slice filtered back-projection of parallel-beam sinograms onto the sample's grid.
// Every sample slice y takes its detector row by linear interpolation between the two rows
// that see it (ParallelGeometry::rowOfSlice); slices no row sees stay 0. The filtered
// projections are sampled at s = x cos t - z sin t by linear interpolation (0 beyond the
// detector) and summed with the weights of projectionWeights:
//   f(x, z) = sum over angles of weight * q_t(x cos t - z sin t).
// Several sinograms of one scan are reconstructed together: they share the positions and
// interpolation weights, which are the bulk of the work.
#pragma once

#include <cstdint>
#include <vector>

#include "recon/ParallelGeometry.hpp"
#include "recon/ProjectionFilter.hpp"

namespace conesim::tools {

// One sinogram: columns x rows x angles floats, columns fastest, one detector image per
// angle; filtered with kind and multiplied by scale after the back-projection.
struct SinogramInput {
    const std::vector<float>* values = nullptr;
    FilterKind kind = FilterKind::kRamp;
    double scale = 1.0;
};

struct BackProjectionResult {
    std::vector<std::vector<float>> volumes;  //!< per input, dimX x dimY x dimZ, x fastest
    std::int64_t slicesOutside = 0;           //!< sample slices no detector row sees
};

// threads 0: as many as the machine has cores.
BackProjectionResult reconstructVolumes(const ParallelGeometry& geometry,
                                        const std::vector<SinogramInput>& inputs,
                                        FilterWindow window, unsigned threads);

}  // namespace conesim::tools
