#include "retrieve/PixelRetrieval.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <system_error>
#include <thread>

namespace conesim::tools {

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// The flat field's curve: fitted, or through two points of the given variance.
FitOutcome flatCurve(const std::vector<double>& positions, const std::vector<double>& counts,
                     const RetrievalSettings& settings, GaussianCurve& curve) {
    if (positions.size() >= 3) {
        return fitGaussian(positions, counts, settings.minimumCounts, curve);
    }
    if (counts[0] + counts[1] < settings.minimumCounts ||
        !gaussianThroughTwoPoints(positions[0], counts[0], positions[1], counts[1],
                                  settings.flatVariance.value_or(0.0), curve)) {
        return FitOutcome::kTooFewCounts;
    }
    return FitOutcome::kFitted;
}

std::string positionText(double position) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", position);
    return text;
}

// Why positions cannot give a curve because some repeat (empty when they can): two
// positions must differ, and a fit needs three different ones.
std::string repeatedPositions(std::vector<double> positions) {
    std::sort(positions.begin(), positions.end());
    const auto distinct = static_cast<std::size_t>(std::unique(positions.begin(), positions.end()) -
                                                   positions.begin());
    if (positions.size() == 2 && distinct < 2) {
        return "'s two positions are both " + positionText(positions[0]) +
               "; the two-image retrieval needs two different positions";
    }
    if (positions.size() >= 3 && distinct < 3) {
        return " has " + std::to_string(positions.size()) + " positions but only " +
               std::to_string(distinct) +
               " different ones; fitting a curve needs three or more different positions";
    }
    return "";
}

// The flat-curve model: the flat field needs three positions with counts, the sample's
// curve is its measured curve attenuated, shifted and widened.
PixelResult retrieveWithFlatCurve(const std::vector<double>& flatPositions,
                                  const std::vector<double>& flatCounts,
                                  const std::vector<double>& samplePositions,
                                  const std::vector<double>& sampleCounts,
                                  const RetrievalSettings& settings) {
    PixelResult result{kNaN, kNaN, kNaN};
    const MeasuredCurve flat = measuredCurve(flatPositions, flatCounts);
    double flatTotal = 0.0;
    int lit = 0;
    for (const double c : flat.counts) {
        flatTotal += c;
        lit += c > 0.0 ? 1 : 0;
    }
    if (lit < 3 || flatTotal < settings.minimumCounts) {
        result.flat = FitOutcome::kTooFewCounts;
        return result;
    }
    FlatCurveFit fit;
    result.sample = fitFlatCurve(flat, samplePositions, sampleCounts, settings.minimumCounts, fit);
    if (result.sample == FitOutcome::kFitted) {
        result.transmission = static_cast<float>(fit.transmission);
        result.shift = static_cast<float>(fit.shift);
        result.growth = static_cast<float>(fit.variance);
    }
    return result;
}

}  // namespace

PixelResult retrievePixel(const std::vector<double>& flatPositions,
                          const std::vector<double>& flatCounts,
                          const std::vector<double>& samplePositions,
                          const std::vector<double>& sampleCounts,
                          const RetrievalSettings& settings) {
    if (settings.model == CurveModel::kFlatCurve && flatPositions.size() >= 3 &&
        samplePositions.size() >= 3) {
        return retrieveWithFlatCurve(flatPositions, flatCounts, samplePositions, sampleCounts,
                                     settings);
    }
    PixelResult result{kNaN, kNaN, kNaN};
    GaussianCurve flat;
    result.flat = flatCurve(flatPositions, flatCounts, settings, flat);
    if (result.flat != FitOutcome::kFitted) {
        return result;
    }
    GaussianCurve sample;
    if (samplePositions.size() >= 3) {
        result.sample = fitGaussian(samplePositions, sampleCounts, settings.minimumCounts, sample);
    } else if (sampleCounts[0] + sampleCounts[1] < settings.minimumCounts ||
               !gaussianThroughTwoPoints(samplePositions[0], sampleCounts[0], samplePositions[1],
                                         sampleCounts[1], flat.variance, sample)) {
        result.sample = FitOutcome::kTooFewCounts;
    }
    if (result.sample != FitOutcome::kFitted) {
        return result;
    }
    result.transmission = static_cast<float>(sample.integral / flat.integral);
    result.shift = static_cast<float>(sample.centre - flat.centre);
    if (samplePositions.size() >= 3) {
        result.growth = static_cast<float>(sample.variance - flat.variance);
    }
    return result;
}

