// conesim-retrieve: edge-illumination retrieval from two sweeps, the truth of a run's
// planes on the detector grid, and the comparison of the two.
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/ArgParse.hpp"
#include "common/ToolExit.hpp"
#include "retrieve/RetrieveCommands.hpp"
#include "util/OptionParser.hpp"

namespace {

using namespace conesim::tools;
using conesim::OptionParser;

constexpr const char* kTool = "conesim-retrieve";

constexpr const char* kUsageHead =
    R"(Usage: conesim-retrieve FLAT_DIR SAMPLE_DIR -o OUT [--position NAME] [--min-counts N]
                        [--flat-variance V] [--model flat-curve|gaussian]
       conesim-retrieve --truth PARAMS -o OUT [--at FX,FY] [--ud] [--planes DIR]
       conesim-retrieve --compare RETRIEVED_DIR TRUTH_DIR [-o OUT] [--min-correlation R]
                        [--max-error E] [--min-slope A] [--max-slope B]
                        [--min-darkfield-correlation R] [--min-darkfield-slope A]
                        [--max-darkfield-slope B]

Edge-illumination retrieval. FLAT_DIR and SAMPLE_DIR are two conesim-sweep folders over
the analyser (or beamlet) positions, one without and one with the sample. In every pixel
the counts against position form an illumination curve. By default (--model flat-curve)
the sample's curve is the flat field's own measured curve F (linear between its positions,
0 outside them) attenuated, shifted and widened: S(x) = T (F * G)(x - shift), G a Gaussian
of variance s^2 >= 0, fitted by maximum Poisson likelihood. With --model gaussian both
curves are Gaussians f(x) = A / (s sqrt(2 pi)) exp(-(x - c)^2 / 2 s^2) with A their
integral, c their centre and s^2 their variance. Writes into OUT (created if missing), as
32-bit floats with a MetaImage header (.raw, .raw.mhd) and a PNG each:
  transmission       T (gaussian: A_sample / A_flat; photons are conserved by refraction
                     and scattering, so the integrals' ratio is the sample's transmission)
  refraction         the shift (gaussian: c_sample - c_flat) in detector pixels, positive
                     towards increasing column (or row, for an up-down setting)
  refraction-angle   the same in radians: shift x pixel size / (L - zMid)
  darkfield          s^2 (gaussian: s_sample^2 - s_flat^2) in pixels^2
Pixels whose curve cannot be fitted are NaN and counted in the summary line. The images
are written completely before any of them replaces an earlier one, and appear together;
a retrieval without dark field removes the darkfield files of an earlier one from OUT.
With three or more positions each curve is fitted by maximum Poisson likelihood. With two
sample positions the two-image retrieval is used: the Gaussian of the flat field's width
through the two sample points gives transmission and refraction, no dark field. A flat
field of only two positions needs its curve's variance (--flat-variance, pixels^2).

A SAMPLE_DIR swept over an outer axis as well (conesim-sweep --over or --over-open, for
example sampleRotation; its stack header NDims 4) is retrieved angle by angle against the
one FLAT_DIR (a plain sweep over the same positions), and OUT receives sinograms instead:
transmission, refraction, refraction-angle and darkfield as W x H x A volumes (.raw and
.raw.mhd, NDims 3, one image per outer value, in sweep order), each .png the middle row
(H / 2) of every angle, one angle per PNG row, and angles.txt: the outer setting's values,
one per line, as sweep.csv gives them. Pixels not retrieved (NaN) are counted and filled
along their row: linearly between the nearest retrieved pixels left and right, with the
nearest one beyond the row's first or last retrieved pixel, and in a row with none with
transmission 1 and 0 for the others; the count is printed.

The positions are the values of a swept pixel-fraction setting, already detector pixels:
detectorLrOffset or detectorUdOffset (the analyser moves) or apertureLrOffset or
apertureUdOffset (the beamlets move, so the positions count backwards).

--truth PARAMS: reads the planes Z_ref-PRE.pca and Z_iLR-PRE.pca (Z_iUD-PRE.pca with --ud)
from PARAMS's planeFolder (the working directory unless PARAMS sets it) and writes into OUT true-transmission (exp(-N)),
true-refraction (deflection x (L - zMid) / pixel size, in pixels) and
true-refraction-angle (the deflection in radians) and true-darkfield (the scattering plane
Z_scatter-PRE.pca in radians^2 x ((L - zMid) / pixel size)^2, in pixels^2; 0 without that
plane), looked up where the ray from the source to each pixel crosses the sample's
mid-plane (1, 0, 0 and 0 where it misses the sample or meets no attenuation).
Planes whose record (Z-PRE.pca.record beside them) names another deflection model,
sample energy or sample file than PARAMS are refused; planes without one are read.

--compare RETRIEVED_DIR TRUTH_DIR: over the pixels inside the sample (true transmission
below 1) that were retrieved, prints for refraction.raw against true-refraction.raw (and
darkfield.raw against true-darkfield.raw, when both exist) the Pearson correlation, the
least-squares slope and intercept of retrieved against true, the RMS difference and the
pixel count, and the median of |T - T_true| / T_true of transmission.raw. With
-o OUT it also writes OUT/transmission-compared.png, OUT/refraction-compared.png and,
with dark fields, OUT/darkfield-compared.png: retrieved on the left, true on the right,
both on the true image's grey scale.
)";

