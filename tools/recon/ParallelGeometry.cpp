#include "recon/ParallelGeometry.hpp"

#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>
#include <numbers>
#include <numeric>

namespace conesim::tools {

ParallelGeometry parallelGeometry(const SetupGeometry& setup, double lengthUnitMm,
                                  double sampleScaleZ, std::int64_t dimZ, double fractionX,
                                  double fractionY, std::vector<double> anglesDegrees) {
    ParallelGeometry g;
    const double zMid = setup.sample.zMid;
    g.columns = setup.detectorWidth;
    g.rows = setup.detectorHeight;
    g.columnSpacing = setup.pixelSizeX * zMid / setup.detectorDistance;
    g.rowSpacing = setup.pixelSizeY * zMid / setup.detectorDistance;
    g.columnOrigin = (fractionX - static_cast<double>(g.columns / 2)) * g.columnSpacing;
    g.rowOrigin = (fractionY - static_cast<double>(g.rows / 2)) * g.rowSpacing;
    g.dimX = setup.sample.dimX;
    g.dimY = setup.sample.dimY;
    g.dimZ = dimZ;
    g.scaleX = setup.sample.scaleX;
    g.scaleY = setup.sample.scaleY;
    g.scaleZ = sampleScaleZ;
    g.lengthUnitMm = lengthUnitMm;
    g.anglesDegrees = std::move(anglesDegrees);
    return g;
}

std::vector<double> projectionWeights(const std::vector<double>& anglesDegrees) {
    const std::size_t count = anglesDegrees.size();
    std::vector<double> weights(count, count > 0 ? std::numbers::pi / count : 0.0);
    if (count < 2) {
        return weights;
    }
    std::vector<std::size_t> order(count);
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(),
              [&](std::size_t a, std::size_t b) { return anglesDegrees[a] < anglesDegrees[b]; });
    double total = 0.0;
    for (std::size_t n = 0; n < count; ++n) {
        const double before = n > 0 ? anglesDegrees[order[n]] - anglesDegrees[order[n - 1]] : -1.0;
        const double after =
            n + 1 < count ? anglesDegrees[order[n + 1]] - anglesDegrees[order[n]] : -1.0;
        const double interval = before < 0.0  ? after
                                : after < 0.0 ? before
                                              : 0.5 * (before + after);
        weights[order[n]] = interval;
        total += interval;
    }
    if (!(total > 0.0)) {
        std::fill(weights.begin(), weights.end(), std::numbers::pi / count);
        return weights;
    }
    for (double& w : weights) {
        w *= std::numbers::pi / total;
    }
    return weights;
}

double angularCoverage(const std::vector<double>& anglesDegrees) {
    if (anglesDegrees.size() < 2) {
        return 0.0;
    }
    const auto [low, high] = std::minmax_element(anglesDegrees.begin(), anglesDegrees.end());
    const double span = *high - *low;
    return span + span / static_cast<double>(anglesDegrees.size() - 1);
}

std::string geometryJson(const ParallelGeometry& g) {
    using nlohmann::json;
    std::vector<double> radians;
    for (const double a : g.anglesDegrees) {
        radians.push_back(a * std::numbers::pi / 180.0);
    }
    const double mm = g.lengthUnitMm > 0.0 ? g.lengthUnitMm : 1.0;
    json j;
    j["geometry"] = "parallel";
    j["length_unit"] = g.lengthUnitMm > 0.0 ? "mm" : "length unit of the parameter file";
    j["angles_degrees"] = g.anglesDegrees;
    j["angles_radians"] = radians;
    j["angular_coverage_degrees"] = angularCoverage(g.anglesDegrees);
    j["detector"] = {{"columns", g.columns},
                     {"rows", g.rows},
                     {"column_spacing", g.columnSpacing * mm},
                     {"row_spacing", g.rowSpacing * mm},
                     {"first_column_position", g.columnOrigin * mm},
                     {"first_row_position", g.rowOrigin * mm},
                     // The offset of the detector's centre ((W - 1) / 2) from the rotation axis, as
                     // the toolboxes' centre-of-rotation or detector offset takes it.
                     {"centre_offset_columns", g.columnOrigin / g.columnSpacing +
                                                   (static_cast<double>(g.columns) - 1.0) / 2.0},
                     {"centre_offset_rows",
                      g.rowOrigin / g.rowSpacing + (static_cast<double>(g.rows) - 1.0) / 2.0},
                     {"centre_offset", (g.columnOrigin / g.columnSpacing +
                                        (static_cast<double>(g.columns) - 1.0) / 2.0) *
                                           g.columnSpacing * mm}};
    j["volume"] = {
        {"size", {g.dimX, g.dimY, g.dimZ}},
        {"voxel_size", {g.scaleX * mm, g.scaleY * mm, g.scaleZ * mm}},
        {"axis_voxel", {g.centreX(), g.centreZ()}},
        // Where the volume's centre ((dim - 1) / 2) lies from the rotation axis, along x and z.
        {"centre_offset",
         {((static_cast<double>(g.dimX) - 1.0) / 2.0 - static_cast<double>(g.centreX())) *
              g.scaleX * mm,
          ((static_cast<double>(g.dimZ) - 1.0) / 2.0 - static_cast<double>(g.centreZ())) *
              g.scaleZ * mm}},
        {"layout", "x fastest, then y, then z"}};
    j["rotation"] = {
        {"axis", "y (vertical), through voxel (dimX div 2, dimZ div 2) of every x-z plane"},
        {"convention",
         "the sample turned by t moves an offset (x, z) to (x cos t - z sin t, x sin t + z cos t); "
         "voxel (x, z) is seen at detector position s = x cos t - z sin t"},
        {"x", "along increasing detector column"},
        {"z", "along the beam, towards the detector"}};
    return j.dump(2) + "\n";
}

}  // namespace conesim::tools
