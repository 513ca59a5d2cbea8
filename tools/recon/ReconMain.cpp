// conesim-recon: filtered back-projection of an edge-illumination scan's sinograms into
// attenuation, refractive-index decrement and dark-field volumes, the truth of a run on the
// same grid, and the comparison of the two.
#include <iostream>
#include <string>
#include <vector>

#include "common/ArgParse.hpp"
#include "common/ToolExit.hpp"
#include "recon/ReconCommands.hpp"
#include "util/OptionParser.hpp"

namespace {

using namespace conesim::tools;
using conesim::OptionParser;

constexpr const char* kTool = "conesim-recon";

constexpr const char* kUsageHead =
    R"(Usage: conesim-recon SINO_DIR PARAMS -o OUT [--filter ramlak|hann] [--at FX,FY]
                     [--threads N]
       conesim-recon --truth PARAMS -o OUT [--rotation DEG]
       conesim-recon --compare RECON_DIR TRUTH_DIR [--labels PARAMS] [--rotation DEG]
                     [--margin M] [--min-correlation R] [--max-error E]

Slice-by-slice parallel-beam filtered back-projection, the exact inverse of the program's
single-plane model: each projection is the turned sample summed along z and looked up where
the ray to each pixel crosses the sample's mid-plane, so detector column c stands for
mid-plane position s = (c + FX - W div 2) x pixel size x zMid / L, and each sample slice y
takes its row by linear interpolation between the two detector rows that see it. The
rotation axis is y through voxel (dimX div 2, dimZ div 2); the sample turned by t moves an
offset (x, z) to (x cos t - z sin t, x sin t + z cos t).

SINO_DIR holds angles.txt (the sampleRotation of each projection in degrees, one a line)
and W x H x A float MetaImage sinograms: transmission.raw, refraction-angle.raw (radians,
positive towards increasing column) and, optionally, darkfield.raw (pixels^2). PARAMS gives
the detector, the distances and the sample's grid. Writes into OUT (created if missing):
  mu.raw        from -ln T, ramp-filtered: 1/cm with lengthUnitMm, else per length unit
  delta.raw     from the refraction angle, Hilbert-filtered: the refractive-index decrement
  scatter.raw   from the dark field as an angle variance (x (pixel size / (L - zMid))^2),
                ramp-filtered: EPS in rad^2/mm (per length unit without lengthUnitMm)
each as 32-bit floats on the sample's grid with a MetaImage header (spacing in mm with
lengthUnitMm), NAME-xz.png (the x-z slice at the central y) and NAME-xy.png (the x-y slice
at the central z), and geometry.json, the parallel-equivalent geometry. Angles covering
180 or 360 degrees; each projection is weighted by its angular interval.

--truth PARAMS: writes into OUT mu.raw, delta.raw and scatter.raw of the run's sample at E0
(sampleEnergy, or the spectrum's mean): from materials, each label's mu and delta from
xraylib and its scatter=; from a volume of values, mu = value / sampleScaleZ, delta from the
program's refractive index model and EPS from sampleScatterFile. Without lengthUnitMm a
run neither attenuates materials nor scatters, and their truth is 0.

--compare RECON_DIR TRUTH_DIR: prints for mu, delta and scatter (when reconstructed) the
Pearson correlation, least-squares slope and RMS difference of reconstructed against true
on the central x-z slice, and the mean of each region against its true value over the
region's interior: the voxels whose neighbours within M voxels along x and z, and 1 along
y, carry the same label (voxels on the grid's faces are no interior). Regions are the
labels of a materials run (--labels PARAMS, turned by --rotation DEG), else the distinct
values of the truth.
)";

constexpr const char* kUsageTail = R"(
Exit status: 0 done, 1 a file could not be read or written, was refused (a sinogram whose
size differs from the detector and angles.txt), or a figure missed its bound, 2 wrong
command line.
)";

// The command line as read: the use, its operands and each use's options.
struct ReconLine {
    ToolUse mode = ToolUse::kMain;
    bool modeGiven = false;
    bool help = false;
    std::vector<std::string> operands;
    ReconOptions recon;
    ReconTruthOptions truth;
    ReconCompareOptions compare;
    std::string output;
    bool reconOnly = false;
    bool compareOnly = false;
    bool rotationGiven = false;
    double rotation = 0.0;
};

