#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "util/BoundedRead.hpp"

namespace conesim {
namespace {

// Every line of the text read with a limit, as "text" or "LONG:<held characters>".
std::vector<std::string> lines(const std::string& text, std::size_t limit) {
    std::istringstream in(text);
    std::vector<std::string> read;
    std::string line;
    while (true) {
        const BoundedReadResult result = readBoundedLine(in, line, limit);
        if (result == BoundedReadResult::kEnd) {
            break;
        }
        if (result == BoundedReadResult::kTooLong) {
            read.push_back("LONG:" + line);
            break;
        }
        read.push_back(line);
    }
    return read;
}

using Texts = std::vector<std::string>;

TEST(BoundedRead, LinesUpToTheLimitWithTheirLineEndsRemoved) {
    EXPECT_EQ(lines("ab\r\ncd\n\nlast", 4), (Texts{"ab", "cd", "", "last"}));
    EXPECT_EQ(lines("", 4), Texts{});
    EXPECT_EQ(lines("\n", 4), (Texts{""}));
    // Exactly the limit, with and without a carriage return; one more is too long.
    EXPECT_EQ(lines("abcd\nabcd\r\nx", 4), (Texts{"abcd", "abcd", "x"}));
    EXPECT_EQ(lines("abcde\nnext\n", 4), (Texts{"LONG:abcde"}));
    EXPECT_EQ(lines("abcd\r\r\n", 4), (Texts{"LONG:abcd\r"}));
    EXPECT_EQ(lines("abcdefghij", 4), (Texts{"LONG:abcde"}));
    // A carriage return inside a line stays.
    EXPECT_EQ(lines("a\rb\n", 4), (Texts{"a\rb"}));
}

TEST(BoundedRead, OverlongLineStopsWithinItsFirstCharacters) {
    std::istringstream in(std::string(100, 'x') + "\nrest\n");
    std::string line;
    ASSERT_EQ(readBoundedLine(in, line, 10), BoundedReadResult::kTooLong);
    EXPECT_EQ(line, std::string(11, 'x'));
    EXPECT_LE(in.tellg(), std::streampos(13));
}

TEST(BoundedRead, SkippedLinesTellWhetherTheyEndedInTime) {
    std::istringstream in("abc\r\n" + std::string(5, 'y') + "\n" + std::string(6, 'z') + "\nw");
    EXPECT_EQ(skipBoundedLine(in, 4), BoundedReadResult::kRead);
    EXPECT_EQ(skipBoundedLine(in, 4), BoundedReadResult::kRead);  // 4 + a line end's CR
    EXPECT_EQ(skipBoundedLine(in, 4), BoundedReadResult::kTooLong);
    std::istringstream last("only");
    EXPECT_EQ(skipBoundedLine(last, 10), BoundedReadResult::kEnd);
    EXPECT_EQ(skipBoundedLine(last, 10), BoundedReadResult::kEnd);
}

TEST(BoundedRead, TokensSplitAtAnyWhiteSpaceUpToTheLimit) {
    std::istringstream in(" \t12\n\n-3.5\v\fabcd  abcde");
    std::string token;
    Texts read;
    BoundedReadResult result;
    while ((result = readBoundedToken(in, token, 4)) == BoundedReadResult::kRead) {
        read.push_back(token);
    }
    EXPECT_EQ(read, (Texts{"12", "-3.5", "abcd"}));
    EXPECT_EQ(result, BoundedReadResult::kTooLong);
    EXPECT_EQ(token, "abcde");
    std::istringstream blank("  \n\t ");
    EXPECT_EQ(readBoundedToken(blank, token, 4), BoundedReadResult::kEnd);
    EXPECT_TRUE(token.empty());
}

}  // namespace
}  // namespace conesim
