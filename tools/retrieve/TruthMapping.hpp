// What a perfect retrieval would find: the sample planes looked up, for each detector
// pixel, where the undeflected ray from the source to that pixel crosses the sample's
// mid-plane, with the very coordinate and interpolation functions the photon loop uses.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/SetupGeometry.hpp"

namespace conesim::tools {

struct TruthOptions {
    // Where in each pixel the ray ends, in pixel fractions from the pixel's centre (for
    // edge illumination: the middle of the beamlet).
    double fractionX = 0.0;
    double fractionY = 0.0;
    bool alongRows = false;  //!< refraction along the rows (UD plane) instead of the columns
};

struct TruthImages {
    std::vector<float> transmission;  //!< exp(-N); 1 where the ray misses the sample
    std::vector<float> refraction;    //!< deflection x (L - zMid) / pixel size, in pixels
    std::vector<float> angle;         //!< the deflection itself, in radians
    std::vector<float> darkfield;     //!< scattering variance x ((L - zMid) / pixel)^2, px^2
    std::int64_t insidePixels = 0;    //!< pixels whose ray meets attenuation N > 0
};

// attenuation and deflection are the planes as stored (sampleDimX x sampleDimY doubles):
// the attenuation plane and the LR (or, alongRows, UD) deflection plane. Where N is 0 the
// photon loop leaves photons undeflected, and so does the truth. False (error set) when a
// plane is not of the sample's size. scattering is the plane of the angular variance
// (radians^2) the sample adds to the photons' directions; empty: none (dark field 0).
bool mapTruth(const SetupGeometry& geometry, const std::vector<double>& attenuation,
              const std::vector<double>& deflection, const TruthOptions& options,
              TruthImages& images, std::string& error, const std::vector<double>& scattering = {});

}  // namespace conesim::tools
