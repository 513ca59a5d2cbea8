#include "common/ImageSource.hpp"

#include <algorithm>
#include <cctype>

namespace conesim::tools {

namespace {

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

}  // namespace

bool kindFromName(const std::string& path, SourceKind& kind) {
    const std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || path.find('/', dot) != std::string::npos) {
        return false;
    }
    return kindFromWord(lowerCase(path.substr(dot + 1)), kind);
}

bool kindFromWord(const std::string& word, SourceKind& kind) {
    if (word == "dat") {
        kind = SourceKind::Raw;
    } else if (word == "pgm") {
        kind = SourceKind::Pgm;
    } else if (word == "pca") {
        kind = SourceKind::Plane;
    } else if (word == "mhd") {
        kind = SourceKind::MetaImage;
    } else {
        return false;
    }
    return true;
}

}  // namespace conesim::tools
