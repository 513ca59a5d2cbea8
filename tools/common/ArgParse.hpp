// Strict parsing of command-line values: whole-word numbers, comma-separated lists and
// "WxHxD" dimensions, and the wording of a refused command line.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "util/OptionParser.hpp"

namespace conesim::tools {

// True when the whole of text is a decimal integer that fits; out is then set.
bool parseInt64(std::string_view text, std::int64_t& out);
// True when the whole of text is a finite decimal number; out is then set.
bool parseDouble(std::string_view text, double& out);
// The comma-separated fields of text, empty fields included ("a,,b" gives three).
std::vector<std::string> splitList(std::string_view text, char separator = ',');
// Every field of a comma-separated list as a finite number; false at the first that is not.
bool parseNumberList(std::string_view text, std::vector<double>& out);
// "64x32x16" (or with 'X') into exactly count positive integers; false otherwise.
bool parseDimensions(std::string_view text, std::size_t count, std::vector<std::int64_t>& out);

// The range a numeric argument must lie in, both ends included, and how --help and the
// messages write it ("from 1 to 10000").
struct IntRange {
    std::int64_t low;
    std::int64_t high;
};
struct NumberRange {
    double low;
    double high;
    std::string_view text;  //!< "from -1e38 to 1e38"
};
std::string rangeText(const IntRange& range);

// A whole-word number within range; false for anything else (not a number, beyond the
// range, beyond what the type holds). out is set only on success.
bool parseInRange(std::string_view text, const IntRange& range, std::int64_t& out);
bool parseInRange(std::string_view text, const NumberRange& range, double& out);

// text between single quotes for a message; a long text is cut to its first 40 characters
// followed by "...", so that no message repeats a whole oversized argument or input.
std::string shortQuote(std::string_view text);

// "<what> 'TEXT' is not a whole number from LOW to HIGH" and its decimal counterpart, with
// what an option ("--size") or a field ("--grating '8,3,x': the offset").
std::string notWholeNumber(std::string_view what, std::string_view text, const IntRange& range);
std::string notNumber(std::string_view what, std::string_view text, const NumberRange& range);

// Option handlers for the usual kinds of value: any text; a whole number or a number within
// range, refused with notWholeNumber or notNumber naming the option; a flag that sets true.
OptionParser::ValueHandler storeText(std::string& out);
OptionParser::ValueHandler storeWhole(const std::string& option, const IntRange& range,
                                      std::int64_t& out);
OptionParser::ValueHandler storeNumber(const std::string& option, const NumberRange& range,
                                       double& out);
OptionParser::FlagHandler setTrue(bool& out);
// A number into out, refused as "OPTION 'TEXT' is not WHAT" when it is none or, with
// nonNegative, below 0.
OptionParser::ValueHandler storeOptionalNumber(const std::string& option, const std::string& what,
                                               bool nonNegative, std::optional<double>& out);
// handler, noting in used that the option was given (an option of one use of a tool).
OptionParser::ValueHandler onlyFor(bool& used, OptionParser::ValueHandler handler);

// The options of a tool, put into a parser by one function for reading and for --help.
using OptionDeclaration = std::function<void(OptionParser&)>;
// Reads argv through the declared options: kExitOk, or kExitUsage with error saying what is
// wrong.
int readToolOptions(int argc, char** argv, const OptionDeclaration& declare, std::string& error);
// The --help text: head, the generated option list, tail.
std::string toolHelp(std::string_view head, const OptionDeclaration& declare,
                     std::string_view tail);

// The use of a tool that also writes a run's truth and compares with it.
enum class ToolUse { kMain, kTruth, kCompare };
// Its --truth and --compare switches, which exclude each other.
void declareUseSwitches(OptionParser& parser, ToolUse& use, bool& useGiven,
                        const std::string& truthHelp, const std::string& compareHelp);

// What a tool says of a command line the parser refused: "unknown argument 'WORD'",
// "WORD needs a value", or the reason a handler gave.
std::string optionFailureText(const OptionFailure& failure);

}  // namespace conesim::tools
