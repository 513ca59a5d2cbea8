// The line rules of the parameter file: which value a line gives, how an extension
// setting line reads, and a scan of a whole file into its value texts and extension lines
// with their line numbers. Converting the texts into settings is the reader's part.
#pragma once

#include <cstddef>
#include <functional>
#include <istream>
#include <string>
#include <string_view>
#include <vector>

namespace conesim {

constexpr std::size_t kParameterValueCount = 49;      //!< 48 settings and the END checkword
constexpr std::size_t kMaxParameterLineLength = 255;  //!< characters, without the line end
constexpr std::size_t kMaxExtensionLines = 1000;      //!< lines after the END line

// The value a positional line gives; empty for a comment, an empty line, a line without
// '=' and without END, or a line with nothing left after its equals sign.
std::string positionalLineValue(std::string_view line);

// Where a line's value text stands: after its first '=', up to its first ';' or its end.
// False when the line holds no '='.
bool valueRegion(std::string_view line, std::size_t& begin, std::size_t& end);

enum class ExtensionLineKind {
    kNothing,    //!< blank, or a comment ("//" at its start, after blanks and tabs)
    kSetting,    //!< "name = value ; comment"
    kMalformed,  //!< anything else
};

// Reads a line after the END line. A line whose first characters other than blanks and tabs
// are "//" is a comment; elsewhere "//" is no comment mark, so a setting keeps its value when
// a comment follows its ';' (which may hold "//") and a value holding "//" is refused rather
// than dropped. A setting's name is the text before '=' and its value the text after it up
// to ';', both without surrounding blanks and tabs; the name must be letters and digits and
// the value must not be empty.
ExtensionLineKind parseExtensionLine(std::string_view line, std::string& name, std::string& value);

struct ScannedValue {
    std::string text;  //!< the value as the line gives it
    std::size_t line;  //!< 1-based line number
};

struct ScannedExtension {
    std::string name;
    std::string value;
    std::size_t line;  //!< 1-based line number
};

enum class ScanStatus {
    kComplete,            //!< 49 values, the last holding END, and sound extension lines
    kTooShort,            //!< the input ended before 49 values
    kNoEndCheckword,      //!< the 49th value does not hold END
    kLineTooLong,         //!< a line beyond kMaxParameterLineLength characters
    kReadError,           //!< the stream failed while reading
    kMalformedExtension,  //!< a line after END that is neither blank, comment nor setting
    kRefusedExtension,    //!< a setting line that the caller's check refused
    kTooManyLines,        //!< more than kMaxExtensionLines lines after the END line
};

// Judges one extension setting as soon as its line is read; false refuses it and ends the
// scan there, so that nothing after a refused line is read.
using ExtensionCheck = std::function<bool(const ScannedExtension&)>;

struct ParameterFileScan {
    ScanStatus status = ScanStatus::kTooShort;
    std::vector<ScannedValue> values;          //!< at most 49, in file order
    std::vector<ScannedExtension> extensions;  //!< the settings after END, in file order
    std::size_t problemLine = 0;               //!< the over-long or malformed line
    std::string problemLineStart;              //!< its first 40 characters, "..." if cut
};

// Reads lines until the 49th value, then the extension lines to the end of the input, at
// most kMaxExtensionLines of them. Stops at the first over-long line without reading it
// further, and at the first extension line that is malformed or that check (when given)
// refuses.
ParameterFileScan scanParameterFile(std::istream& in, const ExtensionCheck& check = nullptr);

}  // namespace conesim
