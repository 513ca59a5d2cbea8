// Adds the raw detector images (".dat") of several runs of one geometry, pixel by pixel.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace conesim::tools {

// Refuses (false, error set) a list that names one file twice: the same name, or two names
// of one file (a link, a hard link, "./a.dat" beside "a.dat").
bool refuseRepeatedImages(const std::vector<std::string>& paths, std::string& error);

// What the sum keeps of each image to find copies without holding every image.
struct ImageDigest {
    std::uint64_t hash = 0;  //!< FNV-1a of the counts
    bool allZero = true;
};

// Reads every image and adds it into sum, with each image's digest in digests. Refuses
// (false, error set) a file whose size is not a whole number of 4-byte counts, an empty
// image, images of different sizes, a pixel count that width does not divide into rows,
// and a sum above 4294967295 in any pixel.
bool sumDetectorImages(const std::vector<std::string>& paths, std::uint32_t width,
                       std::vector<std::uint32_t>& sum, std::vector<ImageDigest>& digests,
                       std::string& error);

// The pairs (earlier, later) of images among paths that hold exactly the same counts and not
// only zeros: runs that counted the same photons. Candidates of equal digests are compared
// count for count; an image that cannot be read again is no copy.
std::vector<std::pair<std::size_t, std::size_t>> identicalImages(
    const std::vector<std::string>& paths, const std::vector<ImageDigest>& digests);

// Writes sum as base + ".dat" and base + ".pgm" through the program's own image writers, so
// that both have exactly the layout and grey-level rescaling of a run's final image, and the
// MetaImage header base + ".dat.mhd" (MET_UINT, width x rows, spacing pixelSize). The three
// appear together or not at all.
bool writeSummedImages(const std::string& base, std::uint32_t width,
                       const std::array<double, 2>& pixelSize,
                       const std::vector<std::uint32_t>& sum, std::string& error);

}  // namespace conesim::tools
