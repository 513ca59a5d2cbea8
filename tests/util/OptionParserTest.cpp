// The one command-line parser: both spellings of a value, handlers in command-line order,
// what each failure names, help wherever it stands, and the generated option list.
#include <gtest/gtest.h>

#include "util/OptionParser.hpp"

namespace conesim {
namespace {

// A parser of one value option, one flag, a help flag and positionals, recording what the
// handlers saw in order.
struct Recorder {
    OptionParser parser;
    std::vector<std::string> seen;
    bool help = false;

    explicit Recorder(bool optionsFirst = false) {
        parser.value("-n,--number", "N", "a number, refused when it is \"bad\"",
                     [this](const std::string& value, std::string& error) {
                         seen.push_back("n=" + value);
                         error = "refused " + value;
                         return value != "bad";
                     });
        parser.flag("--flag", "a flag", [this](std::string&) {
            seen.push_back("flag");
            return true;
        });
        parser.helpFlag("-h,--help", "this text", help);
        parser.positional(
            [this](const std::string& word, std::string&) {
                seen.push_back("word " + word);
                return true;
            },
            optionsFirst);
    }
    OptionFailure parse(const std::vector<std::string>& words) {
        std::vector<std::string> args{"tool"};
        args.insert(args.end(), words.begin(), words.end());
        return parser.parse(args);
    }
};

TEST(OptionParser, BothSpellingsAndCommandLineOrder) {
    Recorder r;
    EXPECT_FALSE(r.parse({"a", "--number=1", "--flag", "-n", "-2", "b", "--flag=false"}));
    EXPECT_EQ(r.seen, (std::vector<std::string>{"word a", "n=1", "flag", "n=-2", "word b"}));
}

TEST(OptionParser, FailuresNameTheWord) {
    const std::vector<std::pair<std::vector<std::string>, OptionFailure>> cases = {
        {{"--number", "bad", "--number", "worse"}, {OptionFault::kRefused, "", "refused bad"}},
        {{"--number", "bad", "--bogus", "1"}, {OptionFault::kUnknown, "--bogus", ""}},
        {{"--flag=maybe"}, {OptionFault::kUnknown, "--flag=maybe", ""}},
        {{"--flag", "-n"}, {OptionFault::kMissingValue, "-n", ""}},
        {{"--number="}, {OptionFault::kMissingValue, "--number", ""}},
    };
    for (const auto& [words, expected] : cases) {
        Recorder r;
        const OptionFailure failure = r.parse(words);
        EXPECT_EQ(failure.fault, expected.fault) << words.front();
        EXPECT_EQ(failure.word, expected.word) << words.front();
        EXPECT_EQ(failure.message, expected.message) << words.front();
    }
}

TEST(OptionParser, HelpWinsWhereverItStands) {
    Recorder r;
    EXPECT_FALSE(r.parse({"--bogus", "--number", "bad", "-h"}));
    EXPECT_TRUE(r.help);
    EXPECT_TRUE(r.seen.empty());
}

TEST(OptionParser, OptionsFirstTakesEverythingAfterTheFirstWord) {
    Recorder r(true);
    EXPECT_FALSE(r.parse({"--flag", "p", "--number", "-x"}));
    EXPECT_EQ(r.seen, (std::vector<std::string>{"flag", "word p", "word --number", "word -x"}));
    Recorder separated;
    EXPECT_FALSE(separated.parse({"--", "--flag"}));
    EXPECT_EQ(separated.seen, (std::vector<std::string>{"word --flag"}));
}

TEST(OptionParser, OptionListIsGeneratedFromTheDeclarations) {
    Recorder r;
    r.parser.group(
        "More options, with a title long enough to be refilled over two lines of "
        "the generated option list");
    r.parser.value("--very-long-option-name", "VALUE", "a description beside a long name",
                   [](const std::string&, std::string&) { return true; });
    EXPECT_EQ(r.parser.optionList(),
              "\nOptions:\n"
              "  -n, --number N      a number, refused when it is \"bad\"\n"
              "  --flag              a flag\n"
              "  -h, --help          this text\n"
              "\nMore options, with a title long enough to be refilled over two lines of the "
              "generated\noption list:\n"
              "  --very-long-option-name VALUE\n"
              "                      a description beside a long name\n");
}

}  // namespace
}  // namespace conesim
