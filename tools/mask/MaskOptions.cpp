#include "mask/MaskOptions.hpp"

#include <cstdint>
#include <vector>

#include "common/ArgParse.hpp"
#include "common/ToolExit.hpp"

namespace conesim::tools {

namespace {

constexpr IntRange kSizeRange{1, kMaxMaskSize};
constexpr IntRange kPeriodRange{1, kMaxGratingPeriod};
constexpr IntRange kOffsetRange{-kMaxGratingPeriod, kMaxGratingPeriod};
constexpr NumberRange kFractionRange{0.0, 1.0, "from 0 to 1"};
constexpr IntRange kSeedRange{0, INT64_MAX};

bool parseGrating(const std::string& text, MaskPattern& pattern, std::string& error) {
    std::vector<std::string> words = splitList(text);
    const std::string option = "--grating " + shortQuote(text);
    if (words.size() < 2 || words.size() > 4) {
        error = option + " needs 2 to 4 comma-separated values";
        return false;
    }
    pattern.vertical = true;
    if (words.size() == 4) {
        if (words[3] == "h" || words[3] == "horizontal") {
            pattern.vertical = false;
        } else if (words[3] != "v" && words[3] != "vertical") {
            error = option + ": the orientation " + shortQuote(words[3]) +
                    " is not v (vertical) or h (horizontal)";
            return false;
        }
    }
    std::int64_t period = 0;
    if (!parseInRange(words[0], kPeriodRange, period)) {
        error = notWholeNumber(option + ": the period", words[0], kPeriodRange);
        return false;
    }
    const IntRange apertureRange{0, period};
    std::int64_t aperture = 0;
    if (!parseInRange(words[1], apertureRange, aperture)) {
        error =
            notWholeNumber(option + ": the aperture", words[1], apertureRange) + " (the period)";
        return false;
    }
    std::int64_t offset = 0;
    if (words.size() >= 3 && !parseInRange(words[2], kOffsetRange, offset)) {
        error = notWholeNumber(option + ": the offset", words[2], kOffsetRange);
        return false;
    }
    pattern.kind = PatternKind::Grating;
    pattern.period = period;
    pattern.aperture = aperture;
    pattern.offset = offset;
    return true;
}

bool parseRandom(const std::string& text, MaskPattern& pattern, std::string& error) {
    const std::vector<std::string> words = splitList(text);
    const std::string option = "--random " + shortQuote(text);
    if (words.empty() || words.size() > 2) {
        error = option + " needs 1 or 2 comma-separated values";
        return false;
    }
    double fraction = 0.0;
    if (!parseInRange(words[0], kFractionRange, fraction)) {
        error = notNumber(option + ": the clear fraction", words[0], kFractionRange);
        return false;
    }
    std::int64_t seed = 1;
    if (words.size() == 2 && !parseInRange(words[1], kSeedRange, seed)) {
        error = notWholeNumber(option + ": the seed", words[1], kSeedRange);
        return false;
    }
    pattern.kind = PatternKind::Random;
    pattern.clearFraction = fraction;
    pattern.seed = static_cast<std::uint64_t>(seed);
    return true;
}

}  // namespace

namespace {

// The options, declared once for parsing and for the list --help shows; patterns counts
// the patterns given.
void declareOptions(OptionParser& parser, MaskOptions& options, int& patterns) {
    parser.value("--size", "N",
                 "mask edge in pixels, a whole number from 1 to 10000 (required; the "
                 "parameter file's preMaskSize or postMaskSize must be the same N)",
                 [&options](const std::string& value, std::string& error) {
                     if (!parseInRange(value, kSizeRange, options.size)) {
                         error = notWholeNumber("--size", value, kSizeRange);
                         return false;
                     }
                     return true;
                 });
    parser.value("-o,--output", "FILE", "the image file to write (required)",
                 [&options](const std::string& value, std::string&) {
                     options.output = value;
                     return true;
                 });
    parser.flag("--invert", "swap clear and opaque after forming the pattern",
                [&options](std::string&) {
                    options.pattern.invert = true;
                    return true;
                });
    parser.helpFlag("-h,--help", "this text", options.help);
    parser.value("--grating", "PERIOD,APERTURE[,OFFSET[,ORIENTATION]]",
                 "lines of apertures: along u a pixel is clear when (u - OFFSET) modulo PERIOD "
                 "is less than APERTURE, and opaque otherwise (whole pixels: PERIOD from 1 to "
                 "1000000000, APERTURE from 0 to PERIOD, OFFSET from -1000000000 to 1000000000, "
                 "default 0). ORIENTATION v (default, vertical lines: u is the column, every row "
                 "alike) or h (horizontal lines: u is the row).",
                 [&options, &patterns](const std::string& value, std::string& error) {
                     ++patterns;
                     return parseGrating(value, options.pattern, error);
                 });
    for (const char* names : {"--clear,--open", "--opaque"}) {
        const bool opaque = std::string(names) == "--opaque";
        parser.flag(names,
                    opaque ? "every pixel opaque (255): photons pass nowhere"
                           : "every pixel clear (0): photons pass everywhere",
                    [&options, &patterns, opaque](std::string&) {
                        options.pattern.kind = PatternKind::Uniform;
                        options.pattern.opaque = opaque;
                        ++patterns;
                        return true;
                    });
    }
    parser.value("--random", "FRACTION[,SEED]",
                 "a random coded aperture with exactly round(FRACTION * N * N) clear (open) "
                 "pixels (FRACTION from 0 to 1), the others opaque; the same SEED (a whole "
                 "number from 0 to 9223372036854775807, default 1) always gives the same mask.",
                 [&options, &patterns](const std::string& value, std::string& error) {
                     ++patterns;
                     return parseRandom(value, options.pattern, error);
                 });
}

}  // namespace

std::string maskUsage() {
    MaskOptions unused;
    int patterns = 0;
    return toolHelp(R"(Usage: conesim-mask --size N -o FILE PATTERN [--invert]

Writes a square N x N mask image in the form conesim reads: the line "P2", one comment
line, "N N", "255", then N lines of N grey values separated by spaces. The program
treats a grey value above 0 as opaque (the pixel stops photons) and 0 as clear (photons
pass), so clear pixels are written 0 and opaque pixels 255. PATTERN is exactly one of
--grating, --clear (or --open), --opaque and --random.
)",
                    [&](OptionParser& parser) { declareOptions(parser, unused, patterns); },
                    R"(
An output that is a symbolic link is written through to the file it leads to; an output
that exists and is not a regular file (a device, a named pipe, a folder) is refused.
Exit status: 0 done, 1 the file could not be written or was refused, 2 wrong command
line (a value outside its range included).
)");
}

int parseMaskOptions(int argc, char** argv, MaskOptions& options, std::string& error) {
    int patterns = 0;
    const auto declare = [&](OptionParser& parser) { declareOptions(parser, options, patterns); };
    if (const int status = readToolOptions(argc, argv, declare, error); status != kExitOk) {
        return status;
    }
    if (options.help) {
        return kExitOk;
    }
    if (options.size == 0) {
        error = "--size is missing";
        return kExitUsage;
    }
    if (options.output.empty()) {
        error = "-o FILE is missing";
        return kExitUsage;
    }
    if (patterns != 1) {
        error = patterns == 0 ? "no pattern given (--grating, --clear, --opaque or --random)"
                              : "more than one pattern given";
        return kExitUsage;
    }
    return kExitOk;
}

}  // namespace conesim::tools