constexpr const char* kUsageTail = R"(
Exit status: 0 done, 1 a file could not be read or written, was refused, or a figure
missed its bound, 2 wrong command line.
)";

bool positiveNumber(const std::string& text, double& value) {
    return parseDouble(text, value) && value > 0.0;
}

// The command line as read: the use, its operands and each use's options.
struct RetrieveLine {
    ToolUse mode = ToolUse::kMain;
    bool modeGiven = false;
    bool help = false;
    std::vector<std::string> operands;
    RetrievalOptions retrieval;
    TruthCommandOptions truth;
    ComparisonOptions comparison;
    std::string output;
    bool retrievalOnly = false;
    bool truthOnly = false;
    bool comparisonOnly = false;
};

// The options, declared once for parsing and for the list --help shows.
void declareOptions(OptionParser& parser, RetrieveLine& line) {
    RetrievalOptions& retrieval = line.retrieval;
    parser.value("-o,--output", "OUT", "the folder for the images (required but with --compare)",
                 storeText(line.output));
    parser.value("--position", "NAME",
                 "the swept setting that gives the positions (default: the flat sweep's first)",
                 onlyFor(line.retrievalOnly, storeText(retrieval.position)));
    parser.value(
        "--min-counts", "N", "fewest counts a curve needs in all (default 20)",
        onlyFor(line.retrievalOnly, [&retrieval](const std::string& value, std::string& error) {
            double number = 0.0;
            if (!parseDouble(value, number) || number < 0.0) {
                error = "--min-counts " + shortQuote(value) + " is not a count";
                return false;
            }
            retrieval.minimumCounts = number;
            return true;
        }));
    parser.value(
        "--flat-variance", "V",
        "the flat curve's variance in pixels^2, for a two-position flat field",
        onlyFor(line.retrievalOnly, [&retrieval](const std::string& value, std::string& error) {
            double number = 0.0;
            if (!positiveNumber(value, number)) {
                error = "--flat-variance " + shortQuote(value) + " is not a positive number";
                return false;
            }
            retrieval.flatVariance = number;
            return true;
        }));
    parser.value(
        "--model", "M", "flat-curve (default) or gaussian, for three or more positions",
        onlyFor(line.retrievalOnly, [&retrieval](const std::string& value, std::string& error) {
            if (value != "flat-curve" && value != "gaussian") {
                error = "--model " + shortQuote(value) + " is neither flat-curve nor gaussian";
                return false;
            }
            retrieval.model = value == "gaussian" ? CurveModel::kGaussian : CurveModel::kFlatCurve;
            return true;
        }));
    parser.helpFlag("-h,--help", "this text", line.help);
    declareUseSwitches(parser, line.mode, line.modeGiven,
                       "map the true planes of PARAMS's run onto the detector",
                       "compare a retrieval with the truth");
    parser.group("With --truth");
    parser.value("--at", "FX,FY",
                 "the ray ends at this fraction of a pixel from the pixel's centre (default "
                 "0,0; for edge illumination: the middle of the beamlet)",
                 onlyFor(line.truthOnly, [&line](const std::string& value, std::string& error) {
                     std::vector<double> fractions;
                     if (!parseNumberList(value, fractions) || fractions.size() != 2) {
                         error = "--at " + shortQuote(value) + " is not two numbers FX,FY";
                         return false;
                     }
                     line.truth.truth.fractionX = fractions[0];
                     line.truth.truth.fractionY = fractions[1];
                     return true;
                 }));
    parser.flag("--ud", "refraction along the rows (up-down) instead of the columns",
                [&line](std::string&) {
                    line.truth.truth.alongRows = true;
                    line.truthOnly = true;
                    return true;
                });
    parser.value("--planes", "DIR",
                 "read the planes from DIR instead (a sweep in run mode 3 makes them in its "
                 "folder's planes/)",
                 onlyFor(line.truthOnly, storeText(line.truth.planeFolder)));
    parser.group("With --compare");
    ComparisonOptions& comparison = line.comparison;
    const auto bound = [&line](const std::string& option, std::optional<double>& out) {
        return onlyFor(line.comparisonOnly, storeOptionalNumber(option, "a number", false, out));
    };
    parser.value("--min-correlation", "R", "fail (status 1) when the correlation is below R",
                 bound("--min-correlation", comparison.minimumCorrelation));
    parser.value("--max-error", "E",
                 "fail (status 1) when the median relative error is above E (a fraction: 0.03 "
                 "for 3 %)",
                 onlyFor(line.comparisonOnly, storeOptionalNumber("--max-error", "a fraction", true,
                                                                  comparison.maximumError)));
    parser.value("--min-slope", "A", "fail (status 1) when the refraction's slope is below A",
                 bound("--min-slope", comparison.minimumSlope));
    parser.value("--max-slope", "B", "fail (status 1) when the refraction's slope is above B",
                 bound("--max-slope", comparison.maximumSlope));
    parser.value("--min-darkfield-correlation", "R",
                 "the same bounds on the dark field (fail when it was not compared)",
                 bound("--min-darkfield-correlation", comparison.minimumDarkfieldCorrelation));
    parser.value("--min-darkfield-slope", "A", "",
                 bound("--min-darkfield-slope", comparison.minimumDarkfieldSlope));
    parser.value("--max-darkfield-slope", "B", "",
                 bound("--max-darkfield-slope", comparison.maximumDarkfieldSlope));
    parser.positional(storeWords(line.operands));
}

