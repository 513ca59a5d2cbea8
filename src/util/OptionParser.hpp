// The one command-line parser of the program and its tools, on CLI11. Each option is
// declared once with its names, value name, help text and a handler; the parser accepts
// "--name value" and "--name=value" alike, runs the handlers in the order the words stand on
// the command line, and generates the option list that --help shows. What went wrong comes
// back as an OptionFailure that each program words in its own way and answers with its own
// exit status.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace conesim {

enum class OptionFault {
    kNone,
    kUnknown,       //!< a word that is no option of this program (word holds it whole)
    kMissingValue,  //!< an option that takes a value got none (word holds it as written)
    kRefused,       //!< a handler refused a value (message holds why)
};

struct OptionFailure {
    OptionFault fault = OptionFault::kNone;
    std::string word;
    std::string message;

    explicit operator bool() const { return fault != OptionFault::kNone; }
};

class OptionParser {
  public:
    // Takes an option's value (or a positional word); false refuses it, with message saying
    // why. Handlers run in command-line order, and the first refusal is the one reported.
    using ValueHandler = std::function<bool(const std::string& value, std::string& message)>;
    using FlagHandler = std::function<bool(std::string& message)>;

    // groupTitle heads the generated option list ("Options").
    explicit OptionParser(const std::string& groupTitle = "Options");
    ~OptionParser();
    OptionParser(const OptionParser&) = delete;
    OptionParser& operator=(const OptionParser&) = delete;

    // The options declared next are listed under title, after those declared before.
    void group(const std::string& title);

    // names: "--size" or "-o,--output". A flag given a value ("--invert=0") takes it as
    // true or false; the handler runs only for true.
    void flag(const std::string& names, const std::string& description, FlagHandler handler);
    // A help flag: wherever it stands, parsing ends there and reports no fault, so that
    // "-h" appended to any command line shows the help.
    void helpFlag(const std::string& names, const std::string& description, bool& help);
    void value(const std::string& names, const std::string& valueName,
               const std::string& description, ValueHandler handler);
    // The words that are not options, each handed to handler in order. With optionsFirst,
    // every word after the first of them is one too, options or not ("--" ends the options
    // either way).
    void positional(ValueHandler handler, bool optionsFirst = false);

    // Reads argv[1 ..]. A word the program does not know is reported before any handler
    // runs, since the words after it may be its value.
    OptionFailure parse(int argc, const char* const* argv);
    OptionFailure parse(const std::vector<std::string>& args);

    // "\nTITLE:\n" and a line or more for each option, descriptions wrapped beside the names.
    std::string optionList() const;

  private:
    struct Parts;
    std::unique_ptr<Parts> parts_;
};

}  // namespace conesim
