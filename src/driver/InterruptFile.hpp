// The interrupt file "stopSTOPstop": while it exists, each check asks the user whether to
// stop the run, and a confirmed stop keeps the photons run so far.
#pragma once

#include <sys/types.h>

#include <csignal>
#include <ostream>
#include <string>

#include "driver/AnswerSource.hpp"
#include "util/Console.hpp"

namespace conesim {

inline constexpr const char* kInterruptFileName = "stopSTOPstop";

// Whether an answer confirms: at most two characters with a lower-case y among them.
bool confirmsInterruption(const std::string& answer);

// The console line (also written to the run log) when standard input has ended while the
// question waited for its answer.
std::string answerCannotComeMessage(const std::string& fileName);

// Looks for the interrupt file and asks about it. The file is only looked at (stat), never
// opened, so that a named pipe or device under its name cannot hold the run.
class InterruptFile {
  public:
    InterruptFile(Console& console, std::ostream& log, AnswerSource& answers,
                  const volatile std::sig_atomic_t* stop,
                  std::string fileName = kInterruptFileName);

    // True when the file exists and the user confirmed the interruption. False when it does
    // not exist, the answer does not confirm, a stop was requested while waiting (the photon
    // loop then stops on the stop flag itself), or the input has ended: the run then says so
    // once and no longer asks about that same file (same device and inode).
    bool check();

  private:
    Console& console_;
    std::ostream& log_;
    AnswerSource& answers_;
    const volatile std::sig_atomic_t* stop_;
    std::string fileName_;
    bool ignoring_ = false;
    dev_t ignoredDevice_ = 0;
    ino_t ignoredInode_ = 0;
};

}  // namespace conesim