// The options, declared once for parsing and for the list --help shows.
void declareOptions(OptionParser& parser, ReconLine& line) {
    parser.value("-o,--output", "OUT", "the folder for the volumes (required but with --compare)",
                 storeText(line.output));
    parser.value("--filter", "F", "ramlak (default) or hann (Ram-Lak times a Hann window)",
                 onlyFor(line.reconOnly, [&line](const std::string& value, std::string& error) {
                     if (value != "ramlak" && value != "hann") {
                         error = "--filter " + shortQuote(value) + " is neither ramlak nor hann";
                         return false;
                     }
                     line.recon.window =
                         value == "hann" ? FilterWindow::kHann : FilterWindow::kRamLak;
                     return true;
                 }));
    parser.value("--at", "FX,FY",
                 "rays end this fraction of a pixel from its centre (default 0,0), as "
                 "conesim-retrieve --truth --at",
                 onlyFor(line.reconOnly, [&line](const std::string& value, std::string& error) {
                     std::vector<double> fractions;
                     if (!parseNumberList(value, fractions) || fractions.size() != 2) {
                         error = "--at " + shortQuote(value) + " is not two numbers FX,FY";
                         return false;
                     }
                     line.recon.fractionX = fractions[0];
                     line.recon.fractionY = fractions[1];
                     return true;
                 }));
    parser.value("--threads", "N", "threads (default: every core)",
                 onlyFor(line.reconOnly, [&line](const std::string& value, std::string& error) {
                     std::int64_t whole = 0;
                     if (!storeWhole("--threads", IntRange{1, 256}, whole)(value, error)) {
                         return false;
                     }
                     line.recon.threads = static_cast<unsigned>(whole);
                     return true;
                 }));
    parser.helpFlag("-h,--help", "this text", line.help);
    declareUseSwitches(parser, line.mode, line.modeGiven, "write the true volumes of PARAMS's run",
                       "compare a reconstruction with the truth");
    parser.group("With --truth or --compare");
    parser.value("--rotation", "DEG",
                 "turn the truth (or the labels) like the sample at DEG degrees (default 0: as "
                 "at angle 0 of the scan, unturned), nearest neighbour",
                 [&line](const std::string& value, std::string& error) {
                     if (!parseDouble(value, line.rotation)) {
                         error = "--rotation " + shortQuote(value) + " is not a number";
                         return false;
                     }
                     line.rotationGiven = true;
                     return true;
                 });
    parser.group("With --compare");
    parser.value("--labels", "PARAMS", "the regions are the labels of this materials run",
                 onlyFor(line.compareOnly, storeText(line.compare.labelParameters)));
    parser.value("--margin", "M", "the interior's margin in voxels (default 2)",
                 onlyFor(line.compareOnly, [&line](const std::string& value, std::string& error) {
                     std::int64_t whole = 0;
                     if (!storeWhole("--margin", IntRange{0, 100}, whole)(value, error)) {
                         return false;
                     }
                     line.compare.margin = static_cast<int>(whole);
                     return true;
                 }));
    parser.value(
        "--min-correlation", "R", "fail (status 1) when a correlation is below R",
        onlyFor(line.compareOnly, storeOptionalNumber("--min-correlation", "a number", false,
                                                      line.compare.minimumCorrelation)));
    parser.value(
        "--max-error", "E",
        "fail (status 1) when a region's mean is further than E (a fraction) from its "
        "non-zero true value",
        onlyFor(line.compareOnly, storeOptionalNumber("--max-error", "a number of at least 0", true,
                                                      line.compare.maximumError)));
    parser.positional(storeWords(line.operands));
}

int runRecon(int argc, char** argv) {
    ReconLine line;
    OptionParser parser;
    declareOptions(parser, line);
    if (const int status =
            readCommandLine(parser, argc, argv, kTool, line.help, kUsageHead, kUsageTail);
        status != kReadOn) {
        return status;
    }
    auto& [mode, modeGiven, help, operands, recon, truth, compare, output, reconOnly, compareOnly,
           rotationGiven, rotation] = line;
    if ((reconOnly && mode != ToolUse::kMain) || (compareOnly && mode != ToolUse::kCompare) ||
        (rotationGiven && mode == ToolUse::kMain)) {
        return usageError(kTool, "an option was given that belongs to another use of the tool");
    }
    switch (mode) {
        case ToolUse::kMain:
            if (operands.size() != 2) {
                return usageError(kTool, "give SINO_DIR and PARAMS (" +
                                             std::to_string(operands.size()) + " given)");
            }
            if (output.empty()) {
                return usageError(kTool, "-o OUT is missing");
            }
            recon.sinogramFolder = operands[0];
            recon.parameters = operands[1];
            recon.output = output;
            return runReconstruction(recon);
        case ToolUse::kTruth:
            if (operands.size() != 1) {
                return usageError(kTool, "--truth takes one parameter file (" +
                                             std::to_string(operands.size()) + " given)");
            }
            if (output.empty()) {
                return usageError(kTool, "-o OUT is missing");
            }
            truth.parameters = operands[0];
            truth.output = output;
            truth.rotation = rotation;
            return runReconTruth(truth);
        case ToolUse::kCompare:
            if (operands.size() != 2) {
                return usageError(kTool, "--compare takes RECON_DIR and TRUTH_DIR (" +
                                             std::to_string(operands.size()) + " given)");
            }
            if (!output.empty()) {
                return usageError(kTool, "--compare writes no files; -o does not belong to it");
            }
            compare.reconFolder = operands[0];
            compare.truthFolder = operands[1];
            compare.rotation = rotation;
            return runReconComparison(compare);
    }
    return kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
    return runGuarded(kTool, [&] { return runRecon(argc, argv); });
}
