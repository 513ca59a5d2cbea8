#include "precalc/SampleRotation.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>
#include <new>
#include <sstream>

#include "precalc/MapFileErrors.hpp"
#include "precalc/MapNames.hpp"
#include "precalc/SliceIo.hpp"

namespace conesim {
namespace {

constexpr double kPi = 3.14159265358979323846;

struct Turn {
    double cosine;
    double sine;
};

// Quarter turns exactly, so that they move every voxel centre onto another voxel centre.
Turn turnOf(double degrees) {
    if (std::fmod(degrees, 90.0) == 0.0) {
        const auto quarter = static_cast<long long>(std::llround(degrees / 90.0));
        static constexpr Turn kQuarters[4] = {{1.0, 0.0}, {0.0, 1.0}, {-1.0, 0.0}, {0.0, -1.0}};
        return kQuarters[((quarter % 4) + 4) % 4];
    }
    const double radians = degrees * kPi / 180.0;
    return Turn{std::cos(radians), std::sin(radians)};
}

// The voxel whose cell holds a position given in voxels from the centre voxel; a position
// on the boundary of two cells goes to the higher one.
std::int64_t nearestVoxel(int centre, double offsetInVoxels) {
    return centre + static_cast<std::int64_t>(std::floor(offsetInVoxels + 0.5));
}

bool inside(std::int64_t index, int size) {
    return index >= 0 && index < size;
}

}  // namespace

PlaneTurn makePlaneTurn(int dimX, int dimZ, VoxelSizes sizes, double degrees) {
    const Turn turn = turnOf(degrees);
    const double sx = sizes.x;
    const double sz = sizes.z;
    const int cx = dimX / 2;
    const int cz = dimZ / 2;
    PlaneTurn plane;
    plane.dimX = dimX;
    plane.dimZ = dimZ;
    const std::size_t count = static_cast<std::size_t>(std::int64_t{dimX} * dimZ);
    plane.sourceX.assign(count, -1);
    plane.sourceZ.assign(count, 0);
    plane.turnedOut.assign(count, 0);
    std::size_t at = 0;
    for (int z = 0; z < dimZ; ++z) {
        for (int x = 0; x < dimX; ++x, ++at) {
            const double dx = (x - cx) * sx;
            const double dz = (z - cz) * sz;
            // Where this voxel's centre came from (the inverse turn) ...
            const std::int64_t fromX = nearestVoxel(cx, (dx * turn.cosine + dz * turn.sine) / sx);
            const std::int64_t fromZ = nearestVoxel(cz, (dz * turn.cosine - dx * turn.sine) / sz);
            if (inside(fromX, dimX) && inside(fromZ, dimZ)) {
                plane.sourceX[at] = static_cast<std::int32_t>(fromX);
                plane.sourceZ[at] = static_cast<std::int32_t>(fromZ);
            }
            // ... and where its material goes.
            const std::int64_t toX = nearestVoxel(cx, (dx * turn.cosine - dz * turn.sine) / sx);
            const std::int64_t toZ = nearestVoxel(cz, (dx * turn.sine + dz * turn.cosine) / sz);
            plane.turnedOut[at] = inside(toX, dimX) && inside(toZ, dimZ) ? 0 : 1;
        }
    }
    return plane;
}

void turnBand(const PlaneTurn& turn, int rows, const float* in, float* out, RotationLoss& loss) {
    const std::int64_t dimX = turn.dimX;
    for (std::int64_t z = 0; z < turn.dimZ; ++z) {
        const std::size_t planeRow = static_cast<std::size_t>(z * dimX);
        const std::int32_t* sourceX = turn.sourceX.data() + planeRow;
        const std::int32_t* sourceZ = turn.sourceZ.data() + planeRow;
        const std::uint8_t* turnedOut = turn.turnedOut.data() + planeRow;
        for (std::int64_t r = 0; r < rows; ++r) {
            const float* inRow = in + (z * rows + r) * dimX;
            float* outRow = out + (z * rows + r) * dimX;
            for (std::int64_t x = 0; x < dimX; ++x) {
                if (inRow[x] != 0.0F) {
                    ++loss.nonZero;
                    loss.lost += turnedOut[x];
                }
                outRow[x] = sourceX[x] < 0
                                ? 0.0F
                                : in[(std::int64_t{sourceZ[x]} * rows + r) * dimX + sourceX[x]];
            }
        }
    }
}

int rotateVolumeFile(Console& console, std::ostream& log, const std::string& inputPath,
                     const std::string& outputPath, const std::string& outputName, int dimX,
                     int dimY, int dimZ, VoxelSizes sizes, double degrees, RotationLoss& loss,
                     StopFlag stop, std::int64_t bandBytes) {
    std::ifstream in(inputPath, std::ios::binary);
    if (!in.is_open()) {
        report(console, log, "ERROR: Cannot read " + inputPath + " (the sample to rotate).");
        return kCollapseFailed;
    }
    std::fstream out(outputPath, std::ios::binary | std::ios::in | std::ios::out);
    if (!out.is_open()) {
        reportWriteFailure(console, log, outputName, outputPath);
        return kMapWriteFailed;
    }
    const std::int64_t rowValues = dimX;
    const std::int64_t planeBytes = rowValues * dimZ * std::int64_t{sizeof(float)};
    const std::int64_t bandRows = std::clamp<std::int64_t>(
        bandBytes / std::max<std::int64_t>(planeBytes, 1), 1, std::max(dimY, 1));
    PlaneTurn turn;
    std::vector<float> source;
    std::vector<float> turned;
    try {
        turn = makePlaneTurn(dimX, dimZ, sizes, degrees);
        source.resize(static_cast<std::size_t>(bandRows * rowValues * dimZ));
        turned.resize(source.size());
    } catch (const std::bad_alloc&) {
        report(console, log, "ERROR: Cannot read " + inputPath + " (the sample to rotate).");
        return kCollapseFailed;
    }
    for (std::int64_t y0 = 0; y0 < dimY; y0 += bandRows) {
        if (stopRequested(stop)) {
            return kPrecalcStopped;
        }
        const std::int64_t rows = std::min<std::int64_t>(bandRows, dimY - y0);
        const std::int64_t bandValues = rows * rowValues;
        for (std::int64_t z = 0; z < dimZ; ++z) {
            const std::int64_t offset = (z * dimY + y0) * rowValues;
            in.clear();
            in.seekg(static_cast<std::streamoff>(offset * std::int64_t{sizeof(float)}));
            readSliceOrZeros(in, source.data() + z * bandValues, bandValues);
        }
        turnBand(turn, static_cast<int>(rows), source.data(), turned.data(), loss);
        for (std::int64_t z = 0; z < dimZ; ++z) {
            const std::int64_t offset = (z * dimY + y0) * rowValues;
            out.seekp(static_cast<std::streamoff>(offset * std::int64_t{sizeof(float)}));
            if (!writeSlice(out, turned.data() + z * bandValues, bandValues)) {
                reportWriteFailure(console, log, outputName, outputPath);
                return kMapWriteFailed;
            }
        }
    }
    out.close();
    if (out.fail()) {
        reportWriteFailure(console, log, outputName, outputPath);
        return kMapWriteFailed;
    }
    return kPrecalcOk;
}

std::string rotationText(double degrees) {
    if (degrees == 0.0) {
        return "none";
    }
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, degrees);
    return std::string(buffer, result.ptr);
}

void warnRotationLoss(Console& console, std::ostream& log, const std::string& name, double degrees,
                      const RotationLoss& loss) {
    if (loss.lost <= 0) {
        return;
    }
    std::ostringstream text;
    text << "WARNING: sampleRotation = " << rotationText(degrees) << " degrees turns " << loss.lost
         << " of " << loss.nonZero << " non-zero voxels of " << name << " (a fraction "
         << static_cast<double>(loss.lost) / static_cast<double>(loss.nonZero)
         << ") out of the sample's grid; they are left out.";
    report(console, log, text.str());
}

}  // namespace conesim
