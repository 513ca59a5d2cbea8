// The bodies of the fuzz targets, shared by the libFuzzer programs and by the regression
// test that replays every kept input in the normal test suite.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <sstream>
#include <vector>

#include "FuzzInput.hpp"
#include "formats/MaskImage.hpp"
#include "input/PhotonSource.hpp"
#include "params/SimulationParameters.hpp"
#include "precalc/Collapse.hpp"
#include "precalc/MapArray.hpp"
#include "util/RandomGenerator.hpp"

namespace conesim::fuzz {

// A broken promise of a reader: stop at once, so that the fuzzer keeps the input.
inline void require(bool holds) {
    if (!holds) {
        __builtin_trap();
    }
}

// The parameter file reader, then validation and the summary of whatever it loaded.
inline void parameterFile(const std::uint8_t* data, std::size_t size) {
    InputFile file(data, size, "params.txt");
    QuietConsole quiet;
    SimulationParameters parameters;
    parameters.readFile(file.path(), quiet.console);
    if (parameters.parameterFileLoaded) {
        (void)parameters.faultCode();
        (void)parameters.summary();
    }
}

// The mask image reader on a mask size taken from the input's first byte.
inline void maskImage(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return;
    }
    const std::int64_t edge = data[0] % 40;
    InputFile file(data + 1, size - 1, "mask.pgm");
    std::vector<std::uint8_t> mask(static_cast<std::size_t>(edge * edge), 0);
    bool active = true;
    (void)readMaskImage(file.path(), mask, edge * edge, active);
    for (std::uint8_t pixel : mask) {
        require(pixel <= 1);
    }
}

// The spectrum reader and the first photon draws from what it accepted.
inline void spectrum(const std::uint8_t* data, std::size_t size) {
    InputFile file(data, size, "Spectrum");
    QuietConsole quiet;
    PhotonSource source =
        loadSpectrum(file.path(), DetectorCone{400, 400, 1.0F, 1.0F, 150.0}, quiet.console);
    for (float energy : source.energies) {
        require(energy > 0.0F && energy < 500.0F);
    }
    RandomGenerator random(1);
    for (int i = 0; i < 4; ++i) {
        (void)drawPhoton(source, random, quiet.console);
    }
}

// Map files as the run reads them: absolute range reads of a float map with dimensions
// from the input's first bytes, and the collapse of such maps into a plane and preview.
inline void mapFile(const std::uint8_t* data, std::size_t size) {
    if (size < 4) {
        return;
    }
    const int dimX = data[0] % 9;
    const int dimY = data[1] % 9;
    const int dimZ = data[2] % 9;
    const std::int64_t start = data[3] % 64;
    InputFile angles(data + 4, size - 4, "Z_iLR-PRE");
    InputFile index(data + 4, size - 4, "Z_ref-PRE");

    MapArray map = MapArray::openFloatMap(angles.path(), dimX, dimY, dimZ);
    const std::int64_t got = map.readRange(start, map.count());
    require(got >= 0 && got <= map.count());
    // The same bytes once more as a 64-bit start, so that starts far beyond any file are
    // tried too.
    if (size >= 12) {
        std::int64_t wide = 0;
        std::memcpy(&wide, data + 4, sizeof wide);
        const std::int64_t again = map.readRange(wide, map.count());
        require(again >= 0 && again <= map.count());
    }
    map.release();

    QuietConsole quiet;
    std::ostringstream log;
    std::vector<float> plane;
    (void)collapseInterfaceMap(quiet.console, log, angles.path(), index.path(), dimX, dimY, dimZ,
                               plane);
    ::unlink((angles.path() + ".pca").c_str());
    ::unlink((angles.path() + ".pgm").c_str());
}

}  // namespace conesim::fuzz
