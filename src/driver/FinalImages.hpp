// The final images of a run: the rescaled .pgm, the raw counts .dat and the .dat's MetaImage
// header, written into the names the run claimed.
#pragma once

#include <cstdint>
#include <ostream>
#include <vector>

#include "driver/FinalImageClaim.hpp"
#include "params/SimulationParameters.hpp"
#include "util/Console.hpp"

namespace conesim {

// Writes the three files, each under a temporary name renamed into place once complete; the
// header follows the .dat it describes and is written only when the .dat was. A file that
// fails is reported on the console and in the run log and the others are still written; its
// placeholder goes when the claim is released. True when all three were written.
bool writeFinalImages(FinalImageClaim& claim, const std::vector<std::uint32_t>& image,
                      const SimulationParameters& parameters, Console& console, std::ostream& log);

}  // namespace conesim
