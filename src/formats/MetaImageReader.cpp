#include "formats/MetaImageReader.hpp"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <map>

#include "util/BinaryFile.hpp"
#include "util/TextNumbers.hpp"

namespace conesim {

namespace {

constexpr IntRange kDimRange{1, 2147483647};

std::string trimmed(std::string_view text) {
    const auto space = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
    while (!text.empty() && space(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && space(text.back())) {
        text.remove_suffix(1);
    }
    return std::string(text);
}

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

enum class Line { Read, End, TooLong };

// The next line without its line end; stops reading a line at kLongestHeaderLine characters.
// total counts every byte read from the header.
Line nextLine(std::istream& in, std::string& line, std::size_t& total) {
    line.clear();
    int c = in.get();
    if (c == EOF) {
        return Line::End;
    }
    while (c != EOF && c != '\n') {
        ++total;
        if (line.size() == kLongestHeaderLine) {
            return Line::TooLong;
        }
        line += static_cast<char>(c);
        c = in.get();
    }
    if (c == '\n') {
        ++total;
    }
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return Line::Read;
}

// Checks the header's values once all lines up to ElementDataFile are read.
bool interpret(const std::string& headerPath, const std::map<std::string, std::string>& keys,
               MetaImageInfo& info, std::string& error) {
    const auto value = [&keys](const char* key) -> const std::string* {
        const auto found = keys.find(key);
        return found == keys.end() ? nullptr : &found->second;
    };
    const auto refuse = [&](const std::string& what) {
        error = headerPath + ": " + what;
        return false;
    };
    const auto flag = [&](const char* key, bool& set, bool& result) {
        const std::string* text = value(key);
        set = text != nullptr;
        if (!set) {
            return true;
        }
        const std::string word = lowerCase(*text);
        if (word != "true" && word != "false") {
            return refuse(std::string(key) + " " + shortQuote(*text) + " is not True or False");
        }
        result = word == "true";
        return true;
    };
    if (const std::string* type = value("ObjectType"); type != nullptr && *type != "Image") {
        return refuse("ObjectType " + shortQuote(*type) + " is not Image");
    }
    const std::string* dims = value("NDims");
    if (dims == nullptr) {
        return refuse("no NDims");
    }
    std::int64_t count = 0;
    if (!parseInRange(*dims, IntRange{2, 4}, count)) {
        return refuse("NDims " + shortQuote(*dims) + " is not 2, 3 or 4");
    }
    const std::string* sizes = value("DimSize");
    if (sizes == nullptr) {
        return refuse("no DimSize");
    }
    info.dimensions.clear();
    std::string word;
    for (std::size_t i = 0; i <= sizes->size(); ++i) {
        if (i < sizes->size() && !std::isspace(static_cast<unsigned char>((*sizes)[i]))) {
            word += (*sizes)[i];
            continue;
        }
        if (!word.empty()) {
            std::int64_t size = 0;
            if (!parseInRange(word, kDimRange, size)) {
                info.dimensions.clear();
                break;
            }
            info.dimensions.push_back(size);
            word.clear();
        }
    }
    if (static_cast<std::int64_t>(info.dimensions.size()) != count) {
        return refuse("DimSize " + shortQuote(*sizes) + " is not " + std::to_string(count) +
                      " whole numbers " + rangeText(kDimRange));
    }
    const std::string* type = value("ElementType");
    if (type == nullptr) {
        return refuse("no ElementType");
    }
    if (!metaElementTypeOf(*type, info.type)) {
        return refuse("ElementType " + shortQuote(*type) +
                      " is not supported (MET_UINT, MET_FLOAT or MET_DOUBLE)");
    }
    if (const std::string* channels = value("ElementNumberOfChannels");
        channels != nullptr && *channels != "1") {
        return refuse("ElementNumberOfChannels " + shortQuote(*channels) +
                      ": only single-channel images are supported");
    }
    if (const std::string* skip = value("HeaderSize"); skip != nullptr && *skip != "0") {
        return refuse("HeaderSize " + shortQuote(*skip) + " is not supported (only 0)");
    }
    bool set = false;
    bool on = false;
    if (!flag("CompressedData", set, on)) {
        return false;
    }
    if (set && on) {
        return refuse("compressed data (CompressedData = True) is not supported");
    }
    if (!flag("BinaryData", set, on)) {
        return false;
    }
    if (set && !on) {
        return refuse("ASCII data (BinaryData = False) is not supported");
    }
    const char* orderKey = value("BinaryDataByteOrderMSB") != nullptr ? "BinaryDataByteOrderMSB"
                                                                      : "ElementByteOrderMSB";
    if (!flag(orderKey, set, on)) {
        return false;
    }
    if (!set) {
        return refuse("the header does not say BinaryDataByteOrderMSB = False");
    }
    if (on) {
        return refuse("big-endian data (" + std::string(orderKey) + " = True) is not supported");
    }
    const std::string* data = value("ElementDataFile");
    if (*data == "LOCAL") {
        return refuse("data inside the header (ElementDataFile = LOCAL) is not supported");
    }
    if (data->rfind("LIST", 0) == 0) {
        return refuse("a list of data files (ElementDataFile = LIST) is not supported");
    }
    if (data->empty()) {
        return refuse("ElementDataFile names no file");
    }
    const std::filesystem::path named(*data);
    info.dataPath = named.is_absolute()
                        ? named.string()
                        : (std::filesystem::path(headerPath).parent_path() / named).string();
    return true;
}

}  // namespace

bool readMetaImageHeader(const std::string& headerPath, MetaImageInfo& info, std::string& error) {
    info = MetaImageInfo{};
    std::uint64_t size = 0;
    std::ifstream in;
    if (!openInput(headerPath, in, size, error)) {
        return false;
    }
    std::map<std::string, std::string> keys;
    std::string line;
    std::size_t total = 0;
    for (int number = 1;; ++number) {
        const Line read = nextLine(in, line, total);
        if (read == Line::TooLong) {
            error = headerPath + ": line " + std::to_string(number) + " is longer than " +
                    std::to_string(kLongestHeaderLine) + " characters";
            return false;
        }
        if (total > kLargestHeader) {
            error = headerPath + ": no ElementDataFile within the first " +
                    std::to_string(kLargestHeader) + " bytes";
            return false;
        }
        if (read == Line::End) {
            error = headerPath + ": the header ends without ElementDataFile";
            return false;
        }
        if (trimmed(line).empty()) {
            continue;
        }
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos) {
            error = headerPath + ": line " + std::to_string(number) + " " + shortQuote(line) +
                    " is not Key = Value";
            return false;
        }
        const std::string key = trimmed(std::string_view(line).substr(0, equals));
        keys[key] = trimmed(std::string_view(line).substr(equals + 1));
        if (key == "ElementDataFile") {
            return interpret(headerPath, keys, info, error);
        }
    }
}

bool readMetaImageSlice(const MetaImageInfo& info, const std::string& headerPath,
                        std::optional<std::int64_t> slice, ValueImage& image, std::string& error,
                        std::optional<std::int64_t> outer) {
    image = ValueImage{};
    const std::size_t axes = info.dimensions.size();
    // The slices beyond the image's two axes, one after the other: a 4-D stack's (W x H x
    // INNER x OUTER) inner index runs fastest, so slice K is run K of a sweep.
    std::int64_t depth = 1;
    for (std::size_t axis = 2; axis < axes; ++axis) {
        depth *= info.dimensions[axis];
    }
    if (axes == 2 && slice) {
        error = headerPath + ": --slice is for 3-D and 4-D volumes; this image is 2-D";
        return false;
    }
    if (axes != 4 && outer) {
        error = headerPath + ": --outer is for 4-D stacks; this image is " + std::to_string(axes) +
                "-D";
        return false;
    }
    std::int64_t z = slice.value_or(0);
    if (axes == 4 && outer) {
        const std::int64_t inner = info.dimensions[2];
        const std::int64_t outerCount = info.dimensions[3];
        if (*outer >= outerCount) {
            error = headerPath + ": --outer " + std::to_string(*outer) + " is beyond its " +
                    std::to_string(outerCount) + " outer values (0 to " +
                    std::to_string(outerCount - 1) + ")";
            return false;
        }
        if (!slice && inner > 1) {
            error = headerPath + ": " + std::to_string(inner) +
                    " slices per outer value; choose one with --slice K (0 to " +
                    std::to_string(inner - 1) + ")";
            return false;
        }
        if (z >= inner) {
            error = headerPath + ": --slice " + std::to_string(z) + " is beyond its " +
                    std::to_string(inner) + " slices per outer value (0 to " +
                    std::to_string(inner - 1) + ")";
            return false;
        }
        z += *outer * inner;
    } else {
        if (axes > 2 && !slice && depth > 1) {
            error = headerPath + ": a volume of " + std::to_string(depth) +
                    " slices; choose one with --slice K (0 to " + std::to_string(depth - 1) +
                    (axes == 4 ? ", or --outer J and --slice K" : "") + ")";
            return false;
        }
        if (z >= depth) {
            error = headerPath + ": --slice " + std::to_string(z) + " is beyond its " +
                    std::to_string(depth) + " slices (0 to " + std::to_string(depth - 1) + ")";
            return false;
        }
    }
    const std::size_t bytesPerValue = metaElementSize(info.type);
    // The volume's byte count is compared with the file's size without overflowing: a count
    // beyond 64 bits cannot match any file.
    constexpr std::uint64_t kMost = std::numeric_limits<std::uint64_t>::max();
    const std::uint64_t sliceValues = static_cast<std::uint64_t>(info.dimensions[0]) *
                                      static_cast<std::uint64_t>(info.dimensions[1]);
    bool fits = sliceValues <= kMost / bytesPerValue;
    const std::uint64_t sliceBytes = fits ? sliceValues * bytesPerValue : 0;
    fits = fits && sliceBytes <= kMost / static_cast<std::uint64_t>(depth);
    std::uint64_t fileSize = 0;
    std::ifstream in;
    if (!openInput(info.dataPath, in, fileSize, error)) {
        return false;
    }
    if (!fits || fileSize != sliceBytes * static_cast<std::uint64_t>(depth)) {
        std::string shape;
        for (std::size_t axis = 0; axis < info.dimensions.size(); ++axis) {
            shape += (axis == 0 ? "" : " x ") + std::to_string(info.dimensions[axis]);
        }
        error = info.dataPath + ": holds " + std::to_string(fileSize) + " bytes, but " +
                headerPath + " describes " + shape + " " + metaElementTypeName(info.type) +
                " values";
        return false;
    }
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(sliceBytes));
    in.seekg(static_cast<std::streamoff>(sliceBytes * static_cast<std::uint64_t>(z)));
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(sliceBytes));
    if (!in || static_cast<std::uint64_t>(in.gcount()) != sliceBytes) {
        error = "cannot read " + info.dataPath;
        return false;
    }
    image.values.resize(static_cast<std::size_t>(sliceValues));
    for (std::size_t i = 0; i < image.values.size(); ++i) {
        std::uint64_t bits = 0;
        for (std::size_t b = bytesPerValue; b-- > 0;) {
            bits = (bits << 8U) | bytes[i * bytesPerValue + b];
        }
        if (info.type == MetaElementType::kUint32) {
            image.values[i] = static_cast<double>(bits);
        } else if (info.type == MetaElementType::kFloat32) {
            float value = 0.0F;
            const auto narrow = static_cast<std::uint32_t>(bits);
            std::memcpy(&value, &narrow, sizeof value);
            image.values[i] = value;
        } else {
            double value = 0.0;
            std::memcpy(&value, &bits, sizeof value);
            image.values[i] = value;
        }
    }
    image.width = static_cast<std::uint32_t>(info.dimensions[0]);
    image.height = static_cast<std::uint32_t>(info.dimensions[1]);
    return true;
}

}  // namespace conesim
