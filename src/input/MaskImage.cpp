#include "input/MaskImage.hpp"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <limits>
#include <system_error>

namespace conesim {

std::int64_t readMaskImage(const std::string& path, std::vector<std::uint8_t>& buffer,
                           std::int64_t pixelCount, bool& active) {
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
    for (int line = 0; line < 4; ++line) {
        file.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
    }
    // Never write past the buffer, whatever count the caller states.
    const std::int64_t count =
        std::min<std::int64_t>(pixelCount, static_cast<std::int64_t>(buffer.size()));
    for (std::int64_t i = 0; i < count; ++i) {
        int value = 0;
        if (!(file >> value)) {
            break;  // end of file or a token that is not a number: the rest stays clear
        }
        if (value > 0) {
            buffer[static_cast<std::size_t>(i)] = 1;
        }
    }
    return pixelCount;
}

}  // namespace conesim
