#include "mask/MaskOptions.hpp"

#include <vector>

#include "common/ArgParse.hpp"
#include "common/ToolExit.hpp"

namespace conesim::tools {

namespace {

constexpr const char* kTool = "conesim-mask";

bool parseGrating(const std::string& text, MaskPattern& pattern, std::string& error) {
    std::vector<std::string> words = splitList(text);
    if (words.size() < 2 || words.size() > 4) {
        error = "--grating '" + text + "' needs 2 to 4 comma-separated values";
        return false;
    }
    pattern.vertical = true;
    if (words.size() == 4) {
        if (words[3] == "h" || words[3] == "horizontal") {
            pattern.vertical = false;
        } else if (words[3] != "v" && words[3] != "vertical") {
            error = "--grating '" + text + "': the orientation '" + words[3] +
                    "' is not v (vertical) or h (horizontal)";
            return false;
        }
    }
    std::int64_t numbers[3] = {0, 0, 0};
    for (std::size_t i = 0; i < words.size() && i < 3; ++i) {
        if (!parseInt64(words[i], numbers[i])) {
            error = "--grating '" + text + "': '" + words[i] + "' is not a whole number";
            return false;
        }
    }
    pattern.kind = PatternKind::Grating;
    pattern.period = numbers[0];
    pattern.aperture = numbers[1];
    pattern.offset = numbers[2];
    if (pattern.period < 1) {
        error = "--grating '" + text + "': the period must be at least 1";
        return false;
    }
    if (pattern.aperture < 0 || pattern.aperture > pattern.period) {
        error = "--grating '" + text + "': the aperture must lie between 0 and the period";
        return false;
    }
    return true;
}

bool parseRandom(const std::string& text, MaskPattern& pattern, std::string& error) {
    const std::vector<std::string> words = splitList(text);
    if (words.empty() || words.size() > 2) {
        error = "--random '" + text + "' needs 1 or 2 comma-separated values";
        return false;
    }
    double fraction = 0.0;
    if (!parseDouble(words[0], fraction) || fraction < 0.0 || fraction > 1.0) {
        error = "--random '" + text + "': the clear fraction '" + words[0] +
                "' is not a number from 0 to 1";
        return false;
    }
    std::int64_t seed = 1;
    if (words.size() == 2 && (!parseInt64(words[1], seed) || seed < 0)) {
        error = "--random '" + text + "': the seed '" + words[1] +
                "' is not a non-negative whole number";
        return false;
    }
    pattern.kind = PatternKind::Random;
    pattern.clearFraction = fraction;
    pattern.seed = static_cast<std::uint64_t>(seed);
    return true;
}

}  // namespace

const char* const kMaskUsage =
    R"(Usage: conesim-mask --size N -o FILE PATTERN [--invert]

Writes a square N x N mask image in the form conesim reads: the line "P2", one comment
line, "N N", "255", then N lines of N grey values separated by spaces. The program
treats a grey value above 0 as opaque (the pixel stops photons) and 0 as clear (photons
pass), so clear pixels are written 0 and opaque pixels 255.

Options:
  --size N            mask edge in pixels, 1 to 10000 (required; the parameter file's
                      preMaskSize or postMaskSize must be the same N)
  -o, --output FILE   the image file to write (required)
  --invert            swap clear and opaque after forming the pattern
  -h, --help          this text

Patterns (exactly one):
  --grating PERIOD,APERTURE[,OFFSET[,ORIENTATION]]
        lines of apertures: along u a pixel is clear when (u - OFFSET) modulo PERIOD
        is less than APERTURE, and opaque otherwise (whole pixels; 0 <= APERTURE <=
        PERIOD; OFFSET default 0, may be negative). ORIENTATION v (default, vertical
        lines: u is the column, every row alike) or h (horizontal lines: u is the row).
  --clear, --open     every pixel clear (0): photons pass everywhere
  --opaque            every pixel opaque (255): photons pass nowhere
  --random FRACTION[,SEED]
        a random coded aperture with exactly round(FRACTION * N * N) clear (open)
        pixels (FRACTION from 0 to 1), the others opaque; the same SEED (default 1) always
        gives the same mask.

Exit status: 0 done, 1 the file could not be written, 2 wrong command line.
)";

int parseMaskOptions(int argc, char** argv, MaskOptions& options) {
    ArgCursor args(argc, argv);
    int patterns = 0;
    while (!args.done()) {
        const std::string word = args.next();
        if (word == "-h" || word == "--help") {
            options.help = true;
            return kExitOk;
        }
        if (word == "--invert") {
            options.pattern.invert = true;
            continue;
        }
        if (word == "--clear" || word == "--open" || word == "--opaque") {
            options.pattern.kind = PatternKind::Uniform;
            options.pattern.opaque = word == "--opaque";
            ++patterns;
            continue;
        }
        const bool takesValue = word == "--size" || word == "-o" || word == "--output" ||
                                word == "--grating" || word == "--random";
        if (!takesValue) {
            return usageError(kTool, "unknown argument '" + word + "'");
        }
        std::string value;
        if (!args.takeValue(value)) {
            return usageError(kTool, word + " needs a value");
        }
        std::string error;
        if (word == "--size") {
            if (!parseInt64(value, options.size) || options.size < 1 ||
                options.size > kMaxMaskSize) {
                return usageError(kTool,
                                  "--size '" + value + "' is not a whole number from 1 to 10000");
            }
        } else if (word == "-o" || word == "--output") {
            options.output = value;
        } else if (word == "--grating") {
            if (!parseGrating(value, options.pattern, error)) {
                return usageError(kTool, error);
            }
            ++patterns;
        } else if (!parseRandom(value, options.pattern, error)) {
            return usageError(kTool, error);
        } else {
            ++patterns;
        }
    }
    if (options.size == 0) {
        return usageError(kTool, "--size is missing");
    }
    if (options.output.empty()) {
        return usageError(kTool, "-o FILE is missing");
    }
    if (patterns != 1) {
        return usageError(kTool, patterns == 0 ? "no pattern given (--grating, --clear, "
                                                 "--opaque or --random)"
                                               : "more than one pattern given");
    }
    return kExitOk;
}

}  // namespace conesim::tools
