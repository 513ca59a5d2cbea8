// The run's three volume map file names and the statuses of the precalculation steps.
#pragma once

#include <array>
#include <string>

namespace conesim {

// Entry 0: refractive index map, 1: LR interface angle map, 2: UD interface angle map.
using MapNames = std::array<std::string, 3>;

inline constexpr const char* kRefractiveIndexMapName = "Z_ref-PRE";
inline constexpr const char* kLrAngleMapName = "Z_iLR-PRE";
inline constexpr const char* kUdAngleMapName = "Z_iUD-PRE";

inline constexpr int kPrecalcOk = 0;
// A map, plane or preview file could not be written in full.
inline constexpr int kMapWriteFailed = 875;
// A collapse step could not read its maps and returned no plane.
inline constexpr int kCollapseFailed = 876;
// A stop signal arrived during the precalculation; unfinished map files were removed.
inline constexpr int kPrecalcStopped = 879;

}  // namespace conesim
