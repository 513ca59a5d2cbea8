#include "retrieve/RetrieveCommands.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <limits>
#include <system_error>

#include "common/BinaryFile.hpp"
#include "common/ToolExit.hpp"
#include "formats/MetaImageReader.hpp"
#include "precalc/MapNames.hpp"
#include "retrieve/FloatImageFiles.hpp"
#include "retrieve/PixelRetrieval.hpp"
#include "retrieve/SinogramFill.hpp"
#include "retrieve/SweepFolder.hpp"
#include "retrieve/SweptSetting.hpp"
#include "retrieve/TruthComparison.hpp"
#include "retrieve/TruthPlanes.hpp"

namespace conesim::tools {

namespace {

constexpr const char* kTool = "conesim-retrieve";

std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

// Runs that did not finish are left out of a sweep's stack; say so.
void warnAboutFailedRuns(const SweepFolder& folder) {
    for (const SweepRow& row : folder.table.rows) {
        if (row.status != 0) {
            std::cerr << kTool << ": warning: " << folder.path << ": run " << row.runName
                      << " ended with status " << row.status << "; the "
                      << folder.finishedRows.size() << " finished runs are used" << std::endl;
        }
    }
}

std::string outcomeCounts(const std::array<std::int64_t, kFitOutcomeCount>& counts) {
    using enum FitOutcome;
    const auto at = [&](FitOutcome outcome) {
        return std::to_string(counts[static_cast<int>(outcome)]);
    };
    return at(kTooFewCounts) + " too few counts, " + at(kFlatCurve) + " flat curve, " +
           at(kNoConvergence) + " no convergence, " + at(kCentreOutside) + " centre outside";
}

std::string positionRange(const std::vector<double>& positions) {
    const auto [low, high] = std::minmax_element(positions.begin(), positions.end());
    return number(*low) + " to " + number(*high);
}

// Takes the folder's counts over: the stack is not held twice.
bool loadSweepStack(SweepFolder& folder, const std::string& setting, double direction,
                    CurveStack& stack, std::string& error) {
    std::vector<double> positions;
    if (!finishedPositions(folder, setting, positions, error)) {
        return false;
    }
    // Settings swept together never repeat one value while another changes; the positions of
    // a sweep over an outer axis do, and when it stopped part of the way through an outer
    // value its header is three-dimensional. Its angles must not be mixed into one curve.
    std::vector<double> sorted = positions;
    std::sort(sorted.begin(), sorted.end());
    const auto& settings = folder.table.settings;
    if (settings.size() >= 2 && settings.back() != setting &&
        std::adjacent_find(sorted.begin(), sorted.end()) != sorted.end()) {
        error = folder.path + ": " + setting + " repeats its values over those of " +
                settings.back() +
                ": a sweep over an outer axis that stopped part of the way through one of its "
                "values (its stack header is not 4-D); sweep it again to the end";
        return false;
    }
    stack.width = folder.geometry.detectorWidth;
    stack.height = folder.geometry.detectorHeight;
    stack.positions.clear();
    for (const double position : positions) {
        stack.positions.push_back(direction * position);
    }
    stack.counts = std::move(folder.stack);
    return true;
}

FloatImage imageOf(const SetupGeometry& geometry, std::vector<float> values) {
    FloatImage image;
    image.width = geometry.detectorWidth;
    image.height = geometry.detectorHeight;
    image.spacingX = geometry.pixelSizeX;
    image.spacingY = geometry.pixelSizeY;
    image.values = std::move(values);
    return image;
}

// "Refraction: retrieved = 1.0100 x true + 0.0002 pixels (least squares), RMS difference
// 0.0031 pixels."
std::string agreementLine(const std::string& what, const Agreement& agreement,
                          const std::string& unit) {
    char intercept[32];
    char rms[32];
    std::snprintf(intercept, sizeof intercept, "%+.4g", agreement.intercept);
    std::snprintf(rms, sizeof rms, "%.4g", agreement.rms);
    std::string sign = intercept[0] == '-' ? " - " : " + ";
    return what + ": retrieved = " + fixed(agreement.slope, 4) + " x true" + sign +
           (intercept + 1) + " " + unit + " (least squares), RMS difference " + rms + " " + unit +
           ".\n";
}

std::string joinedNames(const std::string& folder, const std::vector<std::string>& names) {
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i) {
        text += (i == 0 ? "" : ", ") + (std::filesystem::path(folder) / names[i]).string();
    }
    return text;
}

// A retrieval of two sample positions writes no dark field: one left in OUT by an earlier
// retrieval would stand beside images it does not belong to, so it goes (a link itself,
// not what it leads to). Returns the names removed.
std::vector<std::string> removeEarlierDarkfield(const std::string& folder) {
    std::vector<std::string> removed;
    for (const char* name : {"darkfield.raw", "darkfield.raw.mhd", "darkfield.png"}) {
        std::error_code code;
        const std::filesystem::path path = std::filesystem::path(folder) / name;
        const auto status = std::filesystem::symlink_status(path, code);
        if (!code &&
            (std::filesystem::is_regular_file(status) || std::filesystem::is_symlink(status)) &&
            std::filesystem::remove(path, code)) {
            removed.emplace_back(name);
        }
    }
    return removed;
}

// "Positions in detector pixels along the columns (the analyser moves); refraction angle =
// shift x 0.5 / 88.\n"
std::string positionsLine(const SweptSetting& axis, double pixelsPerUnit, double pixelSize,
                          double leverArm) {
    return std::string("Positions in detector pixels along the ") +
           (axis.alongRows ? "rows" : "columns") +
           (axis.throughPreMask
                ? " (the pre-sample mask moves: x " + number(-pixelsPerUnit) + ", reversed)"
            : axis.direction > 0 ? std::string(" (the analyser moves)")
                                 : std::string(" (the beamlets move: reversed)")) +
           "; refraction angle = shift x " + number(pixelSize) + " / " + number(leverArm) + ".\n";
}

void addCounts(RetrievalCounts& total, const RetrievalCounts& counts) {
    total.retrieved += counts.retrieved;
    for (int k = 0; k < kFitOutcomeCount; ++k) {
        total.flat[k] += counts.flat[k];
        total.sample[k] += counts.sample[k];
    }
}

// The retrieval of a sample swept over an outer axis (the angles), each outer value's images
// against the one flat field: W x H x A sinograms, NaN filled along the rows, and
// angles.txt with the outer values as sweep.csv gives them.
int retrieveOverAngles(const RetrievalOptions& options, const SweepFolder& flat,
                       const CurveStack& flatStack, const SweepFolder& sample,
                       const std::string& setting, double pixelsPerUnit, double radiansPerPixel,
                       const RetrievalSettings& settings, const std::string& positionsText) {
    std::string error;
    if (setting == sample.outerSetting) {
        return failure(kTool, sample.path + " sweeps " + setting +
                                  " as its outer axis; the positions must be its inner one");
    }
    std::vector<double> positions;
    if (!finishedPositions(sample, setting, positions, error)) {
        return failure(kTool, error);
    }
    const SetupGeometry& geometry = sample.geometry;
    const std::int64_t width = geometry.detectorWidth;
    const std::int64_t height = geometry.detectorHeight;
    std::vector<float> transmission;
    std::vector<float> refraction;
    std::vector<float> darkfield;
    RetrievalCounts counts;
    bool hasDarkfield = false;
    std::string anglesText;
    std::vector<std::string> outerValues;
    CurveStack sampleStack;
    sampleStack.width = width;
    sampleStack.height = height;
    for (std::int64_t j = 0; j < sample.outer; ++j) {
        const auto first = static_cast<std::size_t>(j * sample.inner);
        const std::string& value = sample.table.rows[sample.finishedRows[first]].values.back();
        sampleStack.positions.clear();
        for (std::size_t k = first; k < first + static_cast<std::size_t>(sample.inner); ++k) {
            if (sample.table.rows[sample.finishedRows[k]].values.back() != value) {
                return failure(kTool,
                               sample.path + ": " + sample.outerSetting +
                                   " changes within "
                                   "outer value " +
                                   std::to_string(j) + " of its stack (" + value + ", then " +
                                   sample.table.rows[sample.finishedRows[k]].values.back() + ")");
            }
            sampleStack.positions.push_back(pixelsPerUnit * positions[k]);
        }
        outerValues.push_back(value);
        anglesText += value + "\n";
        RetrievalImages images;
        if (!readOuterImages(sample, j, sampleStack.counts, error) ||
            !retrieveImages(flatStack, sampleStack, settings, images, error)) {
            return failure(kTool, sample.outerSetting + " = " + value + ": " + error);
        }
        addCounts(counts, images.counts);
        hasDarkfield = images.hasDarkfield;
        transmission.insert(transmission.end(), images.transmission.begin(),
                            images.transmission.end());
        refraction.insert(refraction.end(), images.refraction.begin(), images.refraction.end());
        darkfield.insert(darkfield.end(), images.darkfield.begin(), images.darkfield.end());
    }
    // A row that retrieved nothing is left as no sample: transmission 1, no refraction or
    // dark field.
    const std::int64_t filled = fillAlongRows(transmission, width, 1.0F);
    fillAlongRows(refraction, width, 0.0F);
    fillAlongRows(darkfield, width, 0.0F);
    std::vector<float> angles(refraction.size());
    std::transform(refraction.begin(), refraction.end(), angles.begin(),
                   [&](float shift) { return static_cast<float>(shift * radiansPerPixel); });
    if (!makeFolder(options.output, error)) {
        return failure(kTool, error);
    }
    const auto angleCount = static_cast<std::uint32_t>(sample.outer);
    const std::int64_t middle = height / 2;
    ImageFileSet files;
    const auto add = [&](const char* name, std::vector<float> values, GreyMapping mapping) {
        FloatImage preview = imageOf(geometry, rowThroughVolume(values, width, height, middle));
        preview.height = angleCount;
        return files.addFloatVolume(options.output, name, imageOf(geometry, std::move(values)),
                                    angleCount, preview, mapping, error);
    };
    std::vector<std::string> written = {"transmission", "refraction", "refraction-angle"};
    bool good = add("transmission", std::move(transmission), GreyMapping::kFullRange) &&
                add("refraction", std::move(refraction), GreyMapping::kSymmetric) &&
                add("refraction-angle", std::move(angles), GreyMapping::kSymmetric);
    if (good && hasDarkfield) {
        written.emplace_back("darkfield");
        good = add("darkfield", std::move(darkfield), GreyMapping::kSymmetric);
    }
    const std::string anglesPath = (std::filesystem::path(options.output) / "angles.txt").string();
    if (!good || !files.addText(anglesPath, anglesText, error) || !files.publish(error)) {
        return failure(kTool, error);
    }
    const std::vector<std::string> removed =
        hasDarkfield ? std::vector<std::string>{} : removeEarlierDarkfield(options.output);
    const std::int64_t pixels = width * height * sample.outer;
    std::cout << "Flat field " << flat.path << ": " << flatStack.positions.size() << " images, "
              << setting << " from " << positionRange(flatStack.positions) << ".\n"
              << "Sample " << sample.path << ": " << sample.outer << " values of "
              << sample.outerSetting << " (" << outerValues.front() << " to " << outerValues.back()
              << ") of " << sample.inner << " images each, " << setting << " from "
              << positionRange(positions) << ".\n"
              << positionsText;
    if (!hasDarkfield) {
        std::cout << "Two sample positions: two-image retrieval, no dark field.\n";
    }
    std::cout << "Retrieved " << counts.retrieved << " of " << pixels << " pixels (" << sample.outer
              << " angles); " << pixels - counts.retrieved
              << " NaN (flat field: " << outcomeCounts(counts.flat)
              << "; sample: " << outcomeCounts(counts.sample) << ").\n"
              << "Filled " << filled
              << " pixels that could not be retrieved from their neighbours along the row.\n"
              << "Wrote " << joinedNames(options.output, written) << " (" << width << " x "
              << height << " x " << sample.outer
              << " sinograms: .raw and .raw.mhd, and .png of row " << middle
              << " over the angles) and " << anglesPath << "." << std::endl;
    if (!removed.empty()) {
        std::cout << "Removed " << joinedNames(options.output, removed)
                  << " of an earlier retrieval: this one writes no dark field." << std::endl;
    }
    return kExitOk;
}

}  // namespace