int runRetrieve(int argc, char** argv) {
    RetrieveLine line;
    OptionParser parser;
    declareOptions(parser, line);
    if (const int status =
            readCommandLine(parser, argc, argv, kTool, line.help, kUsageHead, kUsageTail);
        status != kReadOn) {
        return status;
    }
    auto& [mode, modeGiven, help, operands, retrieval, truth, comparison, output, retrievalOnly,
           truthOnly, comparisonOnly] = line;
    if ((retrievalOnly && mode != ToolUse::kMain) || (truthOnly && mode != ToolUse::kTruth) ||
        (comparisonOnly && mode != ToolUse::kCompare)) {
        return usageError(kTool, "an option was given that belongs to another use of the tool");
    }
    switch (mode) {
        case ToolUse::kMain:
            if (operands.size() != 2) {
                return usageError(kTool, "give FLAT_DIR and SAMPLE_DIR (" +
                                             std::to_string(operands.size()) + " given)");
            }
            if (output.empty()) {
                return usageError(kTool, "-o OUT is missing");
            }
            retrieval.flatFolder = operands[0];
            retrieval.sampleFolder = operands[1];
            retrieval.output = output;
            return runRetrieval(retrieval);
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
            return runTruthMapping(truth);
        case ToolUse::kCompare:
            if (operands.size() != 2) {
                return usageError(kTool, "--compare takes RETRIEVED_DIR and TRUTH_DIR (" +
                                             std::to_string(operands.size()) + " given)");
            }
            comparison.output = output;
            comparison.retrievedFolder = operands[0];
            comparison.truthFolder = operands[1];
            return runComparison(comparison);
    }
    return kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
    return runGuarded(kTool, [&] { return runRetrieve(argc, argv); });
}
