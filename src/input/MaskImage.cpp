#include "input/MaskImage.hpp"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <limits>
#include <system_error>

#include "util/BoundedRead.hpp"

namespace conesim {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Reads the integers that formatted stream input would take from a token, one after the
// other ("12-3" gives 12 and -3): each an optional sign and decimal digits within the
// 32-bit range. Calls store with each; false at the first part that is no such integer,
// after which the stream input would fail.
template <typename Store>
bool readTokenIntegers(const std::string& token, Store&& store) {
    std::size_t i = 0;
    while (i < token.size()) {
        const bool negative = token[i] == '-';
        if (token[i] == '+' || token[i] == '-') {
            ++i;
        }
        if (i == token.size() || !isDigit(token[i])) {
            return false;
        }
        std::int64_t magnitude = 0;
        while (i < token.size() && isDigit(token[i])) {
            magnitude = magnitude * 10 + (token[i] - '0');
            if (magnitude > std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1) {
                return false;
            }
            ++i;
        }
        const std::int64_t value = negative ? -magnitude : magnitude;
        if (value > std::numeric_limits<std::int32_t>::max()) {
            return false;
        }
        if (!store(static_cast<std::int32_t>(value))) {
            return true;
        }
    }
    return true;
}

std::string shortPrefix(const std::string& text) {
    constexpr std::size_t kShown = 20;
    return text.size() <= kShown ? text : text.substr(0, kShown) + "...";
}

}  // namespace

std::int64_t readMaskImage(const std::string& path, std::vector<std::uint8_t>& buffer,
                           std::int64_t pixelCount, bool& active, std::string* note) {
    if (!active) {
        return 1;
    }
    std::error_code error;
    // A folder can be opened as a stream on some systems but yields no text: it is treated
    // like a file that cannot be opened.
    if (std::filesystem::is_directory(path, error)) {
        active = false;
        return 2;
    }
    std::ifstream file(path);
    if (!file.is_open()) {
        active = false;
        return 2;
    }
    // The header (magic, one comment, size, maximum grey) is skipped without being parsed.
    for (int line = 1; line <= 4; ++line) {
        if (skipBoundedLine(file, kMaxMaskHeaderLine) == BoundedReadResult::kTooLong) {
            if (note != nullptr) {
                *note = "line " + std::to_string(line) + " of its header is longer than " +
                        std::to_string(kMaxMaskHeaderLine) + " characters; the mask is left clear";
            }
            return pixelCount;
        }
    }
    // Never write past the buffer, whatever count the caller states.
    const std::int64_t count =
        std::min<std::int64_t>(pixelCount, static_cast<std::int64_t>(buffer.size()));
    std::int64_t i = 0;
    std::string token;
    const auto store = [&](std::int32_t value) {
        if (value > 0) {
            buffer[static_cast<std::size_t>(i)] = 1;
        }
        return ++i < count;
    };
    while (i < count) {
        const BoundedReadResult read = readBoundedToken(file, token, kMaxMaskToken);
        if (read == BoundedReadResult::kTooLong) {
            if (note != nullptr) {
                *note = "holds a token longer than " + std::to_string(kMaxMaskToken) +
                        " characters (\"" + shortPrefix(token) +
                        "\"); the rest of the mask is left clear";
            }
            break;
        }
        // End of file or a token that is not a number: the rest stays clear.
        if (read == BoundedReadResult::kEnd || !readTokenIntegers(token, store)) {
            break;
        }
    }
    return pixelCount;
}

void readRunMask(const std::string& maskName, const std::string& path,
                 std::vector<std::uint8_t>& buffer, std::int64_t pixelCount, bool& active,
                 Console& console, std::vector<std::string>& warnings) {
    std::string note;
    const bool wasActive = active;
    readMaskImage(path, buffer, pixelCount, active, &note);
    std::string lowerName = maskName;
    if (!lowerName.empty() && lowerName[0] >= 'A' && lowerName[0] <= 'Z') {
        lowerName[0] = static_cast<char>(lowerName[0] - 'A' + 'a');
    }
    std::string warning;
    if (wasActive && !active) {
        std::error_code error;
        const bool present = std::filesystem::exists(path, error);
        warning = "WARNING: " + maskName + " mask image " + path +
                  (present ? " cannot be read" : " does not exist") + "; the " + lowerName +
                  " mask is off.";
    } else if (!note.empty()) {
        warning = "WARNING: " + maskName + " mask image " + path + " " + note + ".";
    }
    if (!warning.empty()) {
        writeLine(console.out, warning);
        warnings.push_back(warning);
    }
}

}  // namespace conesim
