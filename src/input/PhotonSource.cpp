#include "input/PhotonSource.hpp"

#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <system_error>

#include "util/BoundedRead.hpp"

namespace conesim {

namespace {

constexpr float kLowestEnergy = 0.0F;     // accepted energies lie strictly above this
constexpr float kHighestEnergy = 500.0F;  // ... and strictly below this (keV)

// The distance is kept as a whole number, truncated toward zero; values beyond the
// 32-bit range (or not a number) are pinned instead of being undefined.
std::int32_t truncateDistance(double distance) {
    if (std::isnan(distance)) {
        return 0;
    }
    constexpr double kLow = std::numeric_limits<std::int32_t>::min();
    constexpr double kHigh = std::numeric_limits<std::int32_t>::max();
    if (distance <= kLow) {
        return std::numeric_limits<std::int32_t>::min();
    }
    if (distance >= kHigh) {
        return std::numeric_limits<std::int32_t>::max();
    }
    return static_cast<std::int32_t>(distance);
}

enum class TokenKind { number, outOfRange, notANumber };

bool acceptedEnergy(float value) {
    return value > kLowestEnergy && value < kHighestEnergy;
}

// Reads one whitespace-free token as a single-precision float, correctly rounded. A leading
// "+" is allowed, as formatted stream input allows it. The whole token must be the number.
TokenKind parseEnergy(const std::string& token, float& value) {
    const char* first = token.data();
    const char* last = token.data() + token.size();
    if (first != last && *first == '+') {
        ++first;
        if (first != last && *first == '-') {
            return TokenKind::notANumber;
        }
    }
    const auto [end, error] = std::from_chars(first, last, value, std::chars_format::general);
    if (error == std::errc::result_out_of_range && end == last) {
        return TokenKind::outOfRange;
    }
    if (error != std::errc() || end != last || first == last) {
        return TokenKind::notANumber;
    }
    return TokenKind::number;
}

}  // namespace

ConeAxis coneAxis(std::int64_t pixels, float pixelSize, std::int32_t distance) {
    // In double precision from the stored (truncated) distance; a distance of 0 gives
    // right angles.
    const double size = static_cast<double>(pixelSize);
    const double lowEdge = static_cast<double>(-(pixels / 2)) - 0.5;
    const double highEdge = static_cast<double>(pixels - pixels / 2) - 0.5;
    const auto d = static_cast<double>(distance);
    return ConeAxis{std::atan(lowEdge * size / d), std::atan(highEdge * size / d)};
}

PhotonSource loadSpectrum(const std::string& path, const DetectorCone& detector, Console& console,
                          bool weighted) {
    PhotonSource source;
    source.detectorExtentX = static_cast<float>(detector.width) * detector.pixelSizeX;
    source.detectorExtentY = static_cast<float>(detector.height) * detector.pixelSizeY;
    source.detectorDistance = truncateDistance(detector.distance);
    source.energyCount = 0;
    source.showAll = true;
    source.coneX = coneAxis(detector.width, detector.pixelSizeX, source.detectorDistance);
    source.coneY = coneAxis(detector.height, detector.pixelSizeY, source.detectorDistance);

    // A folder opens as a stream on this platform but holds no text: it counts as missing.
    std::error_code error;
    std::ifstream file;
    if (!std::filesystem::is_directory(path, error)) {
        file.open(path);
    }
    if (!file.is_open()) {
        writeLine(console.out, "\nSpectra file missing!");
        return source;
    }
    // The energies are floats; their sum is kept in double precision, so that long spectra
    // keep every energy's share, and the mean is rounded to single precision.
    double sum = 0.0;
    double weightSum = 0.0;
    bool pendingEnergy = false;  // an energy read whose weight is still to come
    bool energyAccepted = false;
    float energy = 0.0F;
    std::string token;
    while (true) {
        const BoundedReadResult read = readBoundedToken(file, token, kMaxSpectrumToken);
        if (read == BoundedReadResult::kEnd) {
            break;
        }
        if (read == BoundedReadResult::kTooLong) {
            writeLine(console.out,
                      "WARNING: Spectrum file " + path + " holds a token longer than " +
                          std::to_string(kMaxSpectrumToken) + " characters (\"" +
                          token.substr(0, 20) + "...\"); the rest of the file is not read.");
            break;
        }
        float value = 0.0F;
        const TokenKind kind = parseEnergy(token, value);
        if (kind == TokenKind::notANumber) {
            writeLine(console.out, "WARNING: Spectrum file " + path + " holds \"" + token +
                                       "\", which is not a number; it is skipped.");
            continue;
        }
        if (weighted) {
            // Pairs: an energy, then its weight; the pair counts when both are accepted.
            if (!pendingEnergy) {
                pendingEnergy = true;
                energy = value;
                energyAccepted = kind == TokenKind::number && acceptedEnergy(value);
                continue;
            }
            pendingEnergy = false;
            const double weight = kind == TokenKind::number ? static_cast<double>(value) : -1.0;
            if (energyAccepted && std::isfinite(weight) && weight > 0.0) {
                source.energies.push_back(energy);
                source.weights.push_back(weight);
                sum += weight * static_cast<double>(energy);
                weightSum += weight;
            }
            continue;
        }
        // Values too large or too small for a float lie outside the accepted range.
        if (kind == TokenKind::number && acceptedEnergy(value)) {
            source.energies.push_back(value);
            sum += static_cast<double>(value);
        }
    }
    if (pendingEnergy) {
        writeLine(console.out, "WARNING: Spectrum file " + path +
                                   " ends with an energy without its weight; it is skipped.");
    }
    source.energyCount = static_cast<std::int32_t>(source.energies.size());
    if (source.energyCount > 0) {
        const double total = weighted ? weightSum : static_cast<double>(source.energyCount);
        source.meanEnergy = static_cast<float>(sum / total);
    }
    return source;
}

int drawPhoton(PhotonSource& source, RandomGenerator& random, Console& console) {
    if (source.energyCount < 1) {
        writeLine(console.out, "\nSpectra file corrupt or empty! Aborting run.");
        return 1;
    }
    source.angleX = 0.0;
    source.angleY = 0.0;
    source.offsetX = 0.0;
    source.offsetY = 0.0;
    source.angleX = directionAngle(source.coneX, draw30Bits(random));
    source.angleY = directionAngle(source.coneY, draw30Bits(random));
    return 0;
}

}  // namespace conesim
