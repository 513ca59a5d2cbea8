#include "driver/InterruptFile.hpp"

#include <sys/stat.h>

#include <utility>

namespace conesim {

bool confirmsInterruption(const std::string& answer) {
    return answer.size() <= 2 && answer.find('y') != std::string::npos;
}

std::string answerCannotComeMessage(const std::string& fileName) {
    return "WARNING: Standard input has ended, so the interruption cannot be confirmed; the run "
           "goes on and asks no more about the interrupt file " +
           fileName + " (SIGINT or SIGTERM stops the run and keeps its photons).";
}

InterruptFile::InterruptFile(Console& console, std::ostream& log, AnswerSource& answers,
                             const volatile std::sig_atomic_t* stop, std::string fileName)
    : console_(console),
      log_(log),
      answers_(answers),
      stop_(stop),
      fileName_(std::move(fileName)) {}

bool InterruptFile::check() {
    // Only its existence matters: stat never opens it.
    struct stat info {};
    if (::stat(fileName_.c_str(), &info) != 0) {
        return false;
    }
    if (ignoring_ && info.st_dev == ignoredDevice_ && info.st_ino == ignoredInode_) {
        return false;
    }
    writeLine(console_.out, "\nPresence of interupt file detected.");
    writeLine(console_.out, "Enter y to confirm interuption. Any other key continues: ");
    std::string answer;
    switch (answers_.nextWord(answer, stop_)) {
        case AnswerSource::Result::kWord:
            return confirmsInterruption(answer);
        case AnswerSource::Result::kStopped:
            return false;
        case AnswerSource::Result::kEndOfInput:
            break;
    }
    report(console_, log_, answerCannotComeMessage(fileName_));
    ignoring_ = true;
    ignoredDevice_ = info.st_dev;
    ignoredInode_ = info.st_ino;
    return false;
}

}  // namespace conesim