int runRetrieval(const RetrievalOptions& options) {
    std::string error;
    SweepFolder flat;
    SweepFolder sample;
    if (!readSweepFolder(options.flatFolder, flat, error) ||
        !readSweepFolder(options.sampleFolder, sample, error)) {
        return failure(kTool, error);
    }
    warnAboutFailedRuns(flat);
    warnAboutFailedRuns(sample);
    if (flat.outer > 0) {
        return failure(kTool, flat.path + " is swept over an outer axis (" + flat.outerSetting +
                                  "); the flat field is one sweep over the positions alone");
    }
    const std::string setting =
        options.position.empty() ? flat.table.settings.front() : options.position;
    SweptSetting axis;
    if (!sweptSettingAxis(setting, axis)) {
        return failure(kTool, "the swept setting " + setting +
                                  " moves neither the analyser nor the beamlets, so its values "
                                  "are no positions on the detector; sweep one of " +
                                  std::string(sweptSettingNames()));
    }
    if (flat.geometry.detectorWidth != sample.geometry.detectorWidth ||
        flat.geometry.detectorHeight != sample.geometry.detectorHeight) {
        return failure(kTool, "the flat field's detector (" +
                                  std::to_string(flat.geometry.detectorWidth) + " x " +
                                  std::to_string(flat.geometry.detectorHeight) +
                                  ") differs from the sample's (" +
                                  std::to_string(sample.geometry.detectorWidth) + " x " +
                                  std::to_string(sample.geometry.detectorHeight) + ")");
    }
    const auto pixelsPerUnit = [&](const SetupGeometry& g) {
        return sweptPixelsPerUnit(axis, g.detectorDistance, g.preMaskDistance,
                                  axis.alongRows ? g.pixelSizeY : g.pixelSizeX);
    };
    if (pixelsPerUnit(flat.geometry) == 0.0 || pixelsPerUnit(sample.geometry) == 0.0) {
        return failure(kTool, "the pre-sample mask does not lie beyond the source, so " + setting +
                                  " gives no positions on the detector");
    }
    RetrievalSettings settings;
    settings.minimumCounts = options.minimumCounts;
    settings.flatVariance = options.flatVariance;
    settings.model = options.model;
    CurveStack flatStack;
    if (!loadSweepStack(flat, setting, pixelsPerUnit(flat.geometry), flatStack, error)) {
        return failure(kTool, error);
    }
    const double pixelSize =
        axis.alongRows ? sample.geometry.pixelSizeY : sample.geometry.pixelSizeX;
    const std::string positionsText =
        positionsLine(axis, pixelsPerUnit(sample.geometry), pixelSize, sample.geometry.leverArm());
    if (sample.outer > 0) {
        return retrieveOverAngles(options, flat, flatStack, sample, setting,
                                  pixelsPerUnit(sample.geometry),
                                  pixelSize / sample.geometry.leverArm(), settings, positionsText);
    }
    CurveStack sampleStack;
    if (!loadSweepStack(sample, setting, pixelsPerUnit(sample.geometry), sampleStack, error)) {
        return failure(kTool, error);
    }
    RetrievalImages images;
    if (!retrieveImages(flatStack, sampleStack, settings, images, error)) {
        return failure(kTool, error);
    }
    if (!makeFolder(options.output, error)) {
        return failure(kTool, error);
    }
    // The geometry of the sample's sweep gives the lever arm of its refraction.
    const SetupGeometry& geometry = sample.geometry;
    const double radiansPerPixel = pixelSize / geometry.leverArm();
    std::vector<float> angles(images.refraction.size());
    std::transform(images.refraction.begin(), images.refraction.end(), angles.begin(),
                   [&](float shift) { return static_cast<float>(shift * radiansPerPixel); });
    std::vector<std::string> written = {"transmission", "refraction", "refraction-angle"};
    // Every image is written before any is published, so that a failure leaves the earlier
    // retrieval's images in OUT as they were, never a mix of two retrievals.
    ImageFileSet files;
    bool good =
        files.addFloatImage(options.output, "transmission", imageOf(geometry, images.transmission),
                            GreyMapping::kFullRange, error) &&
        files.addFloatImage(options.output, "refraction", imageOf(geometry, images.refraction),
                            GreyMapping::kSymmetric, error) &&
        files.addFloatImage(options.output, "refraction-angle",
                            imageOf(geometry, std::move(angles)), GreyMapping::kSymmetric, error);
    if (good && images.hasDarkfield) {
        written.push_back("darkfield");
        good = files.addFloatImage(options.output, "darkfield", imageOf(geometry, images.darkfield),
                                   GreyMapping::kSymmetric, error);
    }
    if (!good || !files.publish(error)) {
        return failure(kTool, error);
    }
    const std::vector<std::string> removed =
        images.hasDarkfield ? std::vector<std::string>{} : removeEarlierDarkfield(options.output);
    const std::int64_t pixels = flatStack.width * flatStack.height;
    std::cout << "Flat field " << flat.path << ": " << flatStack.positions.size() << " images, "
              << setting << " from " << positionRange(flatStack.positions) << ".\n"
              << "Sample " << sample.path << ": " << sampleStack.positions.size() << " images, "
              << setting << " from " << positionRange(sampleStack.positions) << ".\n"
              << positionsText;
    if (!images.hasDarkfield) {
        std::cout << "Two sample positions: two-image retrieval, no dark field.\n";
    }
    std::cout << "Retrieved " << images.counts.retrieved << " of " << pixels << " pixels; "
              << pixels - images.counts.retrieved
              << " NaN (flat field: " << outcomeCounts(images.counts.flat)
              << "; sample: " << outcomeCounts(images.counts.sample) << ").\n"
              << "Wrote " << joinedNames(options.output, written)
              << " (.raw, .raw.mhd and .png each)." << std::endl;
    if (!removed.empty()) {
        std::cout << "Removed " << joinedNames(options.output, removed)
                  << " of an earlier retrieval: this one writes no dark field." << std::endl;
    }
    return kExitOk;
}

