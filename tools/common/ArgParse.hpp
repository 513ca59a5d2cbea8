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
#include "util/TextNumbers.hpp"

namespace conesim::tools {

// The whole-word number readers, ranges and quoting live in util; named here too.
using conesim::IntRange;
using conesim::parseDouble;
using conesim::parseInRange;
using conesim::parseInt64;
using conesim::parseUint64;
using conesim::rangeText;
using conesim::shortQuote;

// The comma-separated fields of text, empty fields included ("a,,b" gives three).
std::vector<std::string> splitList(std::string_view text, char separator = ',');
// Every field of a comma-separated list as a finite number; false at the first that is not.
bool parseNumberList(std::string_view text, std::vector<double>& out);
// "64x32x16" (or with 'X') into exactly count positive integers; false otherwise.
bool parseDimensions(std::string_view text, std::size_t count, std::vector<std::int64_t>& out);

// The range a decimal argument must lie in, both ends included, and how --help and the
// messages write it.
struct NumberRange {
    double low;
    double high;
    std::string_view text;  //!< "from -1e38 to 1e38"
};

// A whole-word number within range; false for anything else (not a number, beyond the
// range). out is set only on success.
bool parseInRange(std::string_view text, const NumberRange& range, double& out);

// "<what> 'TEXT' is not a whole number from LOW to HIGH" and its decimal counterpart, with
// what an option ("--size") or a field ("--grating '8,3,x': the offset").
std::string notWholeNumber(std::string_view what, std::string_view text, const IntRange& range);
std::string notNumber(std::string_view what, std::string_view text, const NumberRange& range);

// Option handlers for the usual kinds of value: any text; a whole number within range,
// refused with notWholeNumber naming the option; a flag that sets true.
OptionParser::ValueHandler storeText(std::string& out);
OptionParser::ValueHandler storeWhole(const std::string& option, const IntRange& range,
                                      std::int64_t& out);
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

// Reads argv through parser. On a refusal it reports it (usageError) and gives its status;
// when help was asked for it prints head, the option list and tail and gives kExitOk;
// otherwise kReadOn.
constexpr int kReadOn = -1;
int readCommandLine(OptionParser& parser, int argc, char** argv, std::string_view tool,
                    const bool& help, std::string_view head, std::string_view tail);
// A positional handler that keeps every word in order.
OptionParser::ValueHandler storeWords(std::vector<std::string>& words);

// The use of a tool that also writes a run's truth and compares with it.
enum class ToolUse { kMain, kTruth, kCompare };
// Its --truth and --compare switches, which exclude each other.
void declareUseSwitches(OptionParser& parser, ToolUse& use, bool& useGiven,
                        const std::string& truthHelp, const std::string& compareHelp);

// What a tool says of a command line the parser refused: "unknown argument 'WORD'",
// "WORD needs a value", or the reason a handler gave.
std::string optionFailureText(const OptionFailure& failure);

}  // namespace conesim::tools