bool retrieveImages(const CurveStack& flat, const CurveStack& sample,
                    const RetrievalSettings& settings, RetrievalImages& images,
                    std::string& error) {
    if (flat.width != sample.width || flat.height != sample.height) {
        error = "the flat field's images are " + std::to_string(flat.width) + " x " +
                std::to_string(flat.height) + " pixels, the sample's " +
                std::to_string(sample.width) + " x " + std::to_string(sample.height);
        return false;
    }
    const auto pixels = static_cast<std::size_t>(flat.width * flat.height);
    for (const CurveStack* stack : {&flat, &sample}) {
        const std::string name = stack == &flat ? "the flat field" : "the sample";
        if (stack->positions.size() < 2) {
            error = name + " has " + std::to_string(stack->positions.size()) +
                    " images; the retrieval needs two or more";
            return false;
        }
        if (const std::string why = repeatedPositions(stack->positions); !why.empty()) {
            error = name + why;
            return false;
        }
        if (stack->counts.size() != stack->positions.size() * pixels) {
            error = name + " holds " + std::to_string(stack->counts.size()) + " counts, not " +
                    std::to_string(stack->positions.size()) + " images of " +
                    std::to_string(pixels) + " pixels";
            return false;
        }
    }
    if (flat.positions.size() == 2 && !settings.flatVariance) {
        error =
            "the flat field has only two positions, which do not fix the width of its "
            "illumination curve; give the curve's variance with --flat-variance or sweep the "
            "flat field over three or more positions";
        return false;
    }
    images.transmission.assign(pixels, kNaN);
    images.refraction.assign(pixels, kNaN);
    images.darkfield.assign(pixels, kNaN);
    images.hasDarkfield = sample.positions.size() >= 3;
    images.counts = RetrievalCounts{};
    // The pixels are independent: they are shared out in contiguous ranges over the cores,
    // each range with its own curves and counts, so the images do not depend on the number
    // of threads.
    const std::size_t workers = std::clamp<std::size_t>(std::thread::hardware_concurrency(), 1,
                                                        std::max<std::size_t>(pixels / 64, 1));
    std::vector<RetrievalCounts> counts(workers);
    auto retrieveRange = [&](std::size_t worker) {
        std::vector<double> flatCounts(flat.positions.size());
        std::vector<double> sampleCounts(sample.positions.size());
        RetrievalCounts& tally = counts[worker];
        for (std::size_t i = worker * pixels / workers; i < (worker + 1) * pixels / workers; ++i) {
            for (std::size_t k = 0; k < flatCounts.size(); ++k) {
                flatCounts[k] = flat.counts[k * pixels + i];
            }
            for (std::size_t k = 0; k < sampleCounts.size(); ++k) {
                sampleCounts[k] = sample.counts[k * pixels + i];
            }
            const PixelResult pixel =
                retrievePixel(flat.positions, flatCounts, sample.positions, sampleCounts, settings);
            images.transmission[i] = pixel.transmission;
            images.refraction[i] = pixel.shift;
            images.darkfield[i] = pixel.growth;
            if (pixel.flat != FitOutcome::kFitted) {
                ++tally.flat[static_cast<int>(pixel.flat)];
            } else if (pixel.sample != FitOutcome::kFitted) {
                ++tally.sample[static_cast<int>(pixel.sample)];
            } else {
                ++tally.retrieved;
            }
        }
    };
    std::vector<std::thread> threads;
    for (std::size_t worker = 1; worker < workers; ++worker) {
        try {
            threads.emplace_back(retrieveRange, worker);
        } catch (const std::system_error&) {
            retrieveRange(worker);  // no thread to spare: this one does the range itself
        }
    }
    retrieveRange(0);
    for (std::thread& thread : threads) {
        thread.join();
    }
    for (const RetrievalCounts& tally : counts) {
        images.counts.retrieved += tally.retrieved;
        for (int k = 0; k < kFitOutcomeCount; ++k) {
            images.counts.flat[k] += tally.flat[k];
            images.counts.sample[k] += tally.sample[k];
        }
    }
    return true;
}

}  // namespace conesim::tools
