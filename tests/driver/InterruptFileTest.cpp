// The interrupt file and the answers to its question: words as a stream reads them, from a
// stream or a file descriptor; a stop request ends the wait; an input that has ended is said
// once and the same file is not asked about again.
#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <sstream>
#include <thread>

#include "TestSupport.hpp"
#include "driver/AnswerSource.hpp"
#include "driver/InterruptFile.hpp"

namespace conesim {
namespace {

namespace fs = std::filesystem;
using Result = AnswerSource::Result;

// A pipe whose read end the answers read; the test writes and closes the other end.
class Pipe {
  public:
    Pipe() {
        int fds[2] = {-1, -1};
        EXPECT_EQ(::pipe(fds), 0);
        reader = fds[0];
        writer = fds[1];
    }
    ~Pipe() {
        closeWriter();
        if (reader >= 0) {
            ::close(reader);
        }
    }
    void write(const std::string& text) {
        ASSERT_EQ(::write(writer, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    }
    void closeWriter() {
        if (writer >= 0) {
            ::close(writer);
            writer = -1;
        }
    }
    int reader = -1;
    int writer = -1;
};

// Every word and then the end, as the source gives them.
std::vector<std::string> allWords(AnswerSource& source) {
    std::vector<std::string> words;
    std::string word;
    Result result;
    while ((result = source.nextWord(word, nullptr)) == Result::kWord) {
        words.push_back(word);
    }
    EXPECT_EQ(result, Result::kEndOfInput);
    EXPECT_EQ(word, "");
    return words;
}

TEST(AnswerSource, DescriptorGivesTheWordsAStreamGives) {
    const std::string input = "  y\nY yes\n\n\tno\r\nay  y1\nlast";
    std::istringstream stream(input);
    StreamAnswers streamAnswers(stream);
    const std::vector<std::string> expected{"y", "Y", "yes", "no", "ay", "y1", "last"};
    EXPECT_EQ(allWords(streamAnswers), expected);

    Pipe pipe;
    pipe.write(input);
    pipe.closeWriter();
    DescriptorAnswers descriptorAnswers(pipe.reader);
    EXPECT_EQ(allWords(descriptorAnswers), expected);
    // Once ended, it stays ended.
    std::string word;
    EXPECT_EQ(descriptorAnswers.nextWord(word, nullptr), Result::kEndOfInput);
}

TEST(AnswerSource, WordsArrivingInPiecesAndRestForTheNextQuestion) {
    Pipe pipe;
    DescriptorAnswers answers(pipe.reader);
    std::string word;
    pipe.write("n");
    std::thread writer([&pipe] {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        pipe.write("o y\n");
    });
    EXPECT_EQ(answers.nextWord(word, nullptr), Result::kWord);
    writer.join();
    EXPECT_EQ(word, "no");
    // What was read beyond the first word answers the next question.
    EXPECT_EQ(answers.nextWord(word, nullptr), Result::kWord);
    EXPECT_EQ(word, "y");
    // A very long word is read to its end; it is kept at its first 64 characters.
    pipe.write(std::string(10000, 'x') + " y ");
    EXPECT_EQ(answers.nextWord(word, nullptr), Result::kWord);
    EXPECT_EQ(word, std::string(64, 'x'));
    EXPECT_EQ(answers.nextWord(word, nullptr), Result::kWord);
    EXPECT_EQ(word, "y");
}

TEST(AnswerSource, StopRequestEndsTheWait) {
    Pipe pipe;
    DescriptorAnswers answers(pipe.reader);
    volatile std::sig_atomic_t stop = 0;
    std::thread stopper([&stop] {
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
        stop = 1;
    });
    std::string word = "old";
    EXPECT_EQ(answers.nextWord(word, &stop), Result::kStopped);
    stopper.join();
    EXPECT_EQ(word, "");
    // A stream source sees a stop that came before it is asked.
    std::istringstream stream("y\n");
    StreamAnswers streamAnswers(stream);
    EXPECT_EQ(streamAnswers.nextWord(word, &stop), Result::kStopped);
}

struct Asked {
    std::ostringstream out;
    std::ostringstream log;
    std::istringstream in;
    Console console{out, in};
};

const std::string kQuestion =
    "\nPresence of interupt file detected.\nEnter y to confirm interuption. Any other key "
    "continues: \n";

TEST(InterruptFile, EndedInputIsSaidOnceForEachFile) {
    testing::ScratchDir dir;
    const std::string name = dir.file("stop");
    testing::writeText(name, "");
    Asked asked;
    StreamAnswers answers(asked.in);
    InterruptFile file(asked.console, asked.log, answers, nullptr, name);
    const std::string warning = answerCannotComeMessage(name) + "\n";
    EXPECT_FALSE(file.check());
    EXPECT_FALSE(file.check());
    EXPECT_FALSE(file.check());
    EXPECT_EQ(asked.out.str(), kQuestion + warning);
    EXPECT_EQ(asked.log.str(), warning);
    // The file rewritten in place is the same file; a new file under the name is asked about.
    testing::writeText(name, "again");
    EXPECT_FALSE(file.check());
    EXPECT_EQ(asked.out.str(), kQuestion + warning);
    testing::writeText(name + ".new", "");
    fs::rename(name + ".new", name);
    EXPECT_FALSE(file.check());
    EXPECT_EQ(asked.out.str(), kQuestion + warning + kQuestion + warning);
    EXPECT_EQ(asked.log.str(), warning + warning);
}

}  // namespace
}  // namespace conesim
