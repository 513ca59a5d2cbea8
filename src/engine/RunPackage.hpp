// A run as the other processes of a run spread over several processes receive it: process 0
// reads the parameter file, the masks and the spectrum and prepares the sample planes; the
// others get everything their photons need from these bytes and read no file at all.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/RunContext.hpp"
#include "engine/SampleTransport.hpp"
#include "input/PhotonSource.hpp"
#include "params/SimulationParameters.hpp"

namespace conesim {

// Everything but the parameter record that a process needs to trace the run's photons.
struct RunPackage {
    std::vector<std::uint8_t> preMask;
    std::vector<std::uint8_t> postMask;
    SamplePlanes planes;
    std::vector<float> energies;  //!< the spectrum's accepted energies
    std::vector<double> weights;  //!< their weights; empty: alike
    float meanEnergy = 0.0F;
    ConeAxis coneX;
    ConeAxis coneY;
    std::uint64_t seed = 0;
    std::int64_t batchSize = 0;
};

// The run; or, when process 0 ends before its photons, its exit status alone.
std::vector<std::uint8_t> packRun(const SimulationParameters& parameters,
                                  const std::vector<std::uint8_t>& preMask,
                                  const std::vector<std::uint8_t>& postMask,
                                  const SamplePlanes& planes, const PhotonSource& source,
                                  const ParallelSettings& settings);
std::vector<std::uint8_t> packEndStatus(int status);

// Reads a run, or (ended) the exit status of a process 0 that ended early; false when the
// bytes are damaged.
bool unpackRun(const std::vector<std::uint8_t>& bytes, bool& ended, int& status,
               SimulationParameters& parameters, RunPackage& run);

// The photons of a received run that fall to this process (context.cluster), counted into
// detectorImage (sized here). Returns the run status.
int runPackagedPhotons(const SimulationParameters& parameters, const RunPackage& run,
                       std::vector<std::uint32_t>& detectorImage, RunContext& context);

}  // namespace conesim
