// What a sweep shows while it runs: on a terminal a bar redrawn in place (with the
// fraction of the running run's photons, from its console output), otherwise one plain
// line per finished run.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>

namespace conesim::tools {

class SweepProgress {
  public:
    SweepProgress(std::ostream& out, bool terminal, std::int64_t runs)
        : out_(out), terminal_(terminal), runs_(runs) {}

    // Run index (0-based) starts; label says what it runs ("detectorLrOffset=0.25").
    void runStarted(std::int64_t index, const std::string& label);
    // The running run has done this fraction (0 to 1) of its photons.
    void runAdvanced(double fraction);
    // A line that stays: printed above the bar on a terminal.
    void line(const std::string& text);
    // Ends the bar's line on a terminal.
    void finish();

    // "[#####...............]  3/9" for done runs out of runs, width characters inside.
    static std::string bar(double done, std::int64_t runs, int width);

  private:
    void draw();

    std::ostream& out_;
    bool terminal_;
    std::int64_t runs_;
    std::int64_t index_ = 0;
    double fraction_ = 0.0;
    std::string label_;
    bool drawn_ = false;
};

// The fraction of photonsToRun that the last "Ran N photons." line of a run's console
// output reports; 0 before the first such line.
double photonFraction(const std::string& consoleText, std::int64_t photonsToRun);

}  // namespace conesim::tools
