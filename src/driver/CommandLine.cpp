#include "driver/CommandLine.hpp"

#include <sched.h>

#include <thread>

#include "util/OptionParser.hpp"
#include "util/TextNumbers.hpp"

namespace conesim {
namespace {

// A whole decimal number that fills the whole text, within [0, max].
bool readWhole(const std::string& text, std::uint64_t max, std::uint64_t& value) {
    return text.size() <= 20 && parseUint64(text, value) && value <= max;
}

// The value shown in a message: enough to recognise it, never a whole huge argument.
std::string shown(const std::string& value) {
    constexpr std::size_t kShown = 40;
    return "\"" + (value.size() <= kShown ? value : value.substr(0, kShown) + "...") + "\"";
}

constexpr const char* kOptionsTitle = "Options (before the parameter file)";

// The options, declared once for parsing and for the list --help shows.
void declareOptions(OptionParser& parser, CommandLine& line) {
    parser.value("--seed", "S",
                 "seed the random generator with S (0 to 18446744073709551615)\ninstead of "
                 "the start second; the same seed gives the same run",
                 [&line](const std::string& value, std::string& error) {
                     std::uint64_t number = 0;
                     if (line.seed) {
                         error = "Option --seed is given twice.";
                         return false;
                     }
                     if (!readWhole(value, UINT64_MAX, number)) {
                         error =
                             "Option --seed takes a whole number from 0 to "
                             "18446744073709551615, not " +
                             shown(value) + ".";
                         return false;
                     }
                     line.seed = number;
                     return true;
                 });
    parser.value("--threads", "N",
                 "run the photons in batches on N threads (0: every core); the\nimage then "
                 "depends only on the seed, never on N",
                 [&line](const std::string& value, std::string& error) {
                     std::uint64_t number = 0;
                     if (line.threads) {
                         error = "Option --threads is given twice.";
                         return false;
                     }
                     if (!readWhole(value, kMaxThreads, number)) {
                         error = "Option --threads takes a whole number of threads from 1 to " +
                                 std::to_string(kMaxThreads) + ", or 0 for every core, not " +
                                 shown(value) + ".";
                         return false;
                     }
                     line.threads = static_cast<int>(number);
                     return true;
                 });
    parser.flag("--help", "show this text", [&line](std::string&) {
        line.help = true;
        return true;
    });
    // The first word that is not an option is the parameter file; options come first.
    parser.positional(
        [&line](const std::string& word, std::string& error) {
            if (line.positional.size() > 1 && word.rfind("--", 0) == 0) {
                error = "Option " + shown(word) +
                        " comes after the parameter file; options come first.";
                return false;
            }
            line.positional.push_back(word);
            return true;
        },
        true);
}

}  // namespace

CommandLineResult parseCommandLine(const std::vector<std::string>& args, CommandLine& line,
                                   std::string& error) {
    line = CommandLine{};
    if (!args.empty()) {
        line.positional.push_back(args[0]);
    }
    OptionParser parser(kOptionsTitle);
    declareOptions(parser, line);
    const OptionFailure failure = parser.parse(args);
    switch (failure.fault) {
        case OptionFault::kNone:
            return line.help ? CommandLineResult::kHelp : CommandLineResult::kRun;
        case OptionFault::kUnknown:
            error = "Unknown option " + shown(failure.word) + ".";
            break;
        case OptionFault::kMissingValue:
            error = "Option " + failure.word + " needs a value.";
            break;
        case OptionFault::kRefused:
            error = failure.message;
            break;
    }
    return CommandLineResult::kBadOption;
}

void writeOptions(Console& console) {
    CommandLine unused;
    OptionParser parser(kOptionsTitle);
    declareOptions(parser, unused);
    // The list opens with a blank line of its own; the usage text before it ends with one.
    writeLine(console.out, parser.optionList().substr(1));
}

int availableCores() {
    cpu_set_t set;
    if (sched_getaffinity(0, sizeof set, &set) == 0) {
        const int count = CPU_COUNT(&set);
        if (count > 0) {
            return count;
        }
    }
    const unsigned hardware = std::thread::hardware_concurrency();
    return hardware > 0 ? static_cast<int>(hardware) : 1;
}

}  // namespace conesim