int runTruthMapping(const TruthCommandOptions& options) {
    std::string error;
    SetupGeometry geometry;
    if (!readSetupGeometry(options.parameters, geometry, error)) {
        return failure(kTool, error);
    }
    std::string folder;
    if (!findTruthPlanes(options.parameters, options.planeFolder, folder, error)) {
        return failure(kTool, error);
    }
    const std::string attenuationName =
        inPlaneFolder(folder, std::string(kRefractiveIndexMapName) + ".pca");
    const std::string deflectionName = inPlaneFolder(
        folder, std::string(options.truth.alongRows ? kUdAngleMapName : kLrAngleMapName) + ".pca");
    std::vector<double> attenuation;
    std::vector<double> deflection;
    if (!readDoubleFile(attenuationName, attenuation, error) ||
        !readDoubleFile(deflectionName, deflection, error)) {
        return failure(kTool, error +
                                  " (the planes of a run in modes 3 or 4 are read from its "
                                  "planeFolder, the working directory unless it sets one, or "
                                  "from --planes DIR)");
    }
    // The scattering plane exists only for samples that scatter; without it the true dark
    // field is 0.
    const std::string scatteringName = inPlaneFolder(folder, "Z_scatter-PRE.pca");
    std::vector<double> scattering;
    std::error_code code;
    const bool scatters = std::filesystem::exists(scatteringName, code);
    if (scatters && !readDoubleFile(scatteringName, scattering, error)) {
        return failure(kTool, error);
    }
    TruthImages truth;
    if (!mapTruth(geometry, attenuation, deflection, options.truth, truth, error, scattering)) {
        return failure(kTool, attenuationName + ", " + deflectionName + ": " + error);
    }
    if (!makeFolder(options.output, error)) {
        return failure(kTool, error);
    }
    ImageFileSet files;
    if (!files.addFloatImage(options.output, "true-transmission",
                             imageOf(geometry, std::move(truth.transmission)),
                             GreyMapping::kFullRange, error) ||
        !files.addFloatImage(options.output, "true-refraction",
                             imageOf(geometry, std::move(truth.refraction)),
                             GreyMapping::kSymmetric, error) ||
        !files.addFloatImage(options.output, "true-refraction-angle",
                             imageOf(geometry, std::move(truth.angle)), GreyMapping::kSymmetric,
                             error) ||
        !files.addFloatImage(options.output, "true-darkfield",
                             imageOf(geometry, std::move(truth.darkfield)), GreyMapping::kSymmetric,
                             error) ||
        !files.publish(error)) {
        return failure(kTool, error);
    }
    std::cout << "Truth of " << options.parameters << " from " << attenuationName << " and "
              << deflectionName << ", rays to pixel fraction (" << number(options.truth.fractionX)
              << ", " << number(options.truth.fractionY) << ") of each of the "
              << geometry.detectorWidth << " x " << geometry.detectorHeight
              << " pixels: " << truth.insidePixels << " inside the sample.\n"
              << (scatters ? "Dark field from " + scatteringName + ".\n"
                           : std::string("No scattering plane: the true dark field is 0.\n"))
              << "Wrote "
              << joinedNames(options.output, {"true-transmission", "true-refraction",
                                              "true-refraction-angle", "true-darkfield"})
              << " (.raw, .raw.mhd and .png each)." << std::endl;
    return kExitOk;
}

