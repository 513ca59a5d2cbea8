// The spectrum and the point source that emits each photon into the cone of the detector.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "util/Console.hpp"
#include "util/RandomGenerator.hpp"

namespace conesim {

struct PhotonSource {
    float meanEnergy = 0.0F;            //!< mean of the accepted energies (keV)
    std::vector<float> energies;        //!< accepted energies (0 < E < 500 keV), file order;
                                        //!< photons draw from them with per-photon energies
    double angleX = 0.0;                //!< current photon direction in X (radians)
    double angleY = 0.0;                //!< current photon direction in Y (radians)
    double offsetX = 0.0;               //!< lateral offset of the photon's path in X
    double offsetY = 0.0;               //!< lateral offset of the photon's path in Y
    float detectorExtentX = 0.0F;       //!< physical detector width
    float detectorExtentY = 0.0F;       //!< physical detector height
    std::int32_t detectorDistance = 0;  //!< source-to-detector distance
    std::int32_t energyCount = 0;       //!< number of accepted energies
    bool showAll = true;                //!< false: photons crossing zero attenuation are dropped
    double halfAngleX = 0.0;            //!< atan(0.5 * extentX / distance), the cone half-angle
    double halfAngleY = 0.0;            //!< atan(0.5 * extentY / distance)
};

constexpr std::size_t kMaxSpectrumToken = 64;  //!< characters of one energy in a spectrum file

// Loads the spectrum file; a missing file gives a source without energies.
// Tokens that are not numbers are reported with a warning and skipped; a token longer than
// kMaxSpectrumToken characters ends the reading with a warning (the energies before it
// are kept), so that a file without white space is never held in memory or read forever.
PhotonSource loadSpectrum(const std::string& path, float detectorExtentX, float detectorExtentY,
                          double detectorDistance, Console& console);

// Draws the next photon's direction (four draws); 0 on success, 1 when there is no energy.
int drawPhoton(PhotonSource& source, RandomGenerator& random, Console& console);

}  // namespace conesim
