#include "driver/CommandLine.hpp"

#include <sched.h>

#include <charconv>
#include <thread>

namespace conesim {
namespace {

// A whole decimal number that fills the whole text, within [0, max].
bool readWhole(const std::string& text, std::uint64_t max, std::uint64_t& value) {
    if (text.empty() || text.size() > 20) {
        return false;
    }
    const char* last = text.data() + text.size();
    const auto [end, error] = std::from_chars(text.data(), last, value);
    return error == std::errc() && end == last && value <= max;
}

// The value shown in a message: enough to recognise it, never a whole huge argument.
std::string shown(const std::string& value) {
    constexpr std::size_t kShown = 40;
    return "\"" + (value.size() <= kShown ? value : value.substr(0, kShown) + "...") + "\"";
}

}  // namespace

CommandLineResult parseCommandLine(const std::vector<std::string>& args, CommandLine& line,
                                   std::string& error) {
    line = CommandLine{};
    std::size_t i = 0;
    if (!args.empty()) {
        line.positional.push_back(args[0]);
        i = 1;
    }
    // Options come first; the first word that is not an option is the parameter file.
    for (; i < args.size() && args[i].rfind("--", 0) == 0; ++i) {
        std::string name = args[i];
        std::optional<std::string> value;
        if (const std::size_t equals = name.find('='); equals != std::string::npos) {
            value = name.substr(equals + 1);
            name.erase(equals);
        }
        if (name == "--help" && !value) {
            line.help = true;
            continue;
        }
        if (name != "--seed" && name != "--threads") {
            error = "Unknown option " + shown(args[i]) + ".";
            return CommandLineResult::kBadOption;
        }
        if (!value) {
            if (i + 1 >= args.size()) {
                error = "Option " + name + " needs a value.";
                return CommandLineResult::kBadOption;
            }
            value = args[++i];
        }
        std::uint64_t number = 0;
        if (name == "--seed") {
            if (line.seed) {
                error = "Option --seed is given twice.";
                return CommandLineResult::kBadOption;
            }
            if (!readWhole(*value, UINT64_MAX, number)) {
                error =
                    "Option --seed takes a whole number from 0 to 18446744073709551615, "
                    "not " +
                    shown(*value) + ".";
                return CommandLineResult::kBadOption;
            }
            line.seed = number;
        } else {
            if (line.threads) {
                error = "Option --threads is given twice.";
                return CommandLineResult::kBadOption;
            }
            if (!readWhole(*value, kMaxThreads, number)) {
                error = "Option --threads takes a whole number of threads from 1 to " +
                        std::to_string(kMaxThreads) + ", or 0 for every core, not " +
                        shown(*value) + ".";
                return CommandLineResult::kBadOption;
            }
            line.threads = static_cast<int>(number);
        }
    }
    for (; i < args.size(); ++i) {
        if (args[i].rfind("--", 0) == 0) {
            error = "Option " + shown(args[i]) +
                    " comes after the parameter file; options "
                    "come first.";
            return CommandLineResult::kBadOption;
        }
        line.positional.push_back(args[i]);
    }
    return line.help ? CommandLineResult::kHelp : CommandLineResult::kRun;
}

void writeOptions(Console& console) {
    writeLine(console.out,
              "Options (before the parameter file):\n"
              "  --seed S     seed the random generator with S (0 to 18446744073709551615)\n"
              "               instead of the start second; the same seed gives the same run\n"
              "  --threads N  run the photons in batches on N threads (0: every core); the\n"
              "               image then depends only on the seed, never on N\n"
              "  --help       show this text\n");
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
