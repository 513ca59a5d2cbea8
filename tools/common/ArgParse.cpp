#include "common/ArgParse.hpp"

#include <cstdlib>
#include <iostream>

#include "common/ToolExit.hpp"

namespace conesim::tools {

bool parseInRange(std::string_view text, const NumberRange& range, double& out) {
    double value = 0.0;
    if (!parseDouble(text, value) || !(value >= range.low && value <= range.high)) {
        return false;
    }
    out = value;
    return true;
}

std::string notWholeNumber(std::string_view what, std::string_view text, const IntRange& range) {
    return std::string(what) + " " + shortQuote(text) + " is not a whole number " +
           rangeText(range);
}

std::string notNumber(std::string_view what, std::string_view text, const NumberRange& range) {
    return std::string(what) + " " + shortQuote(text) + " is not a number " +
           std::string(range.text);
}

std::vector<std::string> splitList(std::string_view text, char separator) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = text.find(separator, start);
        if (end == std::string_view::npos) {
            fields.emplace_back(text.substr(start));
            return fields;
        }
        fields.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
}

bool parseNumberList(std::string_view text, std::vector<double>& out) {
    out.clear();
    for (const std::string& field : splitList(text)) {
        double value = 0.0;
        if (!parseDouble(field, value)) {
            return false;
        }
        out.push_back(value);
    }
    return true;
}

bool parseDimensions(std::string_view text, std::size_t count, std::vector<std::int64_t>& out) {
    std::string lowered(text);
    for (char& c : lowered) {
        if (c == 'X') {
            c = 'x';
        }
    }
    const std::vector<std::string> fields = splitList(lowered, 'x');
    if (fields.size() != count) {
        return false;
    }
    std::vector<std::int64_t> values;
    for (const std::string& field : fields) {
        std::int64_t value = 0;
        if (!parseInt64(field, value) || value <= 0) {
            return false;
        }
        values.push_back(value);
    }
    out = values;
    return true;
}

OptionParser::ValueHandler storeText(std::string& out) {
    return [&out](const std::string& value, std::string&) {
        out = value;
        return true;
    };
}

OptionParser::ValueHandler storeWhole(const std::string& option, const IntRange& range,
                                      std::int64_t& out) {
    return [option, range, &out](const std::string& value, std::string& error) {
        if (!parseInRange(value, range, out)) {
            error = notWholeNumber(option, value, range);
            return false;
        }
        return true;
    };
}

OptionParser::FlagHandler setTrue(bool& out) {
    return [&out](std::string&) {
        out = true;
        return true;
    };
}

OptionParser::ValueHandler storeOptionalNumber(const std::string& option, const std::string& what,
                                               bool nonNegative, std::optional<double>& out) {
    return [=, &out](const std::string& value, std::string& error) {
        double number = 0.0;
        if (!parseDouble(value, number) || (nonNegative && number < 0.0)) {
            error = option + " " + shortQuote(value) + " is not " + what;
            return false;
        }
        out = number;
        return true;
    };
}

OptionParser::ValueHandler onlyFor(bool& used, OptionParser::ValueHandler handler) {
    return [&used, handler = std::move(handler)](const std::string& value, std::string& error) {
        used = true;
        return handler(value, error);
    };
}

std::string optionFailureText(const OptionFailure& failure) {
    switch (failure.fault) {
        case OptionFault::kUnknown:
            return "unknown argument " + shortQuote(failure.word);
        case OptionFault::kMissingValue:
            return failure.word + " needs a value";
        default:
            return failure.message;
    }
}

int readToolOptions(int argc, char** argv, const OptionDeclaration& declare, std::string& error) {
    OptionParser parser;
    declare(parser);
    if (const OptionFailure failure = parser.parse(argc, argv)) {
        error = optionFailureText(failure);
        return kExitUsage;
    }
    return kExitOk;
}

std::string toolHelp(std::string_view head, const OptionDeclaration& declare,
                     std::string_view tail) {
    OptionParser parser;
    declare(parser);
    return std::string(head) + parser.optionList() + std::string(tail);
}

int readCommandLine(OptionParser& parser, int argc, char** argv, std::string_view tool,
                    const bool& help, std::string_view head, std::string_view tail) {
    if (const OptionFailure failure = parser.parse(argc, argv)) {
        return usageError(tool, optionFailureText(failure));
    }
    if (help) {
        std::cout << head << parser.optionList() << tail;
        return kExitOk;
    }
    return kReadOn;
}

OptionParser::ValueHandler storeWords(std::vector<std::string>& words) {
    return [&words](const std::string& word, std::string&) {
        words.push_back(word);
        return true;
    };
}

void declareUseSwitches(OptionParser& parser, ToolUse& use, bool& useGiven,
                        const std::string& truthHelp, const std::string& compareHelp) {
    for (const ToolUse each : {ToolUse::kTruth, ToolUse::kCompare}) {
        const bool truth = each == ToolUse::kTruth;
        parser.flag(truth ? "--truth" : "--compare", truth ? truthHelp : compareHelp,
                    [&use, &useGiven, each](std::string& error) {
                        if (useGiven) {
                            error = "--truth and --compare exclude each other";
                            return false;
                        }
                        useGiven = true;
                        use = each;
                        return true;
                    });
    }
}

}  // namespace conesim::tools
