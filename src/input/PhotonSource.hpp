// The spectrum and the point source that emits each photon into the cone of the detector.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "util/Console.hpp"
#include "util/RandomGenerator.hpp"

namespace conesim {

// The span of direction angles along one axis of the cone, from the outer edge of the
// detector's first pixel to the outer edge of its last: pixel k is centred on coordinate k
// - size / 2 (integer division), so the pixels span -(size / 2) - 0.5 .. size - size / 2 -
// 0.5 pixel widths about the axis.
struct ConeAxis {
    double low = 0.0;   //!< angle of the first pixel's outer edge (radians)
    double high = 0.0;  //!< angle of the last pixel's outer edge (radians)

    bool operator==(const ConeAxis&) const = default;
};

// The detector as the cone sees it.
struct DetectorCone {
    std::int64_t width = 0;   //!< pixels per row
    std::int64_t height = 0;  //!< rows
    float pixelSizeX = 1.0F;  //!< length units per pixel along x
    float pixelSizeY = 1.0F;  //!< length units per pixel along y
    double distance = 0.0;    //!< source-to-detector distance (stored truncated toward zero)
};

// The angles of one axis: atan(edge * pixelSize / distance) at both outer edges.
ConeAxis coneAxis(std::int64_t pixels, float pixelSize, std::int32_t distance);

// The direction angle of a 30-bit uniform u: low + ((u + 0.5) / 2^30) * (high - low), so
// that each of the 2^30 directions stands for an equal share of the cone's angles.
inline double directionAngle(const ConeAxis& axis, std::uint32_t u) {
    return axis.low + unitMidpoint(u) * (axis.high - axis.low);
}

struct PhotonSource {
    float meanEnergy = 0.0F;            //!< mean of the accepted energies (keV)
    std::vector<float> energies;        //!< accepted energies (0 < E < 500 keV), file order;
                                        //!< photons draw from them with per-photon energies
    std::vector<double> weights;        //!< their weights (weighted spectra); empty: alike
    double angleX = 0.0;                //!< current photon direction in X (radians)
    double angleY = 0.0;                //!< current photon direction in Y (radians)
    double offsetX = 0.0;               //!< lateral offset of the photon's path in X
    double offsetY = 0.0;               //!< lateral offset of the photon's path in Y
    float detectorExtentX = 0.0F;       //!< physical detector width
    float detectorExtentY = 0.0F;       //!< physical detector height
    std::int32_t detectorDistance = 0;  //!< source-to-detector distance
    std::int32_t energyCount = 0;       //!< number of accepted energies
    bool showAll = true;                //!< false: photons crossing zero attenuation are dropped
    ConeAxis coneX;                     //!< direction angles along x, edge to edge
    ConeAxis coneY;                     //!< direction angles along y
};

constexpr std::size_t kMaxSpectrumToken = 64;  //!< characters of one energy in a spectrum file

// Loads the spectrum file; a missing file gives a source without energies.
// Tokens that are not numbers are reported with a warning and skipped; a token longer than
// kMaxSpectrumToken characters ends the reading with a warning (the energies before it
// are kept), so that a file without white space is never held in memory or read forever.
// With weighted set, the file holds pairs ENERGY WEIGHT: a pair counts when its energy is
// accepted and its weight is a positive number, and the mean is the weighted mean.
PhotonSource loadSpectrum(const std::string& path, const DetectorCone& detector, Console& console,
                          bool weighted = false);

// Draws the next photon's direction (two draws per axis, x first, each axis a 30-bit
// uniform); 0 on success, 1 when there is no energy.
int drawPhoton(PhotonSource& source, RandomGenerator& random, Console& console);

}  // namespace conesim
