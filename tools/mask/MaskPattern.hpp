// The patterns of conesim-mask, produced row by row as opaque (1) / clear (0) flags.
// The program reads a grey value above 0 as opaque (it stops photons) and 0 as clear.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "util/RandomGenerator.hpp"

namespace conesim::tools {

enum class PatternKind { Grating, Uniform, Random };

struct MaskPattern {
    PatternKind kind = PatternKind::Uniform;
    // Grating: along u (the column for vertical lines, the row for horizontal ones) a pixel
    // is an aperture (clear) when (u - offset) modulo period is below aperture.
    std::int64_t period = 1;
    std::int64_t aperture = 0;
    std::int64_t offset = 0;
    bool vertical = true;
    // Uniform: every pixel clear or every pixel opaque.
    bool opaque = false;
    // Random: exactly round(clearFraction * size * size) clear pixels, chosen by a
    // generator seeded with seed.
    double clearFraction = 0.5;
    std::uint64_t seed = 1;
    // Swaps clear and opaque after the pattern is formed.
    bool invert = false;

    std::string describe() const;
};

// Produces the rows of a size x size mask one after the other.
class MaskRows {
  public:
    MaskRows(const MaskPattern& pattern, std::int64_t size);
    // Fills row (size flags, 1 opaque) with the next row of the mask.
    void next(std::vector<std::uint8_t>& row);

  private:
    bool randomClear();

    MaskPattern pattern_;
    std::int64_t size_;
    std::int64_t row_ = 0;
    RandomGenerator generator_;
    std::uint64_t clearLeft_ = 0;   //!< clear pixels still to place (random pattern)
    std::uint64_t pixelsLeft_ = 0;  //!< pixels still to decide (random pattern)
};

}  // namespace conesim::tools
