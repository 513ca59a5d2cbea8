// Edge-illumination retrieval, pixel by pixel: the illumination curve of a flat field and
// of the sample, each a Gaussian, give the sample's transmission (ratio of the curves'
// integrals), refraction (shift of the centre) and dark field (growth of the variance).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "retrieve/FlatCurveFit.hpp"
#include "retrieve/GaussianFit.hpp"

namespace conesim::tools {

// The images of one sweep, one after the other: image k (width x height counts, row by row,
// from counts[k * width * height]) taken at analyser position positions[k], the positions
// already in detector pixels along the swept direction.
struct CurveStack {
    std::int64_t width = 0;
    std::int64_t height = 0;
    std::vector<double> positions;
    std::vector<std::uint32_t> counts;
};

// How a curve of three or more sample positions is retrieved: as the flat field's own
// measured curve attenuated, shifted and widened (the default), or with both curves
// Gaussians.
enum class CurveModel : std::uint8_t { kFlatCurve, kGaussian };

struct RetrievalSettings {
    CurveModel model = CurveModel::kFlatCurve;
    double minimumCounts = 20.0;  //!< a curve with fewer counts in all has no fit
    // Variance (pixels^2) of the flat-field curve when the flat field has only two
    // positions; the curve's centre and integral then come from its two points.
    std::optional<double> flatVariance;
};

// What became of the pixels: retrieved, or NaN because of the flat field's or the
// sample's curve (the flat field is looked at first).
struct RetrievalCounts {
    std::int64_t retrieved = 0;
    std::array<std::int64_t, kFitOutcomeCount> flat{};    //!< indexed by FitOutcome
    std::array<std::int64_t, kFitOutcomeCount> sample{};  //!< indexed by FitOutcome
};

struct RetrievalImages {
    std::vector<float> transmission;  //!< sample integral / flat integral
    std::vector<float> refraction;    //!< sample centre - flat centre, detector pixels
    std::vector<float> darkfield;     //!< sample variance - flat variance, pixels^2
    bool hasDarkfield = false;        //!< false for two sample positions
    RetrievalCounts counts;
};

// One pixel. With three or more positions in both sweeps the model of the settings gives
// the three signals; with two sample positions the
// sample's curve is the Gaussian of the flat field's variance through its two points (the
// two-image retrieval: no dark field). transmission, shift and growth are NaN where a curve
// has no Gaussian; the outcomes say why.
struct PixelResult {
    float transmission = 0.0F;
    float shift = 0.0F;
    float growth = 0.0F;
    FitOutcome flat = FitOutcome::kFitted;
    FitOutcome sample = FitOutcome::kFitted;
};
PixelResult retrievePixel(const std::vector<double>& flatPositions,
                          const std::vector<double>& flatCounts,
                          const std::vector<double>& samplePositions,
                          const std::vector<double>& sampleCounts,
                          const RetrievalSettings& settings);

// Every pixel. False (error set) when the stacks differ in size, a stack has fewer than two
// positions or not one image per position, or the flat field has two positions and no
// variance is given.
bool retrieveImages(const CurveStack& flat, const CurveStack& sample,
                    const RetrievalSettings& settings, RetrievalImages& images, std::string& error);

}  // namespace conesim::tools
