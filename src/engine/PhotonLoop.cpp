#include "engine/PhotonLoop.hpp"

#include <array>
#include <cmath>
#include <optional>

#include "util/RunNaming.hpp"
#include "engine/AxisTable.hpp"
#include "engine/MaskTransmission.hpp"
#include "engine/MonteCarloRun.hpp"
#include "util/NumericHelpers.hpp"
#include "output/ImageWriters.hpp"

namespace conesim {

namespace {

// Column and row change of each dither draw (draw mod 25).
struct DitherStep {
    std::int8_t column;
    std::int8_t row;
};
constexpr DitherStep kDither[25] = {{1, 1},  {-1, 1}, {1, -1}, {-1, -1}, {1, 0}, {1, 0}, {1, 0},
                                    {-1, 0}, {-1, 0}, {-1, 0}, {1, 0},   {1, 0}, {1, 0}, {-1, 0},
                                    {-1, 0}, {-1, 0}, {0, 0},  {0, 0},   {0, 0}, {0, 0}, {0, 0},
                                    {0, 0},  {0, 0},  {0, 0},  {0, 0}};

// Fires when a non-decreasing count reaches a multiple of its interval, without a division
// per photon.
class MultipleTracker {
  public:
    explicit MultipleTracker(std::int64_t interval) : interval_(interval > 0 ? interval : 0) {}
    bool isMultiple(std::int64_t n) {
        if (interval_ == 0 || n < next_) {
            return false;
        }
        bool hit = n % interval_ == 0;
        next_ = (n / interval_ + 1) * interval_;
        return hit;
    }

  private:
    std::int64_t interval_;
    std::int64_t next_ = 0;
};

// Counts scored photons into the image a few photons late: each new pixel's cache line is
// fetched when the photon is scored and incremented only when kDepth more have been scored,
// so the loop does not wait for the image memory. The counts are the same once flushed;
// flush() must run before anyone reads the image.
class DeferredCounts {
  public:
    explicit DeferredCounts(std::uint32_t* image) : image_(image) { pending_.fill(&spare_); }
    void add(std::int64_t index) {
        std::uint32_t* const counter = image_ + index;
        __builtin_prefetch(counter, 1);
        ++*pending_[head_];
        pending_[head_] = counter;
        head_ = (head_ + 1) % kDepth;
    }
    void flush() {
        for (std::uint32_t*& counter : pending_) {
            ++*counter;
            counter = &spare_;
        }
    }

