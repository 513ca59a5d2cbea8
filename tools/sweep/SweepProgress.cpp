#include "sweep/SweepProgress.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace conesim::tools {

std::string SweepProgress::bar(double done, std::int64_t runs, int width) {
    const double share = runs > 0 ? std::clamp(done / static_cast<double>(runs), 0.0, 1.0) : 1.0;
    const int filled = static_cast<int>(std::floor(share * width));
    char count[48];
    std::snprintf(count, sizeof count, "] %lld/%lld", static_cast<long long>(std::floor(done)),
                  static_cast<long long>(runs));
    std::string text(1, '[');
    text.append(static_cast<std::size_t>(filled), '#');
    text.append(static_cast<std::size_t>(width - filled), '.');
    text.append(count);
    return text;
}

void SweepProgress::runStarted(std::int64_t index, const std::string& label) {
    index_ = index;
    label_ = label;
    fraction_ = 0.0;
    draw();
}

void SweepProgress::runAdvanced(double fraction) {
    if (fraction != fraction_) {
        fraction_ = fraction;
        draw();
    }
}

void SweepProgress::line(const std::string& text) {
    if (terminal_ && drawn_) {
        out_ << "\r\033[K";
    }
    out_ << text << '\n';
    drawn_ = false;
    out_.flush();
}

void SweepProgress::finish() {
    if (terminal_ && drawn_) {
        out_ << "\r\033[K";
        out_.flush();
        drawn_ = false;
    }
}

void SweepProgress::draw() {
    if (!terminal_) {
        return;
    }
    char percent[16];
    std::snprintf(percent, sizeof percent, " %3d%%", static_cast<int>(fraction_ * 100.0));
    out_ << "\r\033[K" << bar(static_cast<double>(index_) + fraction_, runs_, 30) << "  run "
         << index_ + 1 << ": " << label_ << percent;
    out_.flush();
    drawn_ = true;
}

double photonFraction(const std::string& consoleText, std::int64_t photonsToRun) {
    const std::string marker = "Ran ";
    const std::size_t at = consoleText.rfind("\n" + marker);
    if (at == std::string::npos || photonsToRun <= 0) {
        return 0.0;
    }
    long long photons = 0;
    if (std::sscanf(consoleText.c_str() + at + 1 + marker.size(), "%lld photons", &photons) != 1) {
        return 0.0;
    }
    return std::clamp(static_cast<double>(photons) / static_cast<double>(photonsToRun), 0.0, 1.0);
}

}  // namespace conesim::tools
