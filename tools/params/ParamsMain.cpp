// conesim-params: explains, reads, edits and writes conesim parameter files, through the
// program's own parameter table, reader and checks.
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "common/ArgParse.hpp"
#include "common/BinaryFile.hpp"
#include "common/ToolExit.hpp"
#include "formats/MaskImage.hpp"
#include "params/FaultExplanation.hpp"
#include "params/FileReplacement.hpp"
#include "params/ParameterFileEditing.hpp"
#include "params/ParameterFileScan.hpp"
#include "params/ParameterTable.hpp"
#include "params/ParamsCommands.hpp"
#include "params/SetupDesign.hpp"
#include "params/SimulationParameters.hpp"
#include "util/PendingFile.hpp"

namespace {

using namespace conesim::tools;
using conesim::OptionParser;

constexpr const char* kTool = "conesim-params";

constexpr const char* kUsageHead =
    R"(Usage: conesim-params explain FILE
       conesim-params get FILE NAME
       conesim-params set FILE NAME=VALUE [NAME=VALUE ...] [-o OUT]
       conesim-params new
       conesim-params design FILE

Works on conesim parameter files with the program's own reader and checks.

  explain FILE   lists every value of FILE with its number, line, setting name, unit and
                 meaning, then the extension settings (given or default), then the
                 messages conesim itself gives when loading and checking the file: a
                 refusal, or the fault code with the setting that fails its range.
  get FILE NAME  prints the value of the setting NAME as the file gives it (an extension
                 setting the file does not give: its default). When conesim refuses the
                 file or finds it not sensible, its verdict follows and the status is 1.
  set FILE NAME=VALUE ...
                 writes a copy of FILE in which only the value text of those settings
                 changes (labels, comments, order and line ends stay); an extension setting
                 the file does not hold is added after its END line. Written to OUT with
                 -o (under a temporary name, then renamed; OUT may be FILE itself, and
                 keeps its mode, and as root its owner; a read-only OUT is refused;
                 edits of one file by several processes wait for each other),
                 otherwise to standard output. Refused, with nothing written: an unknown
                 name, a value that cannot stand in the file as it is (blanks, quotes, ';',
                 two slashes), a number followed by other characters, and any result that
                 conesim would refuse or find not sensible.
  new            prints a parameter file in which every setting is commented; its values
                 are sensible examples (not the record defaults, which do not validate),
                 so it loads and passes the checks as it stands.
  design FILE    prints the set-up's design numbers: the magnification L / z at each mask
                 and at the sample, the masks' period and opening (from the central row
                 of each mask image) projected onto the detector and where the beamlets
                 sit in their pixels, the focal spot's penumbra, the refraction angle of
                 one pixel of shift, and the Fresnel number of the pre-sample mask's
                 opening with a warning below 1 (needs lengthUnitMm and sampleEnergy).

NAME is a setting's field name as the README's table writes it (detectorWidth,
sampleEnergy, ...) or an extension setting (focalSpotFwhmX, focalSpotFwhmY,
photonEnergies, detectorBlurSigma).
)";

constexpr const char* kUsageTail = R"(
Exit status: 0 done (explain: the file loads and is sensible), 1 the file could not be read
or written or was refused or is not sensible, 2 wrong command line.
)";

std::string withoutLastNewline(std::string text) {
    while (!text.empty() && text.back() == '\n') {
        text.pop_back();
    }
    return text;
}

bool loadText(const std::string& path, std::string& text, std::string& error) {
    return readParameterFileText(path, text, error);
}

int explain(const std::string& path) {
    std::string text;
    std::string error;
    if (!loadText(path, text, error)) {
        std::cout << error << "\nERROR: Loading parameter file." << std::endl;
        return kExitFailure;
    }
    std::cout << "Parameter file " << path << "\n\n";
    writeExplanation(std::cout, text);
    std::istringstream noInput;
    conesim::Console console{std::cout, noInput};
    conesim::SimulationParameters parameters;
    parameters.readText(text, path, console);
    if (!parameters.parameterFileLoaded) {
        std::cout << "ERROR: Loading parameter file." << std::endl;
        return kExitFailure;
    }
    const int fault = parameters.faultCode();
    if (fault != 0) {
        std::cout << "ERROR: Parameter file not sensible.\nFault code (See README): " << fault
                  << "\n"
                  << conesim::faultExplanation(parameters, fault) << std::endl;
        return kExitFailure;
    }
    std::cout << "The settings are sensible." << std::endl;
    return kExitOk;
}

