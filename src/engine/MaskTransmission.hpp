// The probabilistic mask test: the photon's path is projected onto the mask plane, the
// opacity (1000 opaque, 0 clear) is interpolated bilinearly and compared with a draw.
#pragma once

#include <cstdint>

#include "engine/Bilinear.hpp"
#include "engine/PhotonPath.hpp"
#include "input/PhotonSource.hpp"
#include "util/RandomGenerator.hpp"

namespace conesim {

struct MaskGeometry {
    MaskGeometry() = default;
    MaskGeometry(const std::uint8_t* maskPixels, std::int64_t edge, float distance,
                 float pixelsPerUnit, double across = 0.0)
        : pixels(maskPixels),
          size(edge),
          position(distance),
          scale(pixelsPerUnit),
          positionValue(static_cast<double>(distance)),
          scaleValue(static_cast<double>(pixelsPerUnit)),
          centre(static_cast<double>(edge / 2)),
          shift(across) {}

    // The same mask moved by across along the axis whose coordinates it forms.
    MaskGeometry shiftedBy(double across) const {
        MaskGeometry result = *this;
        result.shift = across;
        return result;
    }

    const std::uint8_t* pixels = nullptr;  //!< size * size bytes, non-zero = opaque
    std::int64_t size = 0;                 //!< edge length in pixels
    float position = 0.0F;                 //!< distance of the mask plane from the source
    float scale = 1.0F;                    //!< mask pixels per length unit
    // The same in the double precision the coordinate is formed in, converted once.
    double positionValue = 0.0;  //!< position
    double scaleValue = 1.0;     //!< scale
    double centre = 0.0;         //!< size / 2 (integer division): the pixel on the axis
    double shift = 0.0;          //!< the mask moved across the beam along this axis (length units)

    bool operator==(const MaskGeometry&) const = default;
};

// Opacity of one mask pixel for interpolation.
struct MaskOpacity {
    const std::uint8_t* pixels;
    // 1000 or 0 without a branch: a photon near a grating's edge meets opaque and clear
    // corners at random. (byte + 255) / 256 is 1 for every byte but 0.
    float operator[](std::int64_t index) const {
        static constexpr float kOpacity[2] = {0.0F, 1000.0F};
        return kOpacity[(static_cast<unsigned>(pixels[index]) + 255U) >> 8U];
    }
};

// Mask coordinate of a path: (tan * position + offset - shift) * scale + size / 2, stored in
// float. A mask moved by +shift meets the path at a coordinate shift * scale lower; a shift of 0
// leaves every coordinate as it was bit for bit (x - 0 is x).
inline float maskCoordinate(double tangent, double offset, const MaskGeometry& mask) {
    return static_cast<float>(
        (tangent * mask.positionValue + offset - mask.shift) * mask.scaleValue + mask.centre);
}

// The level a mask's interpolated opacity V (0 .. 1000) is compared with: (u + 0.5) * 1000 /
// 2^30 for a 30-bit uniform u, so that a photon is stopped with probability V / 1000 exactly.
inline double maskLevel(std::uint32_t u) {
    return unitMidpoint(u) * 1000.0;
}

// The interpolated opacity at mask coordinates (u, v), times blocking (1 - T(E) of a mask
// material's opaque pixels, 1 for pixels that stop everything), compared with the level of
// a 30-bit uniform: true when the photon is stopped.
inline bool maskStopsAt(const MaskGeometry& mask, float u, float v, std::uint32_t level,
                        double blocking = 1.0) {
    const float opacity =
        sampleBilinear<float>(MaskOpacity{mask.pixels}, mask.size, mask.size * mask.size, u, v);
    return static_cast<double>(opacity) * blocking > maskLevel(level);
}

// The draw (a 30-bit uniform, two draws) against the interpolated opacity at mask
// coordinates (u, v) on the mask: true when the photon is stopped.
inline bool maskStops(const MaskGeometry& mask, float u, float v, RandomGenerator& random,
                      double blocking = 1.0) {
    return maskStopsAt(mask, u, v, draw30Bits(random), blocking);
}

// What the four pixels around a cell of the mask say without the photon's own coordinates:
// the cell (column, row) holds every coordinate whose bilinear look-up reads pixels of
// columns column and column + 1 and rows row and row + 1, as the look-up indexes them (a
// corner past the last column reads the next row; one beyond the mask is clear).
enum class MaskCell { kClear, kOpaque, kMixed };
inline MaskCell maskCell(const MaskGeometry& mask, std::int64_t column, std::int64_t row) {
    const std::int64_t count = mask.size * mask.size;
    int opaque = 0;
    for (std::int64_t r = row; r <= row + 1; ++r) {
        for (std::int64_t c = column; c <= column + 1; ++c) {
            const std::int64_t index = mask.size * r + c;
            opaque += index < count && mask.pixels[index] != 0 ? 1 : 0;
        }
    }
    return opaque == 0 ? MaskCell::kClear : opaque == 4 ? MaskCell::kOpaque : MaskCell::kMixed;
}

// Below this level an interpolated opacity of four opaque corners, 1000 up to the rounding
// of its weights (a few parts in 10^7), surely stops the photon.
inline constexpr double kSurelyOpaqueLevel = 999.99;

// True when the mask stops the photon: maskX forms the column and maskY the row (the same mask
// with the shift of each axis). Draws only when the photon falls inside the mask.
inline bool maskBlocks(const PhotonSource& source, const PathTangents& tangents,
                       const MaskGeometry& maskX, const MaskGeometry& maskY,
                       RandomGenerator& random, double blocking = 1.0) {
    const MaskGeometry& mask = maskX;
    const float u = maskCoordinate(tangents.x, source.offsetX, maskX);
    const float v = maskCoordinate(tangents.y, source.offsetY, maskY);
    // A NaN coordinate (from a corrupt deflection plane) misses as well.
    if (!onGrid(u, mask.size) || !onGrid(v, mask.size)) {
        return false;
    }
    return maskStops(mask, u, v, random, blocking);
}

// The same for a mask that is not moved, or moved alike along both axes.
inline bool maskBlocks(const PhotonSource& source, const PathTangents& tangents,
                       const MaskGeometry& mask, RandomGenerator& random, double blocking = 1.0) {
    return maskBlocks(source, tangents, mask, mask, random, blocking);
}

}  // namespace conesim
