#include "sum/SumOptions.hpp"

#include "common/ToolExit.hpp"

namespace conesim::tools {

namespace {

// The options, declared once for parsing and for the list --help shows.
void declareOptions(OptionParser& parser, SumOptions& options) {
    parser.value("--width", "W",
                 "detector pixels per row (the parameter file's detectorWidth), a whole number "
                 "from 1 to 4294967295",
                 [&options](const std::string& value, std::string& error) {
                     if (!parseInRange(value, kSumWidthRange, options.width)) {
                         error = notWholeNumber("--width", value, kSumWidthRange);
                         return false;
                     }
                     return true;
                 });
    parser.value("--params", "FILE",
                 "take the width and the pixel sizes from this parameter file instead",
                 [&options](const std::string& value, std::string&) {
                     options.paramsFile = value;
                     return true;
                 });
    parser.value("-o,--output", "OUT", "the name of the images to write, without ending (required)",
                 [&options](const std::string& value, std::string&) {
                     options.output = value;
                     return true;
                 });
    parser.helpFlag("-h,--help", "this text", options.help);
    parser.positional(storeWords(options.inputs));
}

}  // namespace

std::string sumUsage() {
    SumOptions unused;
    return toolHelp(R"(Usage: conesim-sum (--width W | --params FILE) -o OUT A.dat [B.dat ...]

Adds the final raw images (".dat": unsigned 32-bit little-endian counts, row by row) of
runs of the same geometry, pixel by pixel, and writes the sum as OUT.dat (the same raw
layout), OUT.pgm (the ASCII greyscale image, rescaled to 0..255 exactly as conesim
rescales its final image) and OUT.dat.mhd (the MetaImage header of OUT.dat: MET_UINT,
2-D, spacing the detector pixel sizes with --params, else 1 1). A ".dat" or ".pgm" ending
given with OUT is dropped. The three files appear together or not at all.
)",
                    [&](OptionParser& parser) { declareOptions(parser, unused); },
                    R"(
Refused, with nothing written: a file whose size is not a whole number of 4-byte counts,
an empty image, images of different sizes, a pixel count that W does not divide into
rows, a sum above 4294967295 counts in any pixel, a file named twice (also through a link
or under another name), an output that is one of the inputs (or the parameter file), and
an output that exists and is not a regular file (a device, a named pipe, a folder). An
output that is a symbolic link is written through to the file it leads to.
Two inputs that hold exactly the same counts (and not only zeros) are added, with a
warning: they are most likely copies of one run (runs started with the same seed count
the same photons), whose photons the sum then counts twice.
Exit status: 0 done, 1 an image was refused or a file could not be read or written,
2 wrong command line (a value outside its range included).
)");
}

int parseSumOptions(int argc, char** argv, SumOptions& options, std::string& error) {
    const auto declare = [&](OptionParser& parser) { declareOptions(parser, options); };
    if (const int status = readToolOptions(argc, argv, declare, error); status != kExitOk) {
        return status;
    }
    if (options.help) {
        return kExitOk;
    }
    if (options.output.empty()) {
        error = "-o OUT is missing";
        return kExitUsage;
    }
    if (options.inputs.empty()) {
        error = "no image to add";
        return kExitUsage;
    }
    if (options.width == 0 && options.paramsFile.empty()) {
        error = "--width or --params is missing";
        return kExitUsage;
    }
    return kExitOk;
}

std::string outputBase(const std::string& output) {
    std::string base = output;
    for (const std::string ending : {".dat", ".pgm"}) {
        if (base.size() > ending.size() &&
            base.compare(base.size() - ending.size(), ending.size(), ending) == 0) {
            base.resize(base.size() - ending.size());
            break;
        }
    }
    return base;
}

}  // namespace conesim::tools
