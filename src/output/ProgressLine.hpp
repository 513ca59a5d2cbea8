// The live progress line of a long run on a terminal: percentage, photons per second,
// elapsed and remaining time, redrawn in place a few times a second and cleared at the
// end. It is only ever drawn on a terminal's standard error, so standard output and the
// run log stay as they are.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <ostream>
#include <string>

namespace conesim {

class ProgressLine {
  public:
    using Clock = std::function<double()>;  //!< seconds on a steady clock

    ProgressLine(std::ostream& terminal, std::int64_t total, Clock clock = steadySeconds);
    ~ProgressLine() { clear(); }
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    // Redraws the line for done of total photons, at most about four times a second.
    void update(std::int64_t done);
    // Removes the line, leaving the cursor at the start of an empty line.
    void clear();

    // The text of the line for done photons after elapsed seconds (no carriage return).
    static std::string text(std::int64_t done, std::int64_t total, double elapsed);

    static double steadySeconds() {
        return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }

  private:
    std::ostream& terminal_;
    std::int64_t total_;
    Clock clock_;
    double start_;
    double lastDraw_;
    std::size_t drawnWidth_ = 0;
};

}  // namespace conesim
