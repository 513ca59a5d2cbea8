// A photon-loop set-up for engine tests: the default detector, a 40 x 40 sample plane of
// 0.5-unit columns from 60 on with an absorbing disc whose rim deflects outwards, and
// gratings on both masks; runs the serial loop, the plain reference and the parallel run.
#pragma once

#include <gtest/gtest.h>

#include <csignal>
#include <cstdint>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "ReferencePhotonLoop.hpp"
#include "engine/ParallelPhotonRun.hpp"
#include "engine/PhotonLoop.hpp"

namespace conesim::testing {

inline std::vector<std::uint8_t> grating(std::uint32_t size, int period, int opaque) {
    std::vector<std::uint8_t> mask(std::size_t{size} * size);
    for (std::size_t i = 0; i < mask.size(); ++i) {
        mask[i] = static_cast<int>(i % size) % period < opaque ? 1 : 0;
    }
    return mask;
}

struct LoopCase {
    SimulationParameters p;
    SampleGeometry geometry;
    SamplePlanes planes;
    std::vector<std::uint8_t> preMask;
    std::vector<std::uint8_t> postMask;
    std::vector<float> energies;  //!< the spectrum's entries (for per-photon energies)

    // The default detector; a 40 x 40 sample plane of 0.5-unit columns from 60 on, with an
    // absorbing disc whose rim deflects outwards, and 4-period gratings on both masks.
    LoopCase() {
        p.runMode = 5;
        p.photonsToRun = 200000;
        p.reportEvery = 2000000000;
        p.splashEvery = 2000000000;
        p.postMaskPosition = 100;
        geometry = makeSampleGeometry(40, 40, 10, 0.5F, 0.5F, 0.5F, 60.0F);
        planes.attenuation.assign(1600, 0.0);
        planes.lr.assign(1600, 0.0F);
        planes.ud.assign(1600, 0.0F);
        for (int y = 0; y < 40; ++y) {
            for (int x = 0; x < 40; ++x) {
                const int r2 = (x - 20) * (x - 20) + (y - 20) * (y - 20);
                const std::size_t i = static_cast<std::size_t>(y * 40 + x);
                if (r2 < 225) {
                    planes.attenuation[i] = 0.3;
                }
                if (r2 >= 144 && r2 < 225) {
                    planes.lr[i] = (x < 20 ? -0.002F : 0.002F);
                    planes.ud[i] = (y < 20 ? -0.001F : 0.001F);
                }
            }
        }
        preMask = grating(p.preMaskSize, 4, 2);
        postMask = grating(p.postMaskSize, 5, 2);
    }

    static std::uint64_t hashOf(const std::vector<std::uint32_t>& image) {
        std::uint64_t hash = 14695981039346656037ULL;
        for (std::uint32_t count : image) {
            hash = (hash ^ count) * 1099511628211ULL;
        }
        return hash;
    }

    // Runs the engine's loop and the plain reference on the same seed; both must agree.
    std::pair<std::uint32_t, std::uint64_t> run(std::uint32_t seed) {
        std::vector<std::uint32_t> image;
        const std::uint32_t hits = runInto(seed, image);
        std::vector<std::uint32_t> reference(image.size(), 0);
        RandomGenerator random(seed);
        const ReferenceSetup setup{p, geometry, planes, preMask, postMask, energies};
        EXPECT_EQ(runReferencePhotonLoop(setup, random, reference), hits);
        EXPECT_TRUE(reference == image) << "the loop differs from the reference";
        return {hits, hashOf(image)};
    }

    // The serial loop with the run's one generator.
    std::uint32_t runInto(std::uint32_t seed, std::vector<std::uint32_t>& image) {
        std::ostringstream out;
        std::ostringstream log;
        std::istringstream in;
        Console console{out, in};
        RandomGenerator random(seed);
        RunContext context{console, log, random};
        PhotonSource source = loadSpectrum("", detectorCone(p), console);
        source.showAll = p.showAllPhotons;
        source.energies = energies;
        image.assign(std::size_t{p.detectorWidth} * p.detectorHeight, 0);
        const std::string name = "1";
        const PhotonLoopInputs inputs{p, geometry, planes, preMask, postMask, name};
        return static_cast<std::uint32_t>(runPhotonLoop(inputs, source, image, context).hitCount);
    }

    // The parallel run of the same set-up; console and log text go to `messages`.
    PhotonLoopResult runParallel(const ParallelSettings& settings,
                                 std::vector<std::uint32_t>& image, std::string* messages = nullptr,
                                 const volatile std::sig_atomic_t* stop = nullptr,
                                 std::uint32_t initialCount = 0) {
        std::ostringstream out;
        std::istringstream in;
        Console console{out, in};
        RandomGenerator random(settings.seed);
        RunContext context{console, out, random};
        context.stopSignal = stop;
        PhotonSource source = loadSpectrum("", detectorCone(p), console);
        image.assign(std::size_t{p.detectorWidth} * p.detectorHeight, initialCount);
        const std::string name = "1";
        const PhotonLoopInputs inputs{p, geometry, planes, preMask, postMask, name};
        const PhotonSetup setup(inputs, source.coneX, source.coneY, p.showAllPhotons, energies);
        PhotonLoopResult result = runParallelPhotons(setup, settings, image, context, name);
        if (messages != nullptr) {
            *messages = out.str();
        }
        return result;
    }
};

// The loop case's chain (gratings on both masks, an absorbing disc with a deflecting rim) with
// every effect on.
inline void everyEffect(LoopCase& c) {
    c.p.extensions.focalSpotFwhmX = 0.6;
    c.p.extensions.focalSpotFwhmY = 0.3;
    c.p.extensions.photonEnergies = PhotonEnergyMode::kSpectrum;
    c.p.extensions.detectorBlurSigma = 0.7;
    c.p.sampleEnergy = 22.0F;
    c.energies = {16.0F, 22.0F, 22.0F, 31.5F, 40.0F};
}

}  // namespace conesim::testing
