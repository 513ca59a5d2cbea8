#include "output/ProgressLine.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace conesim {
namespace {

constexpr double kRedrawSeconds = 0.25;

std::string clockText(double seconds) {
    if (!std::isfinite(seconds) || seconds < 0) {
        return "--:--:--";
    }
    const auto whole = static_cast<std::int64_t>(seconds + 0.5);
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%lld:%02lld:%02lld", static_cast<long long>(whole / 3600),
                  static_cast<long long>(whole / 60 % 60), static_cast<long long>(whole % 60));
    return buffer;
}

}  // namespace

ProgressLine::ProgressLine(std::ostream& terminal, std::int64_t total, Clock clock)
    : terminal_(terminal), total_(total), clock_(std::move(clock)) {
    start_ = clock_();
    lastDraw_ = start_;
}

std::string ProgressLine::text(std::int64_t done, std::int64_t total, double elapsed) {
    const double fraction =
        total > 0 ? std::clamp(static_cast<double>(done) / static_cast<double>(total), 0.0, 1.0)
                  : 0.0;
    const double rate = elapsed > 0 ? static_cast<double>(done) / elapsed : 0.0;
    const double remaining = rate > 0 ? static_cast<double>(total - done) / rate
                                      : std::numeric_limits<double>::quiet_NaN();
    char buffer[128];
    std::snprintf(buffer, sizeof buffer, "%5.1f%%  %.3g photons/s  elapsed %s  remaining %s",
                  100.0 * fraction, rate, clockText(elapsed).c_str(), clockText(remaining).c_str());
    return buffer;
}

void ProgressLine::update(std::int64_t done) {
    const double now = clock_();
    if (now - lastDraw_ < kRedrawSeconds) {
        return;
    }
    lastDraw_ = now;
    const std::string line = text(done, total_, now - start_);
    const std::size_t padding = drawnWidth_ > line.size() ? drawnWidth_ - line.size() : 0;
    terminal_ << '\r' << line << std::string(padding, ' ') << std::flush;
    drawnWidth_ = line.size();
}

void ProgressLine::clear() {
    if (drawnWidth_ == 0) {
        return;
    }
    terminal_ << '\r' << std::string(drawnWidth_, ' ') << '\r' << std::flush;
    drawnWidth_ = 0;
}

}  // namespace conesim