// What the program's reader says while loading the file's text into parameters.
std::string readerMessages(const std::string& path, const std::string& text,
                           conesim::SimulationParameters& parameters) {
    std::ostringstream messages;
    std::istringstream noInput;
    conesim::Console console{messages, noInput};
    parameters.readText(text, path, console);
    return withoutLastNewline(messages.str());
}

// Empty when conesim loads the file and finds it sensible; otherwise its verdict, its own
// messages joined into one line.
std::string programVerdict(const std::string& path, const std::string& text) {
    conesim::SimulationParameters parameters;
    std::string said = readerMessages(path, text, parameters);
    for (char& c : said) {
        c = c == '\n' ? ' ' : c;
    }
    if (!parameters.parameterFileLoaded) {
        return "conesim refuses " + path + (said.empty() ? "" : ": " + said);
    }
    const int fault = parameters.faultCode();
    if (fault == 0) {
        return "";
    }
    return path + " is not sensible: fault code " + std::to_string(fault) + ". " +
           conesim::faultExplanation(parameters, fault);
}

int get(const std::string& path, const std::string& name) {
    const conesim::ParameterInfo* info = conesim::findParameter(name);
    if (info == nullptr) {
        return usageError(kTool, "unknown setting '" + name + "'");
    }
    std::string text;
    std::string error;
    if (!loadText(path, text, error)) {
        return failure(kTool, error);
    }
    std::istringstream in(text);
    const conesim::ParameterFileScan scan = conesim::scanParameterFile(in);
    const std::string verdict = programVerdict(path, text);
    std::optional<std::string> value;
    if (info->isExtension()) {
        value = std::string(info->defaultText);
        for (const conesim::ScannedExtension& given : scan.extensions) {
            if (given.name == name) {
                value = given.value;
                break;
            }
        }
    } else if (const auto position = static_cast<std::size_t>(info->number);
               scan.values.size() >= position) {
        value = scan.values[position - 1].text;
    } else {
        conesim::SimulationParameters parameters;
        return failure(kTool,
                       "value " + std::to_string(position) + " (" + name +
                           ") is not in the file: " + readerMessages(path, text, parameters));
    }
    // The value is printed as far as the file could be read (as explain does), but a file
    // conesim refuses or finds not sensible ends with status 1 and its verdict.
    std::cout << *value << std::endl;
    return verdict.empty() ? kExitOk : failure(kTool, verdict);
}

int set(const std::string& path, const std::vector<std::string>& words, const std::string& out) {
    std::vector<std::pair<std::string, std::string>> assignments;
    for (const std::string& word : words) {
        const std::size_t equals = word.find('=');
        if (equals == std::string::npos || equals == 0) {
            return usageError(kTool, "'" + word + "' is not NAME=VALUE");
        }
        const std::string name = word.substr(0, equals);
        if (conesim::findParameter(name) == nullptr) {
            return usageError(kTool, "unknown setting '" + name + "'");
        }
        assignments.emplace_back(name, word.substr(equals + 1));
    }
    std::string text;
    std::string error;
    std::optional<conesim::PendingFile> pending;
    ReplacementLock lock;
    if (!out.empty()) {
        // The file is locked before FILE is read, so that edits of one file by several
        // processes follow each other instead of each replacing the others' work.
        pending.emplace(out);
        if (!pending->check(error) || !replaceable(out, pending->targetPath(), error) ||
            !lock.acquire(pending->targetPath(), error)) {
            return failure(kTool, error);
        }
    }
    if (!loadText(path, text, error)) {
        return failure(kTool, error);
    }
    std::string result;
    if (!conesim::setParameterValues(text, assignments, result, error, path)) {
        return failure(kTool, error);
    }
    if (out.empty()) {
        std::cout << result << std::flush;
        return std::cout ? kExitOk : failure(kTool, "cannot write standard output");
    }
    if (!stageFile(*pending, result.data(), result.size(), error) ||
        !keepModeAndOwner(pending->targetPath(), pending->temporaryPath(), error) ||
        !pending->commit(error)) {
        return failure(kTool, error);
    }
    return kExitOk;
}

