#include "phantom/PhantomShapes.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "common/ArgParse.hpp"

namespace conesim::tools {

namespace {

constexpr double kPi = 3.14159265358979323846;

// The fields words[from ..] as numbers; words holds the whole option text's fields.
bool numbersOf(const std::vector<std::string>& words, std::size_t from, std::string_view what,
               std::string_view text, std::vector<double>& fields, std::string& error) {
    fields.clear();
    for (std::size_t i = from; i < words.size(); ++i) {
        double value = 0.0;
        if (!parseDouble(words[i], value)) {
            error = std::string(what) + " '" + std::string(text) + "': '" + words[i] +
                    "' is not a number";
            return false;
        }
        fields.push_back(value);
    }
    return true;
}

bool countIs(const std::vector<std::string>& words, std::size_t fewest, std::size_t most,
             std::string_view what, std::string_view text, std::string& error) {
    if (words.size() >= fewest && words.size() <= most) {
        return true;
    }
    error = std::string(what) + " '" + std::string(text) + "' needs " + std::to_string(fewest) +
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
    if (quarter == std::floor(quarter) && std::fabs(quarter) < 1e9) {
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

std::int64_t firstIndex(double low, std::int64_t size) {
    return static_cast<std::int64_t>(
        std::clamp<double>(std::ceil(low), 0.0, static_cast<double>(size)));
}

std::int64_t lastIndex(double high, std::int64_t size) {
    return static_cast<std::int64_t>(
        std::clamp<double>(std::floor(high), -1.0, static_cast<double>(size - 1)));
}

}  // namespace

bool parseSphere(std::string_view text, Shape& shape, std::string& error) {
    const std::vector<std::string> words = splitList(text);
    std::vector<double> f;
    if (!countIs(words, 5, 5, "--sphere", text, error) ||
        !numbersOf(words, 0, "--sphere", text, f, error)) {
        return false;
    }
    if (f[3] < 0.0) {
        error = "--sphere '" + std::string(text) + "': the radius must not be negative";
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
        error = "--cylinder '" + std::string(text) + "' needs 5 or 7 comma-separated values";
        return false;
    }
    if (!axisOf(words[0], shape.axis)) {
        error =
            "--cylinder '" + std::string(text) + "': the axis '" + words[0] + "' is not x, y or z";
        return false;
    }
    std::vector<double> f;
    if (!numbersOf(words, 1, "--cylinder", text, f, error)) {
        return false;
    }
    if (f[2] < 0.0) {
        error = "--cylinder '" + std::string(text) + "': the radius must not be negative";
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
    if (!countIs(words, 7, 7, "--box", text, error) ||
        !numbersOf(words, 0, "--box", text, f, error)) {
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
            error = "--slab '" + std::string(text) + "': the tilt axis '" + words[3] +
                    "' is not y or x";
            return false;
        }
        words.erase(words.begin() + 3);
    }
    std::vector<double> f;
    if (!numbersOf(words, 0, "--slab", text, f, error)) {
        return false;
    }
    if (f[1] <= 0.0) {
        error = "--slab '" + std::string(text) + "': the thickness must be positive";
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

bool covers(const Shape& shape, double x, double y, double z) {
    switch (shape.kind) {
        case ShapeKind::Sphere: {
            const double dx = x - shape.centre[0];
            const double dy = y - shape.centre[1];
            const double dz = z - shape.centre[2];
            return dx * dx + dy * dy + dz * dz <= shape.radius * shape.radius;
        }
        case ShapeKind::Cylinder: {
            const std::array<double, 3> p{x, y, z};
            // The two cross-section coordinates in x, y, z order, and the one along the axis.
            const double u = p[shape.axis == 0 ? 1 : 0];
            const double v = p[shape.axis == 2 ? 1 : 2];
            const double along = p[static_cast<std::size_t>(shape.axis)];
            const double du = u - shape.centre[0];
            const double dv = v - shape.centre[1];
            return along >= shape.low[0] && along <= shape.high[0] &&
                   du * du + dv * dv <= shape.radius * shape.radius;
        }
        case ShapeKind::Box:
            return x >= shape.low[0] && x <= shape.high[0] && y >= shape.low[1] &&
                   y <= shape.high[1] && z >= shape.low[2] && z <= shape.high[2];
        case ShapeKind::Slab: {
            const double d = (x - shape.centre[0]) * shape.normal[0] +
                             (y - shape.centre[1]) * shape.normal[1] +
                             (z - shape.centre[2]) * shape.normal[2] - shape.offset;
            // Half-open, so that a slab of whole-voxel thickness covers exactly that many
            // voxels across.
            return d >= -shape.radius && d < shape.radius;
        }
    }
    return false;
}

VoxelBounds boundsOf(const Shape& shape, const GridSize& grid) {
    const std::array<std::int64_t, 3> size{grid.x, grid.y, grid.z};
    std::array<double, 3> low{};
    std::array<double, 3> high{};
    switch (shape.kind) {
        case ShapeKind::Sphere:
            for (std::size_t a = 0; a < 3; ++a) {
                low[a] = shape.centre[a] - shape.radius;
                high[a] = shape.centre[a] + shape.radius;
            }
            break;
        case ShapeKind::Cylinder: {
            const auto along = static_cast<std::size_t>(shape.axis);
            const std::size_t u = shape.axis == 0 ? 1 : 0;
            const std::size_t v = shape.axis == 2 ? 1 : 2;
            low[along] = shape.low[0];
            high[along] = shape.high[0];
            low[u] = shape.centre[0] - shape.radius;
            high[u] = shape.centre[0] + shape.radius;
            low[v] = shape.centre[1] - shape.radius;
            high[v] = shape.centre[1] + shape.radius;
            break;
        }
        case ShapeKind::Box:
            low = shape.low;
            high = shape.high;
            break;
        case ShapeKind::Slab:
            for (std::size_t a = 0; a < 3; ++a) {
                low[a] = 0.0;
                high[a] = static_cast<double>(size[a] - 1);
            }
            break;
    }
    VoxelBounds bounds;
    for (std::size_t a = 0; a < 3; ++a) {
        bounds.first[a] = firstIndex(low[a], size[a]);
        bounds.last[a] = lastIndex(high[a], size[a]);
    }
    return bounds;
}

}  // namespace conesim::tools
