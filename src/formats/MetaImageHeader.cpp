#include "formats/MetaImageHeader.hpp"

#include <charconv>
#include <filesystem>
#include <fstream>

#include "util/BinaryFile.hpp"
#include "util/PendingFile.hpp"

namespace conesim {
namespace {

// The shortest text that reads back as the same value; a value that came from a
// single-precision setting is written as that float (0.1, not 0.10000000149011612).
std::string numberText(double value) {
    char buffer[64];
    const auto narrow = static_cast<float>(value);
    const auto [end, error] = static_cast<double>(narrow) == value
                                  ? std::to_chars(buffer, buffer + sizeof buffer, narrow)
                                  : std::to_chars(buffer, buffer + sizeof buffer, value);
    return error == std::errc() ? std::string(buffer, end) : std::string("1");
}

}  // namespace

const char* metaElementTypeName(MetaElementType type) {
    switch (type) {
        case MetaElementType::kUint32:
            return "MET_UINT";
        case MetaElementType::kFloat32:
            return "MET_FLOAT";
        case MetaElementType::kFloat64:
            return "MET_DOUBLE";
    }
    return "MET_UINT";
}

std::size_t metaElementSize(MetaElementType type) {
    return type == MetaElementType::kFloat64 ? 8 : 4;
}

bool metaElementTypeOf(const std::string& name, MetaElementType& type) {
    for (MetaElementType candidate :
         {MetaElementType::kUint32, MetaElementType::kFloat32, MetaElementType::kFloat64}) {
        if (name == metaElementTypeName(candidate)) {
            type = candidate;
            return true;
        }
    }
    return false;
}

std::string metaImageHeaderText(const std::string& rawPath, const MetaImageLayout& layout) {
    std::string dims;
    std::string spacing;
    for (std::size_t axis = 0; axis < layout.dimensions.size(); ++axis) {
        if (axis > 0) {
            dims += ' ';
            spacing += ' ';
        }
        dims += std::to_string(layout.dimensions[axis]);
        spacing += numberText(axis < layout.spacing.size() ? layout.spacing[axis] : 1.0);
    }
    // ElementDataFile must come last: readers take the data to start after it.
    return "ObjectType = Image\n"
           "NDims = " +
           std::to_string(layout.dimensions.size()) +
           "\n"
           "BinaryData = True\n"
           "BinaryDataByteOrderMSB = False\n"
           "CompressedData = False\n"
           "ElementSpacing = " +
           spacing +
           "\n"
           "DimSize = " +
           dims + "\nElementType = " + metaElementTypeName(layout.type) +
           "\n"
           "ElementDataFile = " +
           std::filesystem::path(rawPath).filename().string() + "\n";
}

bool stageMetaImageHeader(PendingFile& header, const std::string& rawPath,
                          const MetaImageLayout& layout, std::string& error) {
    const std::string text = metaImageHeaderText(rawPath, layout);
    return stageFile(header, text.data(), text.size(), error);
}

bool writeMetaImageHeader(const std::string& rawPath, const MetaImageLayout& layout,
                          std::string& error) {
    PendingFile pending(metaImageHeaderPath(rawPath));
    std::ofstream file;
    if (!pending.open(file, error)) {
        return false;
    }
    file << metaImageHeaderText(rawPath, layout);
    return pending.finish(file, error);
}

}  // namespace conesim
