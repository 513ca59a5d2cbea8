#include "engine/PhotonLoop.hpp"

#include <cmath>

#include "driver/RunNaming.hpp"
#include "engine/DirectionTable.hpp"
#include "engine/MaskTransmission.hpp"
#include "engine/MonteCarloRun.hpp"
#include "engine/NumericHelpers.hpp"
#include "output/ImageWriters.hpp"

namespace conesim {

double pixelFraction(double u) {
    return u - static_cast<double>(floorWithTolerance(static_cast<float>(u)));
}

bool insideWindow(double coordinate, float pif, float offset) {
    double shifted = pixelFraction(coordinate) - static_cast<double>(offset);
    return shifted >= 0.0 && shifted <= static_cast<double>(pif);
}

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

// Detector coordinates of the current path, in pixels.
struct DetectorFrame {
    double distance;  //!< detectorPosition as float
    double pixelSizeX;
    double pixelSizeY;
    double centreColumn;  //!< detectorWidth / 2 (integer division)
    double centreRow;     //!< detectorHeight / 2

    double x(double tangent, double offset) const {
        return (tangent * distance + offset) / pixelSizeX + centreColumn;
    }
    double y(double tangent, double offset) const {
        return (tangent * distance + offset) / pixelSizeY + centreRow;
    }
};

}  // namespace

PhotonLoopResult runPhotonLoop(const PhotonLoopInputs& inputs, PhotonSource& source,
                               std::vector<std::uint32_t>& detectorImage, RunContext& context) {
    const SimulationParameters& p = inputs.parameters;
    PhotonLoopResult result;
    if (p.photonsToRun <= 0) {
        return result;
    }
    RandomGenerator& random = context.random;
    const DirectionTable tableX(source.halfAngleX);
    const DirectionTable tableY(source.halfAngleY);
    const MaskGeometry preMask{inputs.preMask.data(), static_cast<std::int64_t>(p.preMaskSize),
                               static_cast<float>(p.preMaskPosition), p.preMaskScale};
    const MaskGeometry postMask{inputs.postMask.data(), static_cast<std::int64_t>(p.postMaskSize),
                                static_cast<float>(p.postMaskPosition), p.postMaskScale};
    const DetectorFrame frame{
        static_cast<double>(static_cast<float>(p.detectorPosition)),
        static_cast<double>(p.detectorPixelSizeX), static_cast<double>(p.detectorPixelSizeY),
        static_cast<double>(p.detectorWidth / 2), static_cast<double>(p.detectorHeight / 2)};
    const auto width = static_cast<std::int64_t>(p.detectorWidth);
    const auto height = static_cast<std::int64_t>(p.detectorHeight);
    const float efficiencyLimit = p.quantumEfficiency * 32767.0F;
    const std::int64_t pixelCount = width * height;
    MultipleTracker reports(p.reportEvery);
    MultipleTracker splashes(p.splashEvery);
    MultipleTracker polls(10000);
    std::int64_t drawsWithoutHit = 0;

    std::int32_t photonNumber = 0;
    do {
        if (p.countHitsOnly) {
            --photonNumber;
        }
        const std::size_t ix = DirectionTable::entry(random.next(), random.next());
        const std::size_t iy = DirectionTable::entry(random.next(), random.next());
        source.angleX = tableX.angle(ix);
        source.angleY = tableY.angle(iy);
        source.offsetX = 0.0;
        source.offsetY = 0.0;
        PathTangents tangents{tableX.tangent(ix), tableY.tangent(iy)};
        bool leaveLoop = false;

        do {  // one photon; break = stopped
            if (p.preMaskActive && maskBlocks(source, tangents, preMask, random)) {
                break;
            }
            if (!insideWindow(frame.x(tangents.x, 0.0), p.apertureLrPif, p.apertureLrOffset) ||
                !insideWindow(frame.y(tangents.y, 0.0), p.apertureUdPif, p.apertureUdOffset)) {
                break;
            }
            if (p.sampleActive &&
                transportThroughSample(source, tangents, inputs.sample, inputs.planes, random)) {
                break;
            }
            if (p.postMaskActive && maskBlocks(source, tangents, postMask, random)) {
                break;
            }
            const double x = frame.x(tangents.x, source.offsetX);
            const double y = frame.y(tangents.y, source.offsetY);
            if (!insideWindow(x, p.detectorLrPif, p.detectorLrOffset) ||
                !insideWindow(y, p.detectorUdPif, p.detectorUdOffset)) {
                break;
            }
            drawsWithoutHit = -1;
            if (p.countHitsOnly) {
                ++photonNumber;
            }
            std::int64_t column = roundHalfAway(static_cast<float>(x));
            std::int64_t row = roundHalfAway(static_cast<float>(y));
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
            ++detectorImage[static_cast<std::size_t>(row * width + column)];
            const std::int32_t n = photonNumber;
            if (n != 0 && reports.isMultiple(n)) {
                report(context.console, context.log, "Ran " + std::to_string(n) + " photons.");
            }
            if (n != 0 && splashes.isMultiple(n)) {
                const std::string name = p.outputFolder + "/" + p.progressPrefix + "." +
                                         inputs.runName + "." + makeRunNumberString(n) + ".pgm";
                if (!writeDetectorPgm(name, p.detectorWidth, detectorImage.data(), pixelCount,
                                      context.console)) {
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
    return result;
}

}  // namespace conesim
