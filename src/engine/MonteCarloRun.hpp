// The Monte Carlo run: spectrum, sample planes by run mode, the photon loop and its status.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/RunContext.hpp"
#include "input/SampleVolume.hpp"
#include "params/SimulationParameters.hpp"

namespace conesim {

inline constexpr int kRunOk = 0;
inline constexpr int kRunSpectrumFailed = 978;
inline constexpr int kRunPlaneFilesMissing = 971;
inline constexpr int kRunMapFilesMissing = 972;
// Run modes 3 and 4: another live process is writing maps and planes in the plane folder.
inline constexpr int kRunPlaneFolderBusy = 970;
// Run mode 5: the planes' record says they were made under other settings than the run's.
inline constexpr int kRunPlaneRecordDiffers = 973;
// Run mode 4: the volume maps' record says they were made under other settings.
inline constexpr int kRunMapRecordDiffers = 974;
inline constexpr int kRunNoDetectorHits = 977;
// The materials file of a sample given as materials could not be read; the status of a
// refused sample file.
inline constexpr int kRunSampleRefused = 32;
// Another process of a run spread over several processes failed; its message says why.
inline constexpr int kRunProcessFailed = 980;
// The system started none of the threads the run asked for; the same status as a run that
// lacks the memory for its buffers.
inline constexpr int kRunNoThreads = 14;
//! Bytes read at most from a spectrum file that is a named pipe or a device.
inline constexpr std::int64_t kMaxPipedSpectrumBytes = std::int64_t{64} << 20;

// With countHitsOnly, this many photons in a row that miss the detector's sensitive area
// end the run: such a set-up would otherwise never finish.
inline constexpr std::int64_t kMaxDrawsWithoutDetectorHit = 100'000'000;

// Runs the whole simulation into detectorImage (detectorWidth * detectorHeight counters).
// Returns 0, or the status of the step that failed. A progress image that could not be
// written sets context.outputIncomplete.
int runMonteCarlo(const SampleVolume& sample, std::vector<std::uint32_t>& detectorImage,
                  RunContext& context, const std::string& runName, SimulationParameters& parameters,
                  const std::vector<std::uint8_t>& preMask,
                  const std::vector<std::uint8_t>& postMask);

}  // namespace conesim