  private:
    static constexpr std::size_t kDepth = 8;
    std::uint32_t* image_;
    std::array<std::uint32_t*, kDepth> pending_{};
    std::size_t head_ = 0;
    std::uint32_t spare_ = 0;  //!< what the empty slots count into
};

// The geometry of one axis of the chain, as the per-axis tables and the deflected paths
// see it.
AxisGeometry axisGeometry(double halfAngle, const SimulationParameters& p, bool alongX,
                          const MaskGeometry& preMask, const MaskGeometry& postMask,
                          const SampleGeometry& sample) {
    const std::uint32_t detectorSize = alongX ? p.detectorWidth : p.detectorHeight;
    return AxisGeometry{halfAngle,
                        static_cast<double>(static_cast<float>(p.detectorPosition)),
                        static_cast<double>(alongX ? p.detectorPixelSizeX : p.detectorPixelSizeY),
                        static_cast<double>(detectorSize / 2),
                        static_cast<std::int64_t>(detectorSize),
                        alongX ? p.apertureLrPif : p.apertureUdPif,
                        alongX ? p.apertureLrOffset : p.apertureUdOffset,
                        alongX ? p.detectorLrPif : p.detectorUdPif,
                        alongX ? p.detectorLrOffset : p.detectorUdOffset,
                        preMask,
                        postMask,
                        static_cast<double>(sample.zMid),
                        static_cast<double>(alongX ? sample.scaleX : sample.scaleY),
                        alongX ? sample.dimX : sample.dimY};
}

// One axis of the current photon after the sample: the tangent of its path, and whether
// the sample deflected it (then the table's detector results no longer apply).
struct AxisState {
    double tangent;
    bool deflected;
};

// The detector window result and rounded pixel of one axis.
inline bool detectorAxis(const AxisState& state, const AxisTable& table, std::size_t index,
                         std::uint8_t flags, double offset, const AxisGeometry& axis,
                         std::int64_t& pixel) {
    if (!state.deflected) {
        pixel = table.pixel(index);
        return (flags & AxisTable::kDetector) != 0;
    }
    const double coordinate = detectorCoordinate(state.tangent, offset, axis);
    if (!insideWindow(coordinate, axis.detectorPif, axis.detectorOffset)) {
        return false;
    }
    pixel = roundHalfAway(static_cast<float>(coordinate));
    return true;
}

// One direction index: a magnitude draw, then a sign draw.
inline std::size_t drawDirection(RandomGenerator& random) {
    const std::int32_t magnitude = random.next();
    const std::int32_t sign = random.next();
    return AxisTable::index(magnitude, sign);
}

}  // namespace

PhotonLoopResult runPhotonLoop(const PhotonLoopInputs& inputs, PhotonSource& source,
                               std::vector<std::uint32_t>& detectorImage, RunContext& context) {
    const SimulationParameters& p = inputs.parameters;
    PhotonLoopResult result;
    if (p.photonsToRun <= 0) {
        return result;
    }
    RandomGenerator& random = context.random;
    const MaskGeometry preMask{inputs.preMask.data(), static_cast<std::int64_t>(p.preMaskSize),
                               static_cast<float>(p.preMaskPosition), p.preMaskScale};
    const MaskGeometry postMask{inputs.postMask.data(), static_cast<std::int64_t>(p.postMaskSize),
                                static_cast<float>(p.postMaskPosition), p.postMaskScale};
    const AxisGeometry axisX =
        axisGeometry(source.halfAngleX, p, true, preMask, postMask, inputs.sample);
    const AxisGeometry axisY =
        axisGeometry(source.halfAngleY, p, false, preMask, postMask, inputs.sample);
    const PackedPlanes planes = packPlanes(inputs.planes);
    // A square set-up has the same geometry along both axes: one table then serves both,
    // which halves what the photons read.
    const AxisTable tableX(axisX);
    std::optional<AxisTable> ownTableY;
    if (!(axisY == axisX)) {
        ownTableY.emplace(axisY);
    }
    const AxisTable& tableY = ownTableY ? *ownTableY : tableX;
    const auto width = static_cast<std::int64_t>(p.detectorWidth);
    const auto height = static_cast<std::int64_t>(p.detectorHeight);
    const float efficiencyLimit = p.quantumEfficiency * 32767.0F;
    const std::int64_t pixelCount = width * height;
    std::uint32_t* const image = detectorImage.data();
    DeferredCounts counts(image);
    MultipleTracker reports(p.reportEvery);
    MultipleTracker splashes(p.splashEvery);
    MultipleTracker polls(10000);
    std::int64_t drawsWithoutHit = 0;

    std::int32_t photonNumber = 0;
    do {
        if (p.countHitsOnly) {
            --photonNumber;
        }
        const std::size_t ix = drawDirection(random);
        const std::size_t iy = drawDirection(random);
        const std::uint8_t flagsX = tableX.flags(ix);
        const std::uint8_t flagsY = tableY.flags(iy);
        const std::uint8_t both = flagsX & flagsY;
        bool leaveLoop = false;

        do {  // one photon; break = stopped
            if (p.preMaskActive && (both & AxisTable::kOnPreMask) != 0 &&
                maskStops(preMask, maskCoordinate(tableX.tangent(ix), 0.0, preMask),
                          maskCoordinate(tableY.tangent(iy), 0.0, preMask), random)) {
                break;
            }
            if ((both & AxisTable::kAperture) == 0) {
                break;
            }
            AxisState sx{0.0, false};
            AxisState sy{0.0, false};
            source.offsetX = 0.0;
            source.offsetY = 0.0;
            const bool crossesSample = p.sampleActive && (both & AxisTable::kOnSample) != 0;
            if (crossesSample || p.postMaskActive) {
                sx.tangent = tableX.tangent(ix);
                sy.tangent = tableY.tangent(iy);
            }
            if (crossesSample) {
                PathTangents tangents{sx.tangent, sy.tangent};
                source.angleX = tableX.angle(ix);
                source.angleY = tableY.angle(iy);
                if (transportThroughSample(source, tangents, inputs.sample, planes, random)) {
                    break;
                }
                sx = {tangents.x, tangents.x != sx.tangent || source.offsetX != 0.0};
                sy = {tangents.y, tangents.y != sy.tangent || source.offsetY != 0.0};
            }
            if (p.postMaskActive) {
                const float u = maskCoordinate(sx.tangent, source.offsetX, postMask);
                const float v = maskCoordinate(sy.tangent, source.offsetY, postMask);
                if (onGrid(u, postMask.size) && onGrid(v, postMask.size) &&
                    maskStops(postMask, u, v, random)) {
                    break;
                }
            }
            std::int64_t column = 0;
            std::int64_t row = 0;
            if (!detectorAxis(sx, tableX, ix, flagsX, source.offsetX, axisX, column) ||
                !detectorAxis(sy, tableY, iy, flagsY, source.offsetY, axisY, row)) {
                break;
            }
            drawsWithoutHit = -1;
            if (p.countHitsOnly) {
                ++photonNumber;
            }
            if (p.ditherPhotons) {
                const DitherStep step = kDither[random.next() % 25];
                column += step.column;
                row += step.row;
            }
            if (efficiencyLimit < static_cast<float>(random.next())) {
                break;
            }
            if (column < 0 || column >= width || row < 0 || row >= height) {
                break;
            }
            ++result.hitCount;
            counts.add(row * width + column);
            const std::int32_t n = photonNumber;
            if (n != 0 && reports.isMultiple(n)) {
                report(context.console, context.log, "Ran " + std::to_string(n) + " photons.");
            }
            if (n != 0 && splashes.isMultiple(n)) {
                counts.flush();
                const std::string name = p.outputFolder + "/" + p.progressPrefix + "." +
                                         inputs.runName + "." + makeRunNumberString(n) + ".pgm";
                if (!writeDetectorPgm(name, p.detectorWidth, image, pixelCount, context.console)) {
                    context.outputIncomplete = true;
                }
            }
            if (polls.isMultiple(n) && context.checkInterrupt()) {
                leaveLoop = true;
            }
        } while (false);

        if (leaveLoop) {
            break;
        }
        if (context.stopSignal != nullptr && *context.stopSignal != 0) {
            break;
        }
        if (p.countHitsOnly && ++drawsWithoutHit >= kMaxDrawsWithoutDetectorHit) {
            result.stalled = true;
            break;
        }
        ++photonNumber;
    } while (photonNumber < p.photonsToRun);
    counts.flush();
    return result;
}

}  // namespace conesim
