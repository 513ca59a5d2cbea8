#include "formats/MaskImage.hpp"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <limits>
#include <sstream>
#include <system_error>

#include "util/BoundedRead.hpp"
#include "util/InputFile.hpp"

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

// The width and height a P2 header states: the two numbers after the magic, comments
// removed; -1 each when the header does not state them.
void statedSize(const std::string& header, std::int64_t& width, std::int64_t& height) {
    std::istringstream words(header);
    std::string magic;
    std::int64_t w = -1;
    std::int64_t h = -1;
    if (words >> magic >> w >> h && magic == "P2" && w >= 0 && h >= 0) {
        width = w;
        height = h;
    }
}

// What a mask that is a pipe or device may give at most: its header lines and every value
// at the longest token, with a separator each.
std::int64_t maskPipeBytes(std::int64_t pixelCount) {
    const auto header = static_cast<std::int64_t>(4 * (kMaxMaskHeaderLine + 2));
    return header + std::max<std::int64_t>(pixelCount, 0) * (kMaxMaskToken + 1);
}

}  // namespace

std::int64_t readMaskImage(const std::string& path, std::vector<std::uint8_t>& buffer,
                           std::int64_t pixelCount, bool& active, std::string* note) {
    MaskRead read;
    const std::int64_t result = readMaskImage(path, buffer, pixelCount, active, read, nullptr);
    if (note != nullptr) {
        *note = read.note;
    }
    return result;
}

std::int64_t readMaskImage(const std::string& path, std::vector<std::uint8_t>& buffer,
                           std::int64_t pixelCount, bool& active, MaskRead& read,
                           const volatile std::sig_atomic_t* stop) {
    if (!active) {
        return 1;
    }
    // A folder can be opened on some systems but yields no text: it is treated like a file
    // that cannot be opened (the input file refuses it).
    InputFile file;
    if (!file.open(path, stop, maskPipeBytes(pixelCount))) {
        active = false;
        return 2;
    }
    // The header (magic, one comment, size, maximum grey) gives no pixel; its stated width
    // and height are only compared with the size the parameter file gives.
    std::string headerText;
    for (int line = 1; line <= 4; ++line) {
        std::string text;
        const BoundedReadResult result = readBoundedLine(file, text, kMaxMaskHeaderLine);
        if (result == BoundedReadResult::kTooLong) {
            read.note = "line " + std::to_string(line) + " of its header is longer than " +
                        std::to_string(kMaxMaskHeaderLine) + " characters; the mask is left clear";
            read.stopped = file.state().stopped();
            return pixelCount;
        }
        headerText += text.substr(0, text.find('#')) + "\n";
    }
    statedSize(headerText, read.width, read.height);
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
        const BoundedReadResult result = readBoundedToken(file, token, kMaxMaskToken);
        if (result == BoundedReadResult::kTooLong) {
            read.note = "holds a token longer than " + std::to_string(kMaxMaskToken) +
                        " characters (\"" + shortPrefix(token) +
                        "\"); the rest of the mask is left clear";
            break;
        }
        // End of file or a token that is not a number: the rest stays clear.
        if (result == BoundedReadResult::kEnd || !readTokenIntegers(token, store)) {
            break;
        }
    }
    read.stopped = file.state().stopped();
    return pixelCount;
}

bool readRunMask(const std::string& maskName, const std::string& path,
                 std::vector<std::uint8_t>& buffer, std::int64_t pixelCount, bool& active,
                 Console& console, std::vector<std::string>& warnings,
                 const volatile std::sig_atomic_t* stop) {
    MaskRead read;
    const bool wasActive = active;
    readMaskImage(path, buffer, pixelCount, active, read, stop);
    const std::string& note = read.note;
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
    const auto side = static_cast<std::int64_t>(std::llround(std::sqrt(pixelCount)));
    if (active && read.width >= 0 && (read.width != side || read.height != side)) {
        const std::string sizeWarning =
            "WARNING: " + maskName + " mask image " + path + " is " + std::to_string(read.width) +
            " x " + std::to_string(read.height) +
            " pixels, but the parameter file gives the mask's size as " + std::to_string(side) +
            "; it is read as " + std::to_string(side) + " x " + std::to_string(side) +
            " values in file order.";
        writeLine(console.out, sizeWarning);
        warnings.push_back(sizeWarning);
    }
    return !read.stopped;
}

}  // namespace conesim
