#include "util/OptionParser.hpp"

#include <CLI/CLI.hpp>
#include <map>
#include <sstream>

namespace conesim {
namespace {

constexpr std::size_t kNameColumn = 22;  //!< where the descriptions start
constexpr std::size_t kLineWidth = 90;   //!< where they wrap

// Words of text refilled to lines of at most width characters; "\n" in text is kept.
std::string wrapped(const std::string& text, std::size_t width) {
    std::string out;
    std::istringstream paragraphs(text);
    std::string paragraph;
    bool firstParagraph = true;
    while (std::getline(paragraphs, paragraph)) {
        if (!firstParagraph) {
            out += '\n';
        }
        firstParagraph = false;
        std::istringstream words(paragraph);
        std::string word;
        std::size_t column = 0;
        while (words >> word) {
            if (column > 0 && column + 1 + word.size() > width) {
                out += '\n';
                column = 0;
            } else if (column > 0) {
                out += ' ';
                ++column;
            }
            out += word;
            column += word.size();
        }
    }
    return out;
}

// The option list: "  -o, --output FILE   description", names and value in the left
// column, the description refilled beside them; no usage line, positionals or footer, which
// each program writes itself.
class ListFormatter : public CLI::Formatter {
  public:
    ListFormatter() { column_width(kNameColumn); }
    // A long title is refilled like a description.
    std::string make_group(std::string group, bool positional,
                           std::vector<const CLI::Option*> options) const override {
        std::string text = "\n" + wrapped(group + ":", kLineWidth) + "\n";
        for (const CLI::Option* option : options) {
            text += make_option(option, positional);
        }
        return text;
    }
    // Names and value in the left column, at least two blanks before the description, or
    // the description on the lines below when they do not fit.
    std::string make_option(const CLI::Option* option, bool positional) const override {
        const std::string names =
            "  " + make_option_name(option, positional) + make_option_opts(option);
        std::string description = make_option_desc(option);
        if (description.empty()) {
            return names + "\n";
        }
        const std::string indent(kNameColumn, ' ');
        for (std::size_t at = description.find('\n'); at != std::string::npos;
             at = description.find('\n', at + 1)) {
            description.insert(at + 1, indent);
        }
        if (names.size() + 2 > kNameColumn) {
            return names + "\n" + indent + description + "\n";
        }
        return names + std::string(kNameColumn - names.size(), ' ') + description + "\n";
    }
    std::string make_option_name(const CLI::Option* option, bool) const override {
        std::string names;
        for (const char c : option->get_name(false, true)) {
            names += c == ',' ? std::string(", ") : std::string(1, c);
        }
        return names;
    }
    std::string make_option_opts(const CLI::Option* option) const override {
        return option->get_type_size() == 0 ? "" : " " + option->get_type_name();
    }
    std::string make_option_desc(const CLI::Option* option) const override {
        return wrapped(option->get_description(), kLineWidth - kNameColumn);
    }
};

}  // namespace

struct OptionParser::Parts {
    CLI::App app;
    std::map<const CLI::Option*, ValueHandler> values;
    std::map<const CLI::Option*, FlagHandler> flags;
    std::vector<std::string> helpNames;
    bool* help = nullptr;
};

OptionParser::OptionParser(const std::string& groupTitle) : parts_(std::make_unique<Parts>()) {
    parts_->app.set_help_flag();
    parts_->app.allow_extras();
    parts_->app.formatter(std::make_shared<ListFormatter>());
    parts_->app.option_defaults()->group(groupTitle);
}

OptionParser::~OptionParser() = default;

void OptionParser::group(const std::string& title) {
    parts_->app.option_defaults()->group(title);
}

void OptionParser::flag(const std::string& names, const std::string& description,
                        FlagHandler handler) {
    CLI::Option* option = parts_->app.add_flag(names, description);
    option->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    parts_->flags[option] = std::move(handler);
}

void OptionParser::helpFlag(const std::string& names, const std::string& description, bool& help) {
    CLI::Option* option = parts_->app.add_flag(names, description);
    option->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    for (const std::string& name : option->get_snames()) {
        parts_->helpNames.push_back("-" + name);
    }
    for (const std::string& name : option->get_lnames()) {
        parts_->helpNames.push_back("--" + name);
    }
    parts_->help = &help;
}

void OptionParser::value(const std::string& names, const std::string& valueName,
                         const std::string& description, ValueHandler handler) {
    CLI::Option* option = parts_->app.add_option(names, description);
    option->type_name(valueName)->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    parts_->values[option] = std::move(handler);
}

void OptionParser::positional(ValueHandler handler, bool optionsFirst) {
    CLI::Option* option = parts_->app.add_option("words");
    option->expected(-1)->required(false)->group("");
    option->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    parts_->app.positionals_at_end(optionsFirst);
    parts_->values[option] = std::move(handler);
}

OptionFailure OptionParser::parse(const std::vector<std::string>& args) {
    std::vector<const char*> argv;
    for (const std::string& word : args) {
        argv.push_back(word.c_str());
    }
    return parse(static_cast<int>(argv.size()), argv.data());
}

OptionFailure OptionParser::parse(int argc, const char* const* argv) {
    OptionFailure failure;
    std::vector<std::string> words(argv + std::min(argc, 1), argv + argc);
    for (const std::string& word : words) {
        if (word == "--") {
            break;
        }
        for (const std::string& name : parts_->helpNames) {
            if (word == name) {
                *parts_->help = true;
                return failure;
            }
        }
    }
    CLI::App& app = parts_->app;
    try {
        // CLI11 takes the words last first.
        std::vector<std::string> reversed(words.rbegin(), words.rend());
        app.parse(reversed);
    } catch (const CLI::ArgumentMismatch&) {
        // Only an option that takes a value and met the end of the line, or another option,
        // gets here: name the last word that spells one of those options.
        failure.fault = OptionFault::kMissingValue;
        for (auto word = words.rbegin(); word != words.rend() && failure.word.empty(); ++word) {
            const std::string name = word->substr(0, word->find('='));
            for (const auto& [option, handler] : parts_->values) {
                if (option->check_name(name)) {
                    failure.word = name;
                    break;
                }
            }
        }
        return failure;
    } catch (const std::exception& error) {
        failure.fault = OptionFault::kRefused;
        failure.message = error.what();
        return failure;
    }
    // A word the program does not know comes first: the words after it may be its value
    // and are then no use of their own.
    for (const std::string& word : app.remaining()) {
        if (word != "--") {
            failure.fault = OptionFault::kUnknown;
            failure.word = word;
            return failure;
        }
    }
    std::map<const CLI::Option*, std::size_t> taken;
    for (const CLI::Option* option : app.parse_order()) {
        const std::string& given = option->results().at(taken[option]++);
        std::string message;
        bool ok = true;
        if (const auto flag = parts_->flags.find(option); flag != parts_->flags.end()) {
            std::int64_t set = 0;
            try {
                set = CLI::detail::to_flag_value(given);
            } catch (const std::exception&) {
                failure.fault = OptionFault::kUnknown;
                failure.word = option->get_name() + "=" + given;
                return failure;
            }
            ok = set <= 0 || flag->second(message);
        } else if (const auto value = parts_->values.find(option); value != parts_->values.end()) {
            ok = value->second(given, message);
        }
        if (!ok) {
            failure.fault = OptionFault::kRefused;
            failure.message = message;
            return failure;
        }
    }
    return failure;
}

std::string OptionParser::optionList() const {
    // The groups come with a blank line before and after each; keep one between them.
    std::string list = ListFormatter().make_groups(&parts_->app, CLI::AppFormatMode::Normal);
    for (std::size_t at = list.find("\n\n\n"); at != std::string::npos;
         at = list.find("\n\n\n", at)) {
        list.erase(at, 1);
    }
    while (list.size() > 1 && list.compare(list.size() - 2, 2, "\n\n") == 0) {
        list.pop_back();
    }
    return list;
}

}  // namespace conesim
