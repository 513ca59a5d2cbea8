// The greyscale preview of a double map: its slices summed into one plane, rescaled to
// 0..255, as an ASCII image.
#include <algorithm>
#include <fstream>
#include <sstream>

#include "formats/PgmWriter.hpp"
#include "precalc/MapArray.hpp"
#include "precalc/MapFileErrors.hpp"

namespace conesim {

namespace {

// The grey level of a rescaled value, truncated as the preview always has been. Values lie
// in 0..255 unless the maps hold infinities or NaN: NaN then gives 0 and anything beyond
// the range its nearest end, instead of an undefined conversion.
long long greyLevel(double value) {
    if (!(value >= 0.0)) {
        return 0;
    }
    return value >= 255.0 ? 255 : static_cast<long long>(value);
}

}  // namespace

bool MapArray::writeMapPgm(Console& console, std::ostream& report) {
    return writeMapPgm(console, report, fileName_ + ".pgm");
}

bool MapArray::writeMapPgm(Console& console, std::ostream& report, const std::string& path) {
    const std::string name = fileName_ + ".pgm";
    if (!hasDoubleData_) {
        writeLine(console.out, "No result data found. ");
        return false;
    }
    const std::int64_t n = std::int64_t{dimX_} * dimY_;
    std::vector<double> plane(static_cast<std::size_t>(std::max<std::int64_t>(n, 0)), 0.0);
    for (std::int64_t i = 0; i < n; ++i) {
        double sum = 0.0;
        for (std::int64_t at = i; at < count_; at += n) {
            sum += doubleData_[static_cast<std::size_t>(at)];
        }
        plane[static_cast<std::size_t>(i)] = sum;
    }
    writeLine(report, "Writing PGM file ( " + name + " )");

    std::ofstream out(path, std::ios::trunc);
    const bool opened = out.is_open();

    double min = plane.empty() ? 0.0 : plane[0];
    double max = min;
    for (double value : plane) {
        if (value < min) min = value;
        if (value > max) max = value;
    }
    const double scale = (max - min) != 0.0 ? 255.0 / (max - min) : 1.0;
    for (double& value : plane) {
        value = (value - min) * scale;
    }
    // The numbers in the stream's default format (six significant digits), whatever
    // precision the report stream was left with.
    std::ostringstream numbers;
    numbers << "Min: " << min << "\nMax: " << max << "\nRange: " << scale
            << "\nRescaled as 0 to 255\n\n";
    report << numbers.str();

    if (opened) {
        out << pgmHeaderText(dimX_, dimY_) << std::flush;
        std::string values;
        values.reserve(plane.size() * 4);
        for (double value : plane) {
            values += std::to_string(greyLevel(value));
            values += ' ';
        }
        out << values << std::endl;
        out.close();
    }
    if (!opened || out.fail()) {
        reportWriteFailure(console, report, name, path);
        return false;
    }
    return true;
}

}  // namespace conesim
