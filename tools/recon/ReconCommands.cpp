#include "recon/ReconCommands.hpp"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <system_error>

#include "common/Agreement.hpp"
#include "common/ArgParse.hpp"
#include "common/BinaryFile.hpp"
#include "common/ParameterLookup.hpp"
#include "common/SetupGeometry.hpp"
#include "common/ToolExit.hpp"
#include "recon/BackProjection.hpp"
#include "recon/ParallelGeometry.hpp"
#include "recon/TruthVolumes.hpp"
#include "recon/VolumeFiles.hpp"
#include "util/BoundedRead.hpp"
#include "util/OutputTarget.hpp"

namespace conesim::tools {

namespace {

constexpr const char* kTool = "conesim-recon";
constexpr const char* kVolumeNames[] = {"mu", "delta", "scatter"};

std::string general(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.5g", value);
    return text;
}

std::string inFolder(const std::string& folder, const std::string& name) {
    return (std::filesystem::path(folder) / name).string();
}

// angles.txt: one angle in degrees a line; blank lines are skipped.
bool readAngles(const std::string& path, std::vector<double>& angles, std::string& error) {
    std::uint64_t size = 0;
    std::ifstream file;
    if (!openInput(path, file, size, error)) {
        error = "cannot read the angles " + path + ": " + error;
        return false;
    }
    std::string line;
    int number = 0;
    while (readBoundedLine(file, line, 256) == BoundedReadResult::kRead) {
        ++number;
        const auto first = line.find_first_not_of(" \t\r");
        if (first == std::string::npos) {
            continue;
        }
        const auto last = line.find_last_not_of(" \t\r");
        double angle = 0.0;
        if (!parseDouble(std::string_view(line).substr(first, last - first + 1), angle)) {
            error = path + ", line " + std::to_string(number) + ": " + shortQuote(line) +
                    " is not an angle in degrees";
            return false;
        }
        angles.push_back(angle);
    }
    if (angles.empty()) {
        error = path + " holds no angles";
        return false;
    }
    return true;
}

// A sinogram of the scan: W x H x A floats as the header of NAME.raw.mhd describes.
bool readSinogram(const std::string& folder, const std::string& name, const SetupGeometry& setup,
                  std::size_t angles, std::vector<float>& values, std::string& error) {
    FloatVolume volume;
    const std::string header = inFolder(folder, name + ".raw.mhd");
    if (!readFloatVolume(header, volume, error)) {
        return false;
    }
    if (volume.dimX != setup.detectorWidth || volume.dimY != setup.detectorHeight ||
        volume.dimZ != static_cast<std::int64_t>(angles)) {
        error = header + " describes " + std::to_string(volume.dimX) + " x " +
                std::to_string(volume.dimY) + " x " + std::to_string(volume.dimZ) +
                "; the detector and angles.txt give " + std::to_string(setup.detectorWidth) +
                " x " + std::to_string(setup.detectorHeight) + " x " + std::to_string(angles);
        return false;
    }
    values = std::move(volume.values);
    return true;
}

FloatVolume volumeOf(const ParallelGeometry& g, std::vector<float> values) {
    FloatVolume volume;
    volume.dimX = g.dimX;
    volume.dimY = g.dimY;
    volume.dimZ = g.dimZ;
    const double mm = g.lengthUnitMm > 0.0 ? g.lengthUnitMm : 1.0;
    volume.spacing[0] = g.scaleX * mm;
    volume.spacing[1] = g.scaleY * mm;
    volume.spacing[2] = g.scaleZ * mm;
    volume.values = std::move(values);
    return volume;
}

// The files addVolume writes for each of names in folder, and geometry.json when asked for.
std::vector<std::string> outputNames(const std::string& folder,
                                     const std::vector<std::string>& names, bool geometry) {
    std::vector<std::string> paths;
    for (const std::string& name : names) {
        for (const char* suffix : {".raw", ".raw.mhd", "-xz.png", "-xy.png"}) {
            paths.push_back(inFolder(folder, name + suffix));
        }
    }
    if (geometry) {
        paths.push_back(inFolder(folder, "geometry.json"));
    }
    return paths;
}

std::string unitsLine(double lengthUnitMm) {
    return lengthUnitMm > 0.0
               ? "Units: mu in 1/cm, delta dimensionless, scatter (EPS) in rad^2/mm; spacing in "
                 "mm.\n"
               : "Units (no lengthUnitMm): mu and EPS per length unit of the parameter file, "
                 "delta dimensionless; spacing in length units.\n";
}

}  // namespace

int runReconstruction(const ReconOptions& options) {
    const auto start = std::chrono::steady_clock::now();
    std::string error;
    SetupGeometry setup;
    SimulationParameters p;
    if (!readSetupGeometry(options.parameters, setup, error) ||
        !loadParameterFile(options.parameters, p, error)) {
        return failure(kTool, error);
    }
    std::vector<double> angles;
    if (!readAngles(inFolder(options.sinogramFolder, "angles.txt"), angles, error)) {
        return failure(kTool, error);
    }
    std::vector<float> attenuation;
    std::vector<float> refraction;
    std::vector<float> darkfield;
    if (!readSinogram(options.sinogramFolder, "transmission", setup, angles.size(), attenuation,
                      error) ||
        !readSinogram(options.sinogramFolder, "refraction-angle", setup, angles.size(), refraction,
                      error)) {
        return failure(kTool, error);
    }
    std::error_code code;
    const bool withDarkfield =
        std::filesystem::exists(inFolder(options.sinogramFolder, "darkfield.raw.mhd"), code);
    if (withDarkfield && !readSinogram(options.sinogramFolder, "darkfield", setup, angles.size(),
                                       darkfield, error)) {
        return failure(kTool, error);
    }
    // The outputs must not be inputs: refused before the work.
    std::vector<std::string> names(kVolumeNames, kVolumeNames + (withDarkfield ? 3 : 2));
    std::vector<std::string> inputFiles = {options.parameters,
                                           inFolder(options.sinogramFolder, "angles.txt")};
    for (const char* name : {"transmission", "refraction-angle", "darkfield"}) {
        inputFiles.push_back(inFolder(options.sinogramFolder, std::string(name) + ".raw"));
        inputFiles.push_back(inFolder(options.sinogramFolder, std::string(name) + ".raw.mhd"));
    }
    if (!checkOutputs(outputNames(options.output, names, true), inputFiles, error)) {
        return failure(kTool, error);
    }
    // -ln T; values that are no numbers count as 0, transmissions at or below 0 as 1e-6.
    std::int64_t notFinite = 0;
    std::int64_t opaque = 0;
    for (float& t : attenuation) {
        if (!std::isfinite(t)) {
            ++notFinite;
            t = 0.0F;
        } else {
            opaque += t < 1e-6F ? 1 : 0;
            t = -std::log(std::max(t, 1e-6F));
        }
    }
    // The dark field's extra variance in pixels^2 as a variance of the angle (rad^2).
    const double radiansPerPixel = setup.pixelSizeX / setup.leverArm();
    for (std::vector<float>* values : {&refraction, &darkfield}) {
        for (float& v : *values) {
            if (!std::isfinite(v)) {
                ++notFinite;
                v = 0.0F;
            } else if (values == &darkfield) {
                v = static_cast<float>(v * radiansPerPixel * radiansPerPixel);
            }
        }
    }
    const double unitMm = p.extensions.lengthUnitMm;
    const ParallelGeometry geometry = parallelGeometry(
        setup, unitMm, p.sampleScaleZ, p.sampleDimZ, options.fractionX, options.fractionY, angles);
    std::vector<SinogramInput> inputs = {
        {&attenuation, FilterKind::kRamp, unitMm > 0.0 ? 10.0 / unitMm : 1.0},
        {&refraction, FilterKind::kHilbert, 1.0}};
    if (withDarkfield) {
        inputs.push_back({&darkfield, FilterKind::kRamp, unitMm > 0.0 ? 1.0 / unitMm : 1.0});
    }
    BackProjectionResult result =
        reconstructVolumes(geometry, inputs, options.window, options.threads);
    // The sinograms are done with: their memory goes before the volumes are written.
    attenuation = std::vector<float>();
    refraction = std::vector<float>();
    darkfield = std::vector<float>();
    if (!makeFolder(options.output, error)) {
        return failure(kTool, error);
    }
    VolumeFileSet files;
    for (std::size_t n = 0; n < result.volumes.size(); ++n) {
        if (!files.addVolume(options.output, kVolumeNames[n],
                             volumeOf(geometry, std::move(result.volumes[n])), error)) {
            return failure(kTool, error);
        }
    }
    if (!files.addText(inFolder(options.output, "geometry.json"), geometryJson(geometry), error) ||
        !files.publish(error)) {
        return failure(kTool, error);
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double coverage = angularCoverage(angles);
    std::cout << "Sinograms " << options.sinogramFolder << ": " << setup.detectorWidth << " x "
              << setup.detectorHeight << " pixels, " << angles.size() << " angles covering "
              << general(coverage) << " degrees"
              << (withDarkfield ? "" : "; no darkfield.raw, so no scatter volume") << ".\n"
              << "Parallel-equivalent detector at the mid-plane: column spacing "
              << general(geometry.columnSpacing) << ", row spacing " << general(geometry.rowSpacing)
              << " (length units); volume " << geometry.dimX << " x " << geometry.dimY << " x "
              << geometry.dimZ << ", filter "
              << (options.window == FilterWindow::kHann ? "Hann" : "Ram-Lak") << ".\n"
              << unitsLine(unitMm);
    if (std::fabs(coverage - 180.0) > 1e-6 * 180.0 && std::fabs(coverage - 360.0) > 1e-6 * 360.0) {
        std::cerr << kTool << ": warning: the angles cover " << general(coverage)
                  << " degrees, neither 180 nor 360; the reconstruction is approximate"
                  << std::endl;
    }
    if (notFinite + opaque > 0) {
        std::cerr << kTool << ": warning: " << notFinite
                  << " sinogram values were not numbers (taken as 0) and " << opaque
                  << " transmissions below 1e-6 (taken as 1e-6)" << std::endl;
    }
    if (result.slicesOutside > 0) {
        std::cerr << kTool << ": warning: " << result.slicesOutside << " of " << geometry.dimY
                  << " sample slices lie beyond the detector's rows and are left 0" << std::endl;
    }
    std::cout << "Wrote " << inFolder(options.output, "mu.raw") << ", delta.raw"
              << (withDarkfield ? ", scatter.raw" : "")
              << " (.raw.mhd, -xz.png and -xy.png each) and geometry.json in " << fixed(seconds, 1)
              << " s." << std::endl;
    return kExitOk;
}

int runReconTruth(const ReconTruthOptions& options) {
    std::string error;
    TruthVolumes truth;
    SimulationParameters p;
    if (!makeTruthVolumes(options.parameters, options.rotation, truth, error) ||
        !loadParameterFile(options.parameters, p, error)) {
        return failure(kTool, error);
    }
    if (!makeFolder(options.output, error) ||
        !checkOutputs(outputNames(options.output, {"mu", "delta", "scatter"}, false),
                      {options.parameters, p.sampleFile, p.extensions.sampleMaterials,
                       p.extensions.sampleScatterFile},
                      error)) {
        return failure(kTool, error);
    }
    VolumeFileSet files;
    if (!files.addVolume(options.output, "mu", truth.mu, error) ||
        !files.addVolume(options.output, "delta", truth.delta, error) ||
        !files.addVolume(options.output, "scatter", truth.scatter, error) ||
        !files.publish(error)) {
        return failure(kTool, error);
    }
    std::cout << "Truth of " << options.parameters << " from the " << truth.source << ", turned by "
              << general(options.rotation) << " degrees.\n"
              << unitsLine(p.extensions.lengthUnitMm) << "Wrote "
              << inFolder(options.output, "mu.raw")
              << ", delta.raw and scatter.raw (.raw.mhd, -xz.png and -xy.png each)." << std::endl;
    return kExitOk;
}

namespace {

// Region labels per voxel: the label volume, or an index of the distinct truth triples.
bool regionLabels(const ReconCompareOptions& options, const FloatVolume* truth[3],
                  std::vector<float>& labels, std::string& source, std::string& error) {
    const std::size_t voxels = truth[0]->values.size();
    if (!options.labelParameters.empty()) {
        FloatVolume volume;
        if (!readLabelVolume(options.labelParameters, options.rotation, volume, error)) {
            return false;
        }
        if (volume.values.size() != voxels) {
            error = "the label volume of " + options.labelParameters + " holds " +
                    std::to_string(volume.values.size()) + " voxels, the truth " +
                    std::to_string(voxels);
            return false;
        }
        labels = std::move(volume.values);
        source = "labels of " + options.labelParameters;
        return true;
    }
    constexpr std::size_t kMostRegions = 64;
    std::map<std::array<float, 3>, float> index;
    labels.resize(voxels);
    for (std::size_t i = 0; i < voxels; ++i) {
        const std::array<float, 3> key = {truth[0]->values[i], truth[1]->values[i],
                                          truth[2]->values[i]};
        const auto found = index.try_emplace(key, static_cast<float>(index.size())).first;
        labels[i] = found->second;
        if (index.size() > kMostRegions) {
            labels.clear();
            source = "none: the truth holds more than 64 distinct values";
            return true;
        }
    }
    source = "the truth's distinct values";
    return true;
}

// Whether every voxel within margin along x and z, and the neighbours along y, holds the
// label of voxel (i, y, k).
bool interior(const std::vector<float>& labels, const FloatVolume& v, std::int64_t i,
              std::int64_t y, std::int64_t k, int margin) {
    const float label = labels[static_cast<std::size_t>((k * v.dimY + y) * v.dimX + i)];
    for (std::int64_t dk = -margin; dk <= margin; ++dk) {
        for (std::int64_t dy = -1; dy <= 1; ++dy) {
            for (std::int64_t di = -margin; di <= margin; ++di) {
                const std::int64_t a = i + di;
                const std::int64_t b = y + dy;
                const std::int64_t c = k + dk;
                if (a < 0 || b < 0 || c < 0 || a >= v.dimX || b >= v.dimY || c >= v.dimZ ||
                    labels[static_cast<std::size_t>((c * v.dimY + b) * v.dimX + a)] != label) {
                    return false;
                }
            }
        }
    }
    return true;
}

}  // namespace

int runReconComparison(const ReconCompareOptions& options) {
    std::string error;
    FloatVolume recon[3];
    FloatVolume truth[3];
    bool present[3] = {false, false, false};
    for (int n = 0; n < 3; ++n) {
        const std::string name = std::string(kVolumeNames[n]) + ".raw.mhd";
        std::error_code code;
        present[n] = n < 2 || std::filesystem::exists(inFolder(options.reconFolder, name), code);
        if (!readFloatVolume(inFolder(options.truthFolder, name), truth[n], error) ||
            (present[n] &&
             !readFloatVolume(inFolder(options.reconFolder, name), recon[n], error))) {
            return failure(kTool, error);
        }
        if (present[n] && (recon[n].dimX != truth[n].dimX || recon[n].dimY != truth[n].dimY ||
                           recon[n].dimZ != truth[n].dimZ)) {
            return failure(
                kTool, "the reconstructed " + std::string(kVolumeNames[n]) + " (" +
                           std::to_string(recon[n].dimX) + " x " + std::to_string(recon[n].dimY) +
                           " x " + std::to_string(recon[n].dimZ) + ") and the true one (" +
                           std::to_string(truth[n].dimX) + " x " + std::to_string(truth[n].dimY) +
                           " x " + std::to_string(truth[n].dimZ) + ") differ in size");
        }
    }
    if (truth[1].values.size() != truth[0].values.size() ||
        truth[2].values.size() != truth[0].values.size()) {
        return failure(kTool, "the true volumes in " + options.truthFolder + " differ in size");
    }
    const FloatVolume* truthOf[3] = {&truth[0], &truth[1], &truth[2]};
    std::vector<float> labels;
    std::string source;
    if (!regionLabels(options, truthOf, labels, source, error)) {
        return failure(kTool, error);
    }
    const FloatVolume& grid = truth[0];
    const std::int64_t centre = grid.dimY / 2;
    double worstCorrelation = 1.0;
    double worstError = 0.0;
    std::cout << "Central slice y = " << centre << " (x-z plane), reconstructed against true:\n";
    for (int n = 0; n < 3; ++n) {
        if (!present[n]) {
            continue;
        }
        const std::vector<float> a = recon[n].planeXz(centre);
        const std::vector<float> b = truth[n].planeXz(centre);
        const Agreement agreement = agreementOf(std::vector<double>(a.begin(), a.end()),
                                                std::vector<double>(b.begin(), b.end()));
        std::cout << "  " << kVolumeNames[n] << ": Pearson correlation "
                  << fixed(agreement.correlation, 4) << ", slope " << fixed(agreement.slope, 4)
                  << ", RMS difference " << general(agreement.rms) << ".\n";
        // A truth without spread (no scattering at all) has no correlation to bound.
        if (std::isfinite(agreement.correlation) || n < 2) {
            worstCorrelation =
                std::min(worstCorrelation,
                         std::isfinite(agreement.correlation) ? agreement.correlation : -1.0);
        }
    }
    std::cout << "Regions (" << source << "), means over their interiors (voxels whose "
              << "neighbours within " << options.margin
              << " voxels along x and z, and 1 along y, carry the same label):\n";
    if (!labels.empty()) {
        std::map<float, std::array<double, 7>> sums;  // count, then per volume recon, truth
        for (std::int64_t k = 0; k < grid.dimZ; ++k) {
            for (std::int64_t y = 0; y < grid.dimY; ++y) {
                for (std::int64_t i = 0; i < grid.dimX; ++i) {
                    if (!interior(labels, grid, i, y, k, options.margin)) {
                        continue;
                    }
                    const auto at = static_cast<std::size_t>((k * grid.dimY + y) * grid.dimX + i);
                    auto& s = sums[labels[at]];
                    s[0] += 1.0;
                    for (int n = 0; n < 3; ++n) {
                        s[1 + 2 * n] += present[n] ? recon[n].values[at] : 0.0;
                        s[2 + 2 * n] += truth[n].values[at];
                    }
                }
            }
        }
        for (const auto& [label, s] : sums) {
            std::cout << "  region " << general(label) << " (" << static_cast<std::int64_t>(s[0])
                      << " voxels):";
            for (int n = 0; n < 3; ++n) {
                if (!present[n]) {
                    continue;
                }
                const double mean = s[1 + 2 * n] / s[0];
                const double want = s[2 + 2 * n] / s[0];
                std::cout << " " << kVolumeNames[n] << " " << general(mean) << " (true "
                          << general(want);
                if (want != 0.0) {
                    const double relative = std::fabs(mean - want) / std::fabs(want);
                    worstError = std::max(worstError, relative);
                    std::cout << ", " << fixed(100.0 * relative, 2) << " %";
                }
                std::cout << ")";
            }
            std::cout << "\n";
        }
    }
    std::cout << std::flush;
    if (options.minimumCorrelation && !(worstCorrelation >= *options.minimumCorrelation)) {
        return failure(kTool, "the lowest correlation " + fixed(worstCorrelation, 4) +
                                  " is below " + general(*options.minimumCorrelation));
    }
    if (options.maximumError && !(worstError <= *options.maximumError)) {
        return failure(kTool, "the largest relative error of a region's mean " +
                                  fixed(100.0 * worstError, 2) + " % is above " +
                                  general(100.0 * *options.maximumError) + " %");
    }
    return kExitOk;
}

}  // namespace conesim::tools
