#include "formats/PgmReader.hpp"

#include <cctype>
#include <fstream>
#include <limits>

#include "util/BinaryFile.hpp"
#include "util/TextNumbers.hpp"

namespace conesim {

namespace {

enum class Word { Found, End, TooLong };

// The next word, skipping white space and "#" comments up to their line end (a comment is
// passed over without being kept). A word longer than kLongestPgmWord stops the reading.
Word nextWord(std::istream& in, std::string& word) {
    word.clear();
    int c = in.get();
    while (c != EOF) {
        if (c == '#') {
            in.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
        } else if (!std::isspace(c)) {
            break;
        }
        c = in.get();
    }
    while (c != EOF && !std::isspace(c) && c != '#') {
        if (word.size() == kLongestPgmWord) {
            return Word::TooLong;
        }
        word += static_cast<char>(c);
        c = in.get();
    }
    if (c == '#') {
        in.unget();
    }
    return word.empty() ? Word::End : Word::Found;
}

std::string tooLong(const std::string& path, const std::string& word) {
    return path + ": a word longer than " + std::to_string(kLongestPgmWord) +
           " characters: " + shortQuote(word);
}

bool headerNumber(std::istream& in, const std::string& path, const char* what, std::int64_t& value,
                  std::string& error) {
    std::string word;
    const Word found = nextWord(in, word);
    if (found == Word::TooLong) {
        error = tooLong(path, word);
        return false;
    }
    if (found == Word::End || !parseInt64(word, value) || value < 1) {
        error = path + ": the " + std::string(what) + " in the header is not a positive number";
        return false;
    }
    return true;
}

}  // namespace

bool readPgmImage(const std::string& path, ValueImage& image, std::string& error) {
    image = ValueImage{};
    std::uint64_t size = 0;
    std::ifstream in;
    if (!openInput(path, in, size, error)) {
        return false;
    }
    std::string magic;
    if (nextWord(in, magic) != Word::Found || magic != "P2") {
        error = path + ": not an ASCII greyscale image (it does not start with P2)";
        return false;
    }
    std::int64_t width = 0;
    std::int64_t height = 0;
    std::int64_t maximum = 0;
    // A mask image's second line is a comment whatever it holds: when the width cannot be
    // read, the whole second line is passed over and the header read again after it. The
    // reading of "P2" took the character after it; from that character, the rest of the
    // first line and then the second line are passed over.
    const std::streampos afterMagic = in.tellg();
    if (!headerNumber(in, path, "width", width, error)) {
        error.clear();
        in.clear();
        in.seekg(afterMagic - std::streamoff(1));
        in.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
        in.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
    } else {
        in.clear();
        in.seekg(afterMagic);
    }
    if (!headerNumber(in, path, "width", width, error) ||
        !headerNumber(in, path, "height", height, error) ||
        !headerNumber(in, path, "maximum grey value", maximum, error)) {
        return false;
    }
    // Every value takes at least two characters, which bounds what a file of this size
    // can hold before any memory is set aside for it.
    const std::uint64_t wanted =
        static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height);
    if (width > std::numeric_limits<std::uint32_t>::max() ||
        height > std::numeric_limits<std::uint32_t>::max() || wanted > size / 2 + 1) {
        error = path + ": the header's size " + std::to_string(width) + " x " +
                std::to_string(height) + " does not fit the file";
        return false;
    }
    image.values.reserve(static_cast<std::size_t>(wanted));
    for (std::uint64_t i = 0; i < wanted; ++i) {
        std::string word;
        std::int64_t value = 0;
        const Word found = nextWord(in, word);
        if (found == Word::TooLong) {
            error = tooLong(path, word);
            return false;
        }
        if (found == Word::End) {
            error = path + ": holds " + std::to_string(i) + " values, its header's " +
                    std::to_string(width) + " x " + std::to_string(height) + " needs " +
                    std::to_string(wanted);
            return false;
        }
        if (!parseInt64(word, value)) {
            error = path + ": value " + std::to_string(i + 1) + " " + shortQuote(word) +
                    " is not a whole number";
            return false;
        }
        image.values.push_back(static_cast<double>(value));
    }
    image.width = static_cast<std::uint32_t>(width);
    image.height = static_cast<std::uint32_t>(height);
    return true;
}

}  // namespace conesim