// The pattern of a mask image the file names; not found when it is inactive or unreadable.
MaskPattern maskPattern(const std::string& path, std::uint32_t size, bool active) {
    const auto count = static_cast<std::int64_t>(size) * size;
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(count), 0);
    if (!active || conesim::readMaskImage(path, pixels, count, active) != count || !active) {
        return MaskPattern{};
    }
    return centralRowPattern(pixels, size);
}

int design(const std::string& path) {
    std::string text;
    std::string error;
    if (!loadText(path, text, error)) {
        return failure(kTool, error);
    }
    conesim::SimulationParameters parameters;
    const std::string messages = readerMessages(path, text, parameters);
    if (!parameters.parameterFileLoaded) {
        return failure(kTool, messages);
    }
    if (parameters.preMaskPosition <= 0 || parameters.postMaskPosition <= 0 ||
        parameters.detectorPosition <= parameters.preMaskPosition) {
        return failure(kTool, path + ": the masks do not lie between the source and the detector");
    }
    const MaskPattern pre =
        maskPattern(parameters.preMaskImageFile, parameters.preMaskSize, parameters.preMaskActive);
    const MaskPattern post = maskPattern(parameters.postMaskImageFile, parameters.postMaskSize,
                                         parameters.postMaskActive);
    std::cout << "Design of " << path << "\n";
    writeDesign(std::cout, parameters, pre, post);
    std::cout << std::flush;
    return std::cout ? kExitOk : failure(kTool, "cannot write standard output");
}

// The options, declared once for parsing and for the list --help shows.
void declareOptions(OptionParser& parser, std::vector<std::string>& words, std::string& out,
                    bool& outGiven, bool& help) {
    parser.value("-o,--output", "OUT", "(set) the file to write",
                 [&out, &outGiven](const std::string& value, std::string& error) {
                     if (value.empty()) {
                         error = "-o needs a file name";
                         return false;
                     }
                     out = value;
                     outGiven = true;
                     return true;
                 });
    parser.helpFlag("-h,--help", "this text", help);
    parser.positional(storeWords(words));
}

int runParams(int argc, char** argv) {
    std::vector<std::string> words;
    std::string out;
    bool outGiven = false;
    bool help = false;
    OptionParser parser;
    declareOptions(parser, words, out, outGiven, help);
    if (const int status = readCommandLine(parser, argc, argv, kTool, help, kUsageHead, kUsageTail);
        status != kReadOn) {
        return status;
    }
    if (words.empty()) {
        return usageError(kTool, "a command is missing (explain, get, set, new or design)");
    }
    const std::string command = words[0];
    if (outGiven && command != "set") {
        return usageError(kTool, "-o is for the set command only");
    }
    if (command == "explain") {
        if (words.size() != 2) {
            return usageError(kTool, "explain takes one FILE");
        }
        return explain(words[1]);
    }
    if (command == "get") {
        if (words.size() != 3) {
            return usageError(kTool, "get takes FILE and NAME");
        }
        return get(words[1], words[2]);
    }
    if (command == "set") {
        if (words.size() < 3) {
            return usageError(kTool, "set takes FILE and at least one NAME=VALUE");
        }
        return set(words[1], std::vector<std::string>(words.begin() + 2, words.end()), out);
    }
    if (command == "design") {
        if (words.size() != 2) {
            return usageError(kTool, "design takes one FILE");
        }
        return design(words[1]);
    }
    if (command == "new") {
        if (words.size() != 1) {
            return usageError(kTool, "new takes no argument");
        }
        std::cout << newParameterFileText() << std::flush;
        return kExitOk;
    }
    return usageError(kTool, "unknown command '" + command + "'");
}

}  // namespace

int main(int argc, char** argv) {
    return runGuarded(kTool, [&] { return runParams(argc, argv); });
}
