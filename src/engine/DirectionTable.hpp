// Tangents of every direction a photon can be drawn with. A direction coordinate comes
// from one draw of 0..32767 for its magnitude and one for its sign, so each axis has only
// 65536 possible angles; their tangents are computed once per run instead of per photon.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

#include "engine/RandomGenerator.hpp"

namespace conesim {

class DirectionTable {
  public:
    explicit DirectionTable(double halfAngle) : angles_(kEntries), tangents_(kEntries) {
        for (std::int32_t magnitude = 0; magnitude <= RandomGenerator::kMax; ++magnitude) {
            double angle = (magnitude / 32767.0) * halfAngle;
            for (std::int32_t negative = 0; negative < 2; ++negative) {
                std::size_t index = entry(magnitude, negative);
                angles_[index] = negative ? -angle : angle;
                tangents_[index] = std::tan(angles_[index]);
            }
        }
    }

    // The table entry of a magnitude draw and a sign draw (odd = negative).
    static std::size_t entry(std::int32_t magnitudeDraw, std::int32_t signDraw) {
        return static_cast<std::size_t>(magnitudeDraw) * 2U +
               static_cast<std::size_t>(signDraw & 1);
    }

    double angle(std::size_t index) const { return angles_[index]; }
    double tangent(std::size_t index) const { return tangents_[index]; }

  private:
    static constexpr std::size_t kEntries = 2U * (RandomGenerator::kMax + 1U);
    std::vector<double> angles_;
    std::vector<double> tangents_;
};

}  // namespace conesim
