#include "driver/FinalImages.hpp"

#include <string>

#include "formats/ImageWriters.hpp"
#include "formats/MetaImageHeader.hpp"

namespace conesim {

namespace {

// The header of the raw counts: detectorWidth x detectorHeight unsigned 32-bit counts on
// pixels of the detector's pixel size.
MetaImageLayout countsLayout(const SimulationParameters& p) {
    MetaImageLayout layout;
    layout.dimensions = {std::int64_t{p.detectorWidth}, std::int64_t{p.detectorHeight}};
    layout.spacing = {static_cast<double>(p.detectorPixelSizeX),
                      static_cast<double>(p.detectorPixelSizeY)};
    layout.type = MetaElementType::kUint32;
    return layout;
}

}  // namespace

bool writeFinalImages(FinalImageClaim& claim, const std::vector<std::uint32_t>& image,
                      const SimulationParameters& p, Console& console, std::ostream& log) {
    const auto pixelCount = static_cast<std::int64_t>(image.size());
    bool complete = true;
    std::string message;
    if (writeDetectorPgm(claim.pgmPath(), p.detectorWidth, image.data(), pixelCount, message)) {
        claim.markWritten(claim.pgmPath());
    } else {
        report(console, log, message);
        complete = false;
    }
    if (writeDetectorRaw(claim.datPath(), pixelCount, image.data(), message)) {
        claim.markWritten(claim.datPath());
        std::string error;
        if (!writeMetaImageHeader(claim.datPath(), countsLayout(p), error)) {
            const std::string refusal = "refusing to write ";
            report(console, log,
                   error.rfind(refusal, 0) == 0
                       ? "ERROR: Refusing to write " + error.substr(refusal.size()) + "."
                       : "ERROR: Cannot write output file " + claim.headerPath() + ".");
            complete = false;
        }
    } else {
        report(console, log, message);
        complete = false;
    }
    return complete;
}

}  // namespace conesim
