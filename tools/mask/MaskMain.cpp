// conesim-mask: writes mask images (gratings, uniform, random coded apertures).
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "common/BinaryFile.hpp"
#include "common/ToolExit.hpp"
#include "formats/PgmWriter.hpp"
#include "mask/MaskOptions.hpp"
#include "util/PendingFile.hpp"

namespace {

using namespace conesim::tools;

bool writeMask(const MaskOptions& options, std::string& error) {
    conesim::PendingFile pending(options.output);
    std::ofstream file;
    if (!pending.open(file, error)) {
        return false;
    }
    std::string text = conesim::pgmHeaderText(options.size, options.size,
                                              "conesim-mask " + options.pattern.describe());
    MaskRows rows(options.pattern, options.size);
    std::vector<std::uint8_t> row;
    for (std::int64_t r = 0; r < options.size; ++r) {
        rows.next(row);
        for (std::size_t c = 0; c < row.size(); ++c) {
            text += row[c] != 0 ? "255" : "0";
            text += c + 1 < row.size() ? ' ' : '\n';
        }
        if (!writeChecked(file, text.data(), text.size())) {
            error = "cannot write " + options.output;
            return false;
        }
        text.clear();
    }
    return pending.finish(file, error);
}

int runMask(int argc, char** argv) {
    MaskOptions options;
    std::string error;
    if (parseMaskOptions(argc, argv, options, error) != kExitOk) {
        return usageError("conesim-mask", error);
    }
    if (options.help) {
        std::cout << maskUsage();
        return kExitOk;
    }
    if (!writeMask(options, error)) {
        return failure("conesim-mask", error);
    }
    std::cout << "Wrote " << options.output << ": " << options.size << " x " << options.size
              << " mask, " << options.pattern.describe() << "." << std::endl;
    return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
    return runGuarded("conesim-mask", [&] { return runMask(argc, argv); });
}
