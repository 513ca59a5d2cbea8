// The photon loop written out as plainly as possible, one photon at a time, from the
// library's per-photon pieces (photon draw, mask test, sample transport, rounding, the
// continuous draws of the laboratory effects). The engine's fast loops must count exactly
// what this counts for the same generator.
#pragma once

#include <cmath>
#include <cstdint>
#include <span>
#include <sstream>
#include <vector>

#include "engine/ContinuousDraws.hpp"
#include "engine/DetectorWindow.hpp"
#include "engine/EnergyFactors.hpp"
#include "engine/MaskTransmission.hpp"
#include "engine/PhotonLoop.hpp"
#include "engine/SampleTransport.hpp"
#include "input/PhotonSource.hpp"
#include "params/SimulationParameters.hpp"
#include "util/NumericHelpers.hpp"
#include "util/RandomGenerator.hpp"

namespace conesim::testing {

struct ReferenceSetup {
    const SimulationParameters& p;
    const SampleGeometry& geometry;
    const SamplePlanes& planes;
    const std::vector<std::uint8_t>& preMask;
    const std::vector<std::uint8_t>& postMask;
    std::span<const float> energies = {};  //!< the spectrum, for per-photon energies
};

inline double referenceDetectorCoordinate(double angle, double offset, double distance,
                                          double pixelSize, std::uint32_t size) {
    return (std::tan(angle) * distance + offset) / pixelSize + static_cast<double>(size / 2);
}

// Returns the hit count; counts into image (already sized and zeroed).
inline std::uint32_t runReferencePhotonLoop(const ReferenceSetup& s, RandomGenerator& random,
                                            std::vector<std::uint32_t>& image) {
    static constexpr int kDitherColumn[25] = {1,  -1, 1,  -1, 1, 1, 1, -1, -1, -1, 1, 1, 1,
                                              -1, -1, -1, 0,  0, 0, 0, 0,  0,  0,  0, 0};
    static constexpr int kDitherRow[25] = {1, 1, -1, -1, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                           0, 0, 0,  0,  0, 0, 0, 0, 0, 0, 0, 0};
    const SimulationParameters& p = s.p;
    std::ostringstream out;
    std::istringstream in;
    Console console{out, in};
    PhotonSource source = loadSpectrum("", detectorCone(p), console);
    source.energyCount = 1;
    source.showAll = p.showAllPhotons;
    const MaskGeometry pre{s.preMask.data(), static_cast<std::int64_t>(p.preMaskSize),
                           static_cast<float>(p.preMaskPosition), p.preMaskScale,
                           p.extensions.preMaskShiftX};
    const MaskGeometry preY = pre.shiftedBy(p.extensions.preMaskShiftY);
    const MaskGeometry post{s.postMask.data(), static_cast<std::int64_t>(p.postMaskSize),
                            static_cast<float>(p.postMaskPosition), p.postMaskScale};
    const double distance = static_cast<float>(p.detectorPosition);
    auto detectorX = [&] {
        return referenceDetectorCoordinate(source.angleX, source.offsetX, distance,
                                           p.detectorPixelSizeX, p.detectorWidth);
    };
    auto detectorY = [&] {
        return referenceDetectorCoordinate(source.angleY, source.offsetY, distance,
                                           p.detectorPixelSizeY, p.detectorHeight);
    };
    // The sample's planes without the scattering plane, which is applied below.
    SampleGeometry plainGeometry = s.geometry;
    plainGeometry.scatter = nullptr;
    std::uint32_t hits = 0;
    if (p.photonsToRun <= 0) {
        return hits;
    }
    std::int32_t n = 0;
    do {
        if (p.countHitsOnly) {
            --n;
        }
        drawPhoton(source, random, console);
        // A photon leaves from a point of the focal spot, then takes its energy.
        const ExtensionSettings& e = p.extensions;
        if (e.focalSpotFwhmX > 0.0 || e.focalSpotFwhmY > 0.0) {
            const GaussianPair spot = drawGaussianPair(random);
            if (e.focalSpotFwhmX > 0.0) {
                source.offsetX = sigmaOfFwhm(e.focalSpotFwhmX) * spot.first;
            }
            if (e.focalSpotFwhmY > 0.0) {
                source.offsetY = sigmaOfFwhm(e.focalSpotFwhmY) * spot.second;
            }
        }
        EnergyFactors energy = kUnitEnergyFactors;
        if (e.photonEnergies == PhotonEnergyMode::kSpectrum && !s.energies.empty()) {
            const float photonEnergy = s.energies[drawIndex(random, s.energies.size())];
            energy = energyFactors(photonEnergy, p.sampleEnergy);
        }
        PathTangents tangents{std::tan(source.angleX), std::tan(source.angleY)};
        do {
            if (p.preMaskActive && maskBlocks(source, tangents, pre, preY, random)) {
                break;
            }
            if (!insideWindow(detectorX(), p.apertureLrPif, p.apertureLrOffset) ||
                !insideWindow(detectorY(), p.apertureUdPif, p.apertureUdOffset)) {
                break;
            }
            if (p.sampleActive) {
                // The crossing of the path as it arrives, where small-angle scattering acts.
                const double zMid = s.geometry.zMid;
                const double xMid = tangents.x * zMid + source.offsetX;
                const double yMid = tangents.y * zMid + source.offsetY;
                const float column = sampleCoordinate(tangents.x, source.offsetX, zMid,
                                                      s.geometry.scaleX, s.geometry.dimX);
                const float row = sampleCoordinate(tangents.y, source.offsetY, zMid,
                                                   s.geometry.scaleY, s.geometry.dimY);
                if (transportThroughSample(source, tangents, plainGeometry, s.planes, random,
                                           energy)) {
                    break;
                }
                // Written out here: every photon the sample let through, on the plane where
                // the scattering plane is not 0, turns by a Gaussian pair drawn after the
                // sample's own draws and leaves from the crossing.
                const std::int64_t size = s.geometry.dimX * s.geometry.dimY;
                if (!s.planes.scatter.empty() && onGrid(column, s.geometry.dimX) &&
                    onGrid(row, s.geometry.dimY)) {
                    const double variance = sampleBilinear<double>(
                        s.planes.scatter.data(), s.geometry.dimX, size, column, row);
                    if (variance > 0.0) {
                        const double sigma = std::sqrt(variance * energy.scatter);
                        const GaussianPair turn = drawGaussianPair(random);
                        source.angleX += sigma * turn.first;
                        source.angleY += sigma * turn.second;
                        source.offsetX = xMid - std::tan(source.angleX) * zMid;
                        source.offsetY = yMid - std::tan(source.angleY) * zMid;
                    }
                }
            }
            tangents = {std::tan(source.angleX), std::tan(source.angleY)};
            if (p.postMaskActive && maskBlocks(source, tangents, post, random)) {
                break;
            }
            double x = detectorX();
            double y = detectorY();
            if (!insideWindow(x, p.detectorLrPif, p.detectorLrOffset) ||
                !insideWindow(y, p.detectorUdPif, p.detectorUdOffset)) {
                break;
            }
            if (p.countHitsOnly) {
                ++n;
            }
            if (e.detectorBlurSigma > 0.0) {
                const GaussianPair blur = drawGaussianPair(random);
                x += e.detectorBlurSigma * blur.first;
                y += e.detectorBlurSigma * blur.second;
            }
            std::int64_t column = roundHalfAway(static_cast<float>(x));
            std::int64_t row = roundHalfAway(static_cast<float>(y));
            if (p.ditherPhotons) {
                const int r = random.next() % 25;
                column += kDitherColumn[r];
                row += kDitherRow[r];
            }
            if (p.quantumEfficiency * 32767.0F < static_cast<float>(random.next())) {
                break;
            }
            if (column < 0 || column >= p.detectorWidth || row < 0 || row >= p.detectorHeight) {
                break;
            }
            ++hits;
            ++image[static_cast<std::size_t>(row * p.detectorWidth + column)];
        } while (false);
        ++n;
    } while (n < p.photonsToRun);
    return hits;
}

}  // namespace conesim::testing
