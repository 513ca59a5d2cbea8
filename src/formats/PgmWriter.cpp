#include "formats/PgmWriter.hpp"

namespace conesim {

std::string pgmHeaderText(std::int64_t width, std::int64_t height, std::string_view comment) {
    std::string text = "P2\n";
    if (!comment.empty()) {
        text += "# ";
        text += comment;
        text += '\n';
    }
    text += std::to_string(width) + " " + std::to_string(height) + "\n255\n";
    return text;
}

}  // namespace conesim
