// The sinograms of a retrieval over angles: W x H x A volumes, one retrieved image per angle.
// A reconstruction cannot take a pixel that was not retrieved (NaN), so each is filled from
// its row's nearest retrieved neighbours first.
#pragma once

#include <cstdint>
#include <vector>

namespace conesim::tools {

// Fills every NaN of each row of width values (rows one after the other): linearly between
// the nearest values left and right that are numbers, with the nearest one beyond the last
// (or before the first) of them, and with empty in a row that has none. Returns the number of
// values filled.
std::int64_t fillAlongRows(std::vector<float>& values, std::int64_t width, float empty);

// Row y of every image of a volume of images of width x height values: an image of width x
// depth values, image k giving row k.
std::vector<float> rowThroughVolume(const std::vector<float>& volume, std::int64_t width,
                                    std::int64_t height, std::int64_t y);

}  // namespace conesim::tools
