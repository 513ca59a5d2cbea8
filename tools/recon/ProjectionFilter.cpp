#include "recon/ProjectionFilter.hpp"

#include <fftw3.h>

#include <cmath>
#include <mutex>
#include <numbers>

namespace conesim::tools {

namespace {

// FFTW's planner is not thread-safe; plans are made and destroyed under this lock.
std::mutex& plannerLock() {
    static std::mutex lock;
    return lock;
}

double hannWindow(std::size_t k, std::size_t padded) {
    return 0.5 * (1.0 + std::cos(std::numbers::pi * static_cast<double>(k) /
                                 static_cast<double>(padded / 2)));
}

}  // namespace

struct ProjectionFilter::Plans {
    double* real = nullptr;
    fftw_complex* spectrum = nullptr;
    fftw_plan forward = nullptr;
    fftw_plan backward = nullptr;

    explicit Plans(std::size_t padded) {
        const std::lock_guard<std::mutex> guard(plannerLock());
        real = fftw_alloc_real(padded);
        spectrum = fftw_alloc_complex(padded / 2 + 1);
        const int n = static_cast<int>(padded);
        forward = fftw_plan_dft_r2c_1d(n, real, spectrum, FFTW_ESTIMATE);
        backward = fftw_plan_dft_c2r_1d(n, spectrum, real, FFTW_ESTIMATE);
    }
    ~Plans() {
        const std::lock_guard<std::mutex> guard(plannerLock());
        fftw_destroy_plan(forward);
        fftw_destroy_plan(backward);
        fftw_free(real);
        fftw_free(spectrum);
    }
};

std::size_t paddedFilterLength(std::size_t length) {
    std::size_t padded = 2;
    while (padded < 2 * length) {
        padded *= 2;
    }
    return padded;
}

ProjectionFilter::ProjectionFilter(FilterKind kind, FilterWindow window, std::size_t length,
                                   double spacing)
    : length_(length),
      padded_(paddedFilterLength(length)),
      plans_(std::make_unique<Plans>(padded_)) {
    const std::size_t half = padded_ / 2;
    response_.assign(half + 1, {0.0, 0.0});
    if (kind == FilterKind::kRamp) {
        // The spatial kernel, wrapped, times the spacing of the convolution integral; its
        // transform is real.
        const double pi2 = std::numbers::pi * std::numbers::pi;
        for (std::size_t n = 0; n < padded_; ++n) {
            const std::size_t distance = n <= half ? n : padded_ - n;
            double h = 0.0;
            if (distance == 0) {
                h = 1.0 / (4.0 * spacing * spacing);
            } else if (distance % 2 == 1) {
                const auto d = static_cast<double>(distance);
                h = -1.0 / (pi2 * d * d * spacing * spacing);
            }
            plans_->real[n] = h * spacing;
        }
        fftw_execute(plans_->forward);
        for (std::size_t k = 0; k <= half; ++k) {
            response_[k] = {plans_->spectrum[k][0], 0.0};
        }
    } else {
        for (std::size_t k = 1; k < half; ++k) {
            response_[k] = {0.0, 1.0 / (2.0 * std::numbers::pi)};
        }
    }
    for (std::size_t k = 0; k <= half; ++k) {
        // FFTW's inverse is unnormalised.
        response_[k] /= static_cast<double>(padded_);
        if (window == FilterWindow::kHann) {
            response_[k] *= hannWindow(k, padded_);
        }
    }
}

ProjectionFilter::~ProjectionFilter() = default;

void ProjectionFilter::apply(const float* row, float* out) {
    double* real = plans_->real;
    for (std::size_t n = 0; n < length_; ++n) {
        real[n] = row[n];
    }
    for (std::size_t n = length_; n < padded_; ++n) {
        real[n] = 0.0;
    }
    fftw_execute(plans_->forward);
    for (std::size_t k = 0; k <= padded_ / 2; ++k) {
        const std::complex<double> value(plans_->spectrum[k][0], plans_->spectrum[k][1]);
        const std::complex<double> filtered = value * response_[k];
        plans_->spectrum[k][0] = filtered.real();
        plans_->spectrum[k][1] = filtered.imag();
    }
    fftw_execute(plans_->backward);
    for (std::size_t n = 0; n < length_; ++n) {
        out[n] = static_cast<float>(real[n]);
    }
}

}  // namespace conesim::tools
