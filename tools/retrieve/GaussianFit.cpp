#include "retrieve/GaussianFit.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <vector>

namespace conesim::tools {

namespace {

using Vector3 = std::array<double, 3>;
using Matrix3 = std::array<Vector3, 3>;

constexpr int kMaxIterations = 100;
constexpr int kMaxHalvings = 60;

// Solves m x = b by elimination with partial pivoting; false when m is singular.
bool solve3(Matrix3 m, Vector3 b, Vector3& x) {
    for (int col = 0; col < 3; ++col) {
        int pivot = col;
        for (int row = col + 1; row < 3; ++row) {
            if (std::fabs(m[row][col]) > std::fabs(m[pivot][col])) {
                pivot = row;
            }
        }
        if (!(std::fabs(m[pivot][col]) > 0.0)) {
            return false;
        }
        std::swap(m[col], m[pivot]);
        std::swap(b[col], b[pivot]);
        for (int row = col + 1; row < 3; ++row) {
            const double factor = m[row][col] / m[col][col];
            for (int k = col; k < 3; ++k) {
                m[row][k] -= factor * m[col][k];
            }
            b[row] -= factor * b[col];
        }
    }
    for (int row = 2; row >= 0; --row) {
        double sum = b[row];
        for (int k = row + 1; k < 3; ++k) {
            sum -= m[row][k] * x[k];
        }
        x[row] = sum / m[row][row];
    }
    return std::isfinite(x[0]) && std::isfinite(x[1]) && std::isfinite(x[2]);
}

// The fit works on t = (x - middle) / halfSpan in [-1, 1] and counts divided by their
// largest, so that the equations stay well conditioned whatever the units; the parabola
// ln f = p0 + p1 t + p2 t^2 is turned back into x at the end.
struct ScaledCurve {
    std::vector<double> t;
    std::vector<double> y;
};

double polynomial(const Vector3& p, double t) {
    return p[0] + p[1] * t + p[2] * t * t;
}

// The Poisson objective sum(f - y ln f) up to a constant; infinite when f overflows.
double objective(const ScaledCurve& data, const Vector3& p) {
    double sum = 0.0;
    for (std::size_t k = 0; k < data.t.size(); ++k) {
        const double eta = polynomial(p, data.t[k]);
        sum += std::exp(eta) - data.y[k] * eta;
    }
    return std::isfinite(sum) ? sum : HUGE_VAL;
}

// ln y = p0 + p1 t + p2 t^2 by least squares weighted with y^2 over the positive counts.
bool logParabola(const ScaledCurve& data, Vector3& p) {
    Matrix3 m{};
    Vector3 b{};
    for (std::size_t k = 0; k < data.t.size(); ++k) {
        if (!(data.y[k] > 0.0)) {
            continue;
        }
        const double w = data.y[k] * data.y[k];
        const Vector3 phi{1.0, data.t[k], data.t[k] * data.t[k]};
        const double target = std::log(data.y[k]);
        for (int i = 0; i < 3; ++i) {
            for (int j = 0; j < 3; ++j) {
                m[i][j] += w * phi[i] * phi[j];
            }
            b[i] += w * phi[i] * target;
        }
    }
    return solve3(m, b, p);
}

// Newton steps on the Poisson objective (convex in p), each halved until it lowers the
// objective. True once the objective cannot fall by more than its own rounding.
bool maximiseLikelihood(const ScaledCurve& data, Vector3& p) {
    double current = objective(data, p);
    for (int iteration = 0; iteration < kMaxIterations; ++iteration) {
        Matrix3 hessian{};
        Vector3 gradient{};
        for (std::size_t k = 0; k < data.t.size(); ++k) {
            const double f = std::exp(polynomial(p, data.t[k]));
            const Vector3 phi{1.0, data.t[k], data.t[k] * data.t[k]};
            for (int i = 0; i < 3; ++i) {
                gradient[i] += (f - data.y[k]) * phi[i];
                for (int j = 0; j < 3; ++j) {
                    hessian[i][j] += f * phi[i] * phi[j];
                }
            }
        }
        Vector3 step{};
        if (!solve3(hessian, Vector3{-gradient[0], -gradient[1], -gradient[2]}, step)) {
            return false;
        }
        // The Newton decrement: how much the objective can still fall, to second order.
        const double decrement =
            -(gradient[0] * step[0] + gradient[1] * step[1] + gradient[2] * step[2]);
        const double scale = 1.0 + std::fabs(current);
        if (!(decrement > 1e-13 * scale)) {
            return decrement <= 1e-13 * scale;
        }
        bool lowered = false;
        double length = 1.0;
        for (int halving = 0; halving < kMaxHalvings && !lowered; ++halving) {
            const Vector3 trial{p[0] + length * step[0], p[1] + length * step[1],
                                p[2] + length * step[2]};
            const double value = objective(data, trial);
            if (value < current) {
                p = trial;
                current = value;
                lowered = true;
            }
            length *= 0.5;
        }
        if (!lowered) {
            // No step lowers the objective any more: rounding has the last word.
            return decrement < 1e-8 * scale;
        }
    }
    return false;
}

}  // namespace

double peakHeight(const GaussianCurve& curve) {
    return curve.integral / std::sqrt(2.0 * std::numbers::pi * curve.variance);
}

double curveValue(const GaussianCurve& curve, double x) {
    const double d = x - curve.centre;
    return peakHeight(curve) * std::exp(-d * d / (2.0 * curve.variance));
}

FitOutcome fitGaussian(std::span<const double> positions, std::span<const double> counts,
                       double minimumCounts, GaussianCurve& curve) {
    const std::size_t n = std::min(positions.size(), counts.size());
    double total = 0.0;
    double largest = 0.0;
    int positive = 0;
    for (std::size_t k = 0; k < n; ++k) {
        total += counts[k];
        largest = std::max(largest, counts[k]);
        positive += counts[k] > 0.0 ? 1 : 0;
    }
    if (n < 3 || positive < 3 || !(total >= minimumCounts)) {
        return FitOutcome::kTooFewCounts;
    }
    const auto [low, high] = std::minmax_element(positions.begin(), positions.begin() + n);
    const double middle = 0.5 * (*low + *high);
    const double halfSpan = 0.5 * (*high - *low);
    if (!(halfSpan > 0.0)) {
        return FitOutcome::kFlatCurve;
    }
    ScaledCurve data;
    for (std::size_t k = 0; k < n; ++k) {
        data.t.push_back((positions[k] - middle) / halfSpan);
        data.y.push_back(counts[k] / largest);
    }
    Vector3 p{};
    if (!logParabola(data, p)) {
        return FitOutcome::kFlatCurve;
    }
    if (!maximiseLikelihood(data, p)) {
        return FitOutcome::kNoConvergence;
    }
    if (!(p[2] < 0.0)) {
        return FitOutcome::kFlatCurve;
    }
    // ln f = p0 + p1 t + p2 t^2 = ln peak - (t - tc)^2 / (2 st^2).
    const double tCentre = -p[1] / (2.0 * p[2]);
    const double tVariance = -1.0 / (2.0 * p[2]);
    const double lnPeak = p[0] - p[1] * p[1] / (4.0 * p[2]);
    GaussianCurve fitted;
    fitted.centre = middle + halfSpan * tCentre;
    fitted.variance = halfSpan * halfSpan * tVariance;
    fitted.integral =
        largest * std::exp(lnPeak) * std::sqrt(2.0 * std::numbers::pi * fitted.variance);
    if (!std::isfinite(fitted.centre) || !std::isfinite(fitted.variance) ||
        !std::isfinite(fitted.integral)) {
        return FitOutcome::kNoConvergence;
    }
    if (fitted.centre < *low || fitted.centre > *high) {
        return FitOutcome::kCentreOutside;
    }
    curve = fitted;
    return FitOutcome::kFitted;
}

bool gaussianThroughTwoPoints(double x1, double c1, double x2, double c2, double variance,
                              GaussianCurve& curve) {
    if (!(c1 > 0.0) || !(c2 > 0.0) || !(variance > 0.0) || x1 == x2) {
        return false;
    }
    GaussianCurve result;
    result.variance = variance;
    result.centre = 0.5 * (x1 + x2) - variance * std::log(c1 / c2) / (x2 - x1);
    const double d = x1 - result.centre;
    const double peak = c1 * std::exp(d * d / (2.0 * variance));
    result.integral = peak * std::sqrt(2.0 * std::numbers::pi * variance);
    if (!std::isfinite(result.centre) || !std::isfinite(result.integral)) {
        return false;
    }
    curve = result;
    return true;
}

}  // namespace conesim::tools
