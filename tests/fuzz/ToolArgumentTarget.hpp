// The body of the tool-argument fuzz target, shared by the libFuzzer program and by the
// test that replays its inputs: an argument vector for one of the companion tools goes
// through that tool's option parser and, when accepted, through the code that derives
// values from the options (mask rows, phantom slices and header, grey levels and colours),
// without any file being read or written.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "FuzzTargets.hpp"
#include "common/GreyScaling.hpp"
#include "common/ToolExit.hpp"
#include "formats/MetaImageHeader.hpp"
#include "mask/MaskOptions.hpp"
#include "mask/MaskPattern.hpp"
#include "phantom/PhantomOptions.hpp"
#include "phantom/PhantomWriter.hpp"
#include "png/ColourMap.hpp"
#include "png/PngOptions.hpp"
#include "sum/SumOptions.hpp"

namespace conesim::fuzz {

// A parser either accepts (or asks for help) or says what is wrong.
inline void requireVerdict(int status, bool help, const std::string& error) {
    require((status == tools::kExitOk && (help || error.empty())) ||
            (status == tools::kExitUsage && !error.empty()));
}

inline void maskArguments(int argc, char** argv) {
    tools::MaskOptions options;
    std::string error;
    const int status = tools::parseMaskOptions(argc, argv, options, error);
    requireVerdict(status, options.help, error);
    if (status != tools::kExitOk || options.help) {
        return;
    }
    require(options.size >= 1 && options.size <= tools::kMaxMaskSize && !options.output.empty());
    (void)options.pattern.describe();
    // Small masks in full; larger ones by their first rows.
    tools::MaskRows rows(options.pattern, options.size);
    std::vector<std::uint8_t> row;
    for (std::int64_t r = 0; r < options.size && r < 16; ++r) {
        rows.next(row);
        require(row.size() == static_cast<std::size_t>(options.size));
        for (std::uint8_t flag : row) {
            require(flag <= 1);
        }
    }
}

inline void phantomArguments(int argc, char** argv) {
    tools::PhantomOptions options;
    std::string error;
    const int status = tools::parsePhantomOptions(argc, argv, options, error);
    requireVerdict(status, options.help, error);
    if (status != tools::kExitOk || options.help) {
        return;
    }
    const tools::GridSize& grid = options.grid;
    require(grid.x >= 1 && grid.y >= 1 && grid.z >= 1 && grid.x <= tools::kMaxSampleDim &&
            grid.y <= tools::kMaxSampleDim && grid.z <= tools::kMaxSampleDim);
    (void)metaImageHeaderText(options.output, tools::phantomLayout(options));
    if (grid.x * grid.y > 4096) {
        return;
    }
    // Every voxel of the first slices is a finite value.
    std::vector<float> slice;
    for (std::int64_t z = 0; z < grid.z && z < 4; ++z) {
        tools::fillSlice(options, z, slice);
        require(slice.size() == static_cast<std::size_t>(grid.x * grid.y));
        for (const float value : slice) {
            require(std::isfinite(value));
        }
    }
}

inline void pngArguments(int argc, char** argv) {
    tools::PngOptions options;
    std::string error;
    const int status = tools::parsePngOptions(argc, argv, options, error);
    requireVerdict(status, options.help, error);
    if (status != tools::kExitOk || options.help) {
        return;
    }
    require(!options.input.empty() && !options.output.empty());
    // Images at the edges of what a file can hold, with the option's own bounds among them.
    constexpr double kHuge = std::numeric_limits<double>::max();
    std::vector<double> values = {0.0,
                                  -0.0,
                                  1.0,
                                  -1.0,
                                  5e-324,
                                  -5e-324,
                                  1e-300,
                                  kHuge,
                                  -kHuge,
                                  4294967295.0,
                                  std::numeric_limits<double>::infinity(),
                                  -std::numeric_limits<double>::infinity(),
                                  std::numeric_limits<double>::quiet_NaN()};
    for (const auto& bound : {options.scale.low, options.scale.high, options.scale.offset}) {
        if (bound) {
            values.push_back(*bound);
            values.push_back(-*bound);
        }
    }
    const std::vector<std::vector<double>> images = {
        values, {0.0, 0.0}, {kHuge, -kHuge}, {1e-310, 2e-310}, {7.0}};
    for (const std::vector<double>& image : images) {
        for (double defaultOffset : {0.0, 1.0}) {
            const tools::GreyRange range =
                options.diverging ? tools::symmetricRangeOf(image, options.scale, defaultOffset)
                                  : tools::rangeOf(image, options.scale, defaultOffset);
            require(range.offset > 0.0 && std::isfinite(range.offset));
            if (range.low > range.high) {
                continue;  // refused by the tool as an empty range
            }
            for (double v : image) {
                const double t = tools::rangePosition(v, range, options.scale.logarithmic);
                require(t >= 0.0 && t <= 1.0);
            }
            (void)tools::toGrey(image, range, options.scale.logarithmic);
            if (options.diverging) {
                require(range.low <= 0.0 && range.high >= 0.0);
                (void)tools::toDivergingColours(image, range, options.scale.logarithmic);
            }
        }
    }
}

inline void sumArguments(int argc, char** argv) {
    tools::SumOptions options;
    std::string error;
    const int status = tools::parseSumOptions(argc, argv, options, error);
    requireVerdict(status, options.help, error);
    if (status != tools::kExitOk || options.help) {
        return;
    }
    require(!options.inputs.empty() && !options.output.empty());
    require(options.width == 0 ? !options.paramsFile.empty()
                               : options.width <= tools::kSumWidthRange.high);
    require(!tools::outputBase(options.output).empty());
}

// The first byte chooses the tool (mask, phantom, png, sum); the rest, cut at every NUL
// byte, are its arguments (at most 64).
inline void toolArguments(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return;
    }
    static constexpr const char* kNames[] = {"conesim-mask", "conesim-phantom", "conesim-png",
                                             "conesim-sum"};
    const int tool = data[0] % 4;
    std::vector<std::string> words{kNames[tool]};
    std::string word;
    for (std::size_t i = 1; i <= size && words.size() <= 64; ++i) {
        if (i == size || data[i] == 0) {
            words.push_back(word);
            word.clear();
        } else {
            word += static_cast<char>(data[i]);
        }
    }
    std::vector<char*> argv;
    for (std::string& w : words) {
        argv.push_back(w.data());
    }
    argv.push_back(nullptr);
    const int argc = static_cast<int>(words.size());
    switch (tool) {
        case 0:
            maskArguments(argc, argv.data());
            break;
        case 1:
            phantomArguments(argc, argv.data());
            break;
        case 2:
            pngArguments(argc, argv.data());
            break;
        default:
            sumArguments(argc, argv.data());
            break;
    }
}

}  // namespace conesim::fuzz