int runComparison(const ComparisonOptions& options) {
    const auto file = [](const std::string& folder, const char* name) {
        return (std::filesystem::path(folder) / name).string();
    };
    std::vector<float> transmission;
    std::vector<float> refraction;
    std::vector<float> trueTransmission;
    std::vector<float> trueRefraction;
    std::string error;
    if (!readFloatFile(file(options.retrievedFolder, "transmission.raw"), transmission, error) ||
        !readFloatFile(file(options.retrievedFolder, "refraction.raw"), refraction, error) ||
        !readFloatFile(file(options.truthFolder, "true-transmission.raw"), trueTransmission,
                       error) ||
        !readFloatFile(file(options.truthFolder, "true-refraction.raw"), trueRefraction, error)) {
        return failure(kTool, error);
    }
    if (refraction.size() != transmission.size() ||
        trueTransmission.size() != transmission.size() ||
        trueRefraction.size() != transmission.size()) {
        return failure(kTool, "the retrieved and true images differ in size (" +
                                  std::to_string(transmission.size()) + ", " +
                                  std::to_string(refraction.size()) + ", " +
                                  std::to_string(trueTransmission.size()) + " and " +
                                  std::to_string(trueRefraction.size()) + " pixels)");
    }
    // The dark fields are compared when both exist (a two-position retrieval writes none).
    std::vector<float> darkfield;
    std::vector<float> trueDarkfield;
    std::error_code code;
    const bool withDarkfield =
        std::filesystem::exists(file(options.retrievedFolder, "darkfield.raw"), code) &&
        std::filesystem::exists(file(options.truthFolder, "true-darkfield.raw"), code);
    if (withDarkfield &&
        (!readFloatFile(file(options.retrievedFolder, "darkfield.raw"), darkfield, error) ||
         !readFloatFile(file(options.truthFolder, "true-darkfield.raw"), trueDarkfield, error))) {
        return failure(kTool, error);
    }
    if (withDarkfield &&
        (darkfield.size() != transmission.size() || trueDarkfield.size() != transmission.size())) {
        return failure(kTool, "the retrieved and true dark fields hold " +
                                  std::to_string(darkfield.size()) + " and " +
                                  std::to_string(trueDarkfield.size()) + " pixels, not " +
                                  std::to_string(transmission.size()));
    }
    const ComparisonFigures figures = compareWithTruth(transmission, refraction, trueTransmission,
                                                       trueRefraction, darkfield, trueDarkfield);
    if (!options.output.empty()) {
        SetupGeometry size;
        MetaImageInfo header;
        if (readMetaImageHeader(file(options.truthFolder, "true-transmission.raw.mhd"), header,
                                error) &&
            header.dimensions.size() == 2) {
            size.detectorWidth = static_cast<std::uint32_t>(header.dimensions[0]);
            size.detectorHeight = static_cast<std::uint32_t>(header.dimensions[1]);
        }
        if (!error.empty() || static_cast<std::size_t>(size.detectorWidth) * size.detectorHeight !=
                                  transmission.size()) {
            return failure(kTool, error.empty() ? "the header of true-transmission.raw does not "
                                                  "match its size"
                                                : error);
        }
        ImageFileSet files;
        if (!makeFolder(options.output, error) ||
            !files.addSideBySidePng(file(options.output, "transmission-compared.png"),
                                    imageOf(size, transmission), imageOf(size, trueTransmission),
                                    GreyMapping::kFullRange, error) ||
            !files.addSideBySidePng(file(options.output, "refraction-compared.png"),
                                    imageOf(size, refraction), imageOf(size, trueRefraction),
                                    GreyMapping::kSymmetric, error) ||
            (withDarkfield &&
             !files.addSideBySidePng(file(options.output, "darkfield-compared.png"),
                                     imageOf(size, darkfield), imageOf(size, trueDarkfield),
                                     GreyMapping::kFullRange, error)) ||
            !files.publish(error)) {
            return failure(kTool, error);
        }
    }
    std::cout << "Inside the sample: " << figures.inside << " pixels (true transmission below 1), "
              << figures.inside - figures.compared << " of them not retrieved (NaN).\n"
              << "Refraction: Pearson correlation " << fixed(figures.correlation, 4)
              << " between retrieved and true, over " << figures.compared << " pixels.\n"
              << agreementLine("Refraction", figures.refraction, "pixels")
              << "Transmission: median relative error "
              << fixed(100.0 * figures.medianRelativeError, 2) << " %." << std::endl;
    if (withDarkfield) {
        std::cout << "Dark field: Pearson correlation " << fixed(figures.darkfield.correlation, 4)
                  << " between retrieved and true, over " << figures.darkfield.pixels
                  << " pixels.\n"
                  << agreementLine("Dark field", figures.darkfield, "pixels^2") << std::flush;
    }
    if (!options.output.empty()) {
        std::cout << "Wrote "
                  << joinedNames(options.output,
                                 withDarkfield
                                     ? std::vector<std::string>{"transmission-compared.png",
                                                                "refraction-compared.png",
                                                                "darkfield-compared.png"}
                                     : std::vector<std::string>{"transmission-compared.png",
                                                                "refraction-compared.png"})
                  << " (retrieved left, true right, on the true image's grey scale)." << std::endl;
    }
    // Each bound in turn; a bound on the dark field fails when no dark field was compared.
    const double noDarkfield = std::numeric_limits<double>::quiet_NaN();
    const double darkCorrelation = withDarkfield ? figures.darkfield.correlation : noDarkfield;
    const double darkSlope = withDarkfield ? figures.darkfield.slope : noDarkfield;
    const struct {
        const std::optional<double>& bound;
        bool isMinimum;
        double value;
        const char* what;
    } bounds[] = {
        {options.minimumCorrelation, true, figures.correlation, "the refraction correlation"},
        {options.minimumSlope, true, figures.refraction.slope, "the refraction's slope"},
        {options.maximumSlope, false, figures.refraction.slope, "the refraction's slope"},
        {options.minimumDarkfieldCorrelation, true, darkCorrelation, "the dark-field correlation"},
        {options.minimumDarkfieldSlope, true, darkSlope, "the dark field's slope"},
        {options.maximumDarkfieldSlope, false, darkSlope, "the dark field's slope"},
    };
    for (const auto& check : bounds) {
        if (check.bound &&
            !(check.isMinimum ? check.value >= *check.bound : check.value <= *check.bound)) {
            return failure(kTool, std::string(check.what) + " " + fixed(check.value, 4) +
                                      (check.isMinimum ? " is below " : " is above ") +
                                      number(*check.bound));
        }
    }
    if (options.maximumError && !(figures.medianRelativeError <= *options.maximumError)) {
        return failure(kTool, "the transmission's median relative error " +
                                  fixed(100.0 * figures.medianRelativeError, 2) + " % is above " +
                                  number(100.0 * *options.maximumError) + " %");
    }
    return kExitOk;
}

}  // namespace conesim::tools
