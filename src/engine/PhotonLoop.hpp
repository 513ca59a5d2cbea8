// The serial photon loop: one generator, photon after photon in one sequence, with the
// progress lines, progress images and interrupt polls at the photons that reach their
// multiples.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/PhotonSetup.hpp"
#include "engine/RunContext.hpp"
#include "input/PhotonSource.hpp"

namespace conesim {

// Why a photon loop ended before its last photon.
enum class LoopStop { kNone, kInterruptFile, kSignal };

struct PhotonLoopResult {
    std::uint64_t hitCount = 0;   //!< photons scored on the detector
    std::int64_t photonsRun = 0;  //!< photons numbered (counted ones under countHitsOnly)
    bool stalled = false;         //!< countHitsOnly and no photon reaches the sensitive area
    bool failed = false;          //!< another process of the run failed (its message says why)
    bool noThreads = false;       //!< the system started none of this process's threads
    bool lostProcess = false;     //!< another process stopped answering after a stop signal
    LoopStop stop = LoopStop::kNone;
    std::uint64_t lostCounts = 0;  //!< scores lost to pixels already at 4294967295
};

// Runs the photons into detectorImage (already all 0) with the run's one generator.
PhotonLoopResult runPhotonLoop(const PhotonSetup& setup, std::vector<std::uint32_t>& detectorImage,
                               RunContext& context, const std::string& runName);

// The same, building the set-up from the inputs and the source's cone.
PhotonLoopResult runPhotonLoop(const PhotonLoopInputs& inputs, PhotonSource& source,
                               std::vector<std::uint32_t>& detectorImage, RunContext& context);

}  // namespace conesim
