#include "phantom/ShapeParsing.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <initializer_list>
#include <limits>
#include <vector>

namespace conesim::tools {

namespace {

constexpr double kPi = 3.14159265358979323846;

struct Field {
    const char* name;
    NumberRange range;
};

constexpr Field kCentreX{"CX", kCoordinateRange};
constexpr Field kCentreY{"CY", kCoordinateRange};
constexpr Field kCentreZ{"CZ", kCoordinateRange};
constexpr Field kRadius{"R", kRadiusRange};
constexpr Field kValue{"VALUE", kVoxelValueRange};

// The option's name and text as the messages start: "--sphere '1,2,3'".
std::string optionText(std::string_view option, std::string_view text) {
    return std::string(option) + " " + shortQuote(text);
}

// The fields words[from ..] as numbers, the i-th within fields[i].
bool numbersOf(const std::vector<std::string>& words, std::size_t from,
               std::initializer_list<Field> fields, std::string_view option, std::string_view text,
               std::vector<double>& values, std::string& error) {
    values.clear();
    auto field = fields.begin();
    for (std::size_t i = from; i < words.size() && field != fields.end(); ++i, ++field) {
        double value = 0.0;
        if (!parseInRange(words[i], field->range, value)) {
            error =
                notNumber(optionText(option, text) + ": " + field->name, words[i], field->range);
            return false;
        }
        values.push_back(value);
    }
    return true;
}

bool countIs(const std::vector<std::string>& words, std::size_t fewest, std::size_t most,
             std::string_view option, std::string_view text, std::string& error) {
    if (words.size() >= fewest && words.size() <= most) {
        return true;
    }
    error = optionText(option, text) + " needs " + std::to_string(fewest) +
            (most == fewest ? "" : " to " + std::to_string(most)) + " comma-separated values";
    return false;
}

bool axisOf(std::string_view word, int& axis) {
    if (word == "x" || word == "X") {
        axis = 0;
    } else if (word == "y" || word == "Y") {
        axis = 1;
    } else if (word == "z" || word == "Z") {
        axis = 2;
    } else {
        return false;
    }
    return true;
}

// Cosine and sine of an angle in degrees, exact at whole multiples of 90 degrees so that
// untilted slabs have exact boundaries.
void cosSinDegrees(double degrees, double& c, double& s) {
    const double quarter = degrees / 90.0;
    if (quarter == std::floor(quarter)) {
        const auto turn = static_cast<std::int64_t>(quarter) % 4;
        const int index = static_cast<int>((turn + 4) % 4);
        constexpr std::array<double, 4> cosines{1.0, 0.0, -1.0, 0.0};
        constexpr std::array<double, 4> sines{0.0, 1.0, 0.0, -1.0};
        c = cosines[static_cast<std::size_t>(index)];
        s = sines[static_cast<std::size_t>(index)];
        return;
    }
    c = std::cos(degrees * kPi / 180.0);
    s = std::sin(degrees * kPi / 180.0);
}

}  // namespace

bool parseSphere(std::string_view text, Shape& shape, std::string& error) {
    const std::vector<std::string> words = splitList(text);
    std::vector<double> f;
    if (!countIs(words, 5, 5, "--sphere", text, error) ||
        !numbersOf(words, 0, {kCentreX, kCentreY, kCentreZ, kRadius, kValue}, "--sphere", text, f,
                   error)) {
        return false;
    }
    shape = Shape{};
    shape.kind = ShapeKind::Sphere;
    shape.centre = {f[0], f[1], f[2]};
    shape.radius = f[3];
    shape.value = static_cast<float>(f[4]);
    return true;
}

bool parseCylinder(std::string_view text, Shape& shape, std::string& error) {
    const std::vector<std::string> words = splitList(text);
    shape = Shape{};
    if (!countIs(words, 5, 7, "--cylinder", text, error)) {
        return false;
    }
    if (words.size() == 6) {
        error = optionText("--cylinder", text) + " needs 5 or 7 comma-separated values";
        return false;
    }
    if (!axisOf(words[0], shape.axis)) {
        error = optionText("--cylinder", text) + ": the axis " + shortQuote(words[0]) +
                " is not x, y or z";
        return false;
    }
    std::vector<double> f;
    if (!numbersOf(words, 1,
                   {{"C1", kCoordinateRange},
                    {"C2", kCoordinateRange},
                    kRadius,
                    kValue,
                    {"FROM", kCoordinateRange},
                    {"TO", kCoordinateRange}},
                   "--cylinder", text, f, error)) {
        return false;
    }
    shape.kind = ShapeKind::Cylinder;
    shape.centre = {f[0], f[1], 0.0};
    shape.radius = f[2];
    shape.value = static_cast<float>(f[3]);
    shape.low[0] = -std::numeric_limits<double>::infinity();
    shape.high[0] = std::numeric_limits<double>::infinity();
    if (f.size() == 6) {
        shape.low[0] = std::min(f[4], f[5]);
        shape.high[0] = std::max(f[4], f[5]);
    }
    return true;
}

bool parseBox(std::string_view text, Shape& shape, std::string& error) {
    const std::vector<std::string> words = splitList(text);
    std::vector<double> f;
    if (!countIs(words, 7, 7, "--box", text, error) || !numbersOf(words, 0,
                                                                  {{"X0", kCoordinateRange},
                                                                   {"Y0", kCoordinateRange},
                                                                   {"Z0", kCoordinateRange},
                                                                   {"X1", kCoordinateRange},
                                                                   {"Y1", kCoordinateRange},
                                                                   {"Z1", kCoordinateRange},
                                                                   kValue},
                                                                  "--box", text, f, error)) {
        return false;
    }
    shape = Shape{};
    shape.kind = ShapeKind::Box;
    for (std::size_t a = 0; a < 3; ++a) {
        shape.low[a] = std::min(f[a], f[a + 3]);
        shape.high[a] = std::max(f[a], f[a + 3]);
    }
    shape.value = static_cast<float>(f[6]);
    return true;
}

bool parseSlab(std::string_view text, const GridSize& grid, Shape& shape, std::string& error) {
    std::vector<std::string> words = splitList(text);
    shape = Shape{};
    if (!countIs(words, 3, 5, "--slab", text, error)) {
        return false;
    }
    int tiltAxis = 1;
    if (words.size() >= 4) {
        if (!axisOf(words[3], tiltAxis) || tiltAxis == 2) {
            error = optionText("--slab", text) + ": the tilt axis " + shortQuote(words[3]) +
                    " is not y or x";
            return false;
        }
        words.erase(words.begin() + 3);
    }
    std::vector<double> f;
    if (!numbersOf(words, 0,
                   {{"ANGLE", kAngleRange},
                    {"THICKNESS", kThicknessRange},
                    kValue,
                    {"OFFSET", kCoordinateRange}},
                   "--slab", text, f, error)) {
        return false;
    }
    double c = 1.0;
    double s = 0.0;
    cosSinDegrees(f[0], c, s);
    shape.kind = ShapeKind::Slab;
    // Untilted, the slab is a wall across the tilt's other axis: about y it is the plane
    // x = centre (normal along x), about x the plane y = centre (normal along y). Tilting
    // turns the normal towards z.
    shape.normal =
        tiltAxis == 1 ? std::array<double, 3>{c, 0.0, s} : std::array<double, 3>{0.0, c, s};
    shape.radius = f[1] / 2.0;
    shape.value = static_cast<float>(f[2]);
    shape.offset = f.size() == 4 ? f[3] : 0.0;
    shape.centre = {static_cast<double>(grid.x - 1) / 2.0, static_cast<double>(grid.y - 1) / 2.0,
                    static_cast<double>(grid.z - 1) / 2.0};
    return true;
}

}  // namespace conesim::tools
