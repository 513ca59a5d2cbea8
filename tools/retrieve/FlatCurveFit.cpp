#include "retrieve/FlatCurveFit.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <numeric>

namespace conesim::tools {

namespace {

constexpr int kMaxIterations = 2000;
constexpr int kMaxRestarts = 8;

double normalDensity(double t) {
    return std::exp(-0.5 * t * t) / std::sqrt(2.0 * std::numbers::pi);
}
double normalIntegral(double t) {
    return 0.5 * std::erfc(-t / std::numbers::sqrt2);
}

double linearValue(const MeasuredCurve& flat, double x) {
    const std::vector<double>& p = flat.positions;
    if (x < p.front() || x > p.back()) {
        return 0.0;
    }
    const auto upper = std::upper_bound(p.begin(), p.end(), x);
    if (upper == p.end()) {
        return flat.counts.back();
    }
    const auto k = static_cast<std::size_t>(upper - p.begin());
    const double w = (x - p[k - 1]) / (p[k] - p[k - 1]);
    return (1.0 - w) * flat.counts[k - 1] + w * flat.counts[k];
}

double centroid(std::span<const double> positions, std::span<const double> counts) {
    double sum = 0.0;
    double weighted = 0.0;
    for (std::size_t k = 0; k < positions.size(); ++k) {
        sum += counts[k];
        weighted += counts[k] * positions[k];
    }
    return weighted / sum;
}

// The profile log-likelihood of shift and variance sigma^2: T already at its
// maximum. A model count of 0 where photons were counted is penalised by a tiny floor
// rather than minus infinity, so that the search can leave such a region.
struct ProfileLikelihood {
    const MeasuredCurve& flat;
    std::span<const double> positions;
    std::span<const double> counts;
    double total = 0.0;
    double floor = 0.0;

    double operator()(double shift, double variance, double* transmission = nullptr) const {
        double modelSum = 0.0;
        double sum = 0.0;
        for (std::size_t k = 0; k < positions.size(); ++k) {
            const double m =
                std::max(widenedCurveValue(flat, positions[k] - shift, variance), floor);
            modelSum += m;
            sum += counts[k] * std::log(m);
        }
        if (transmission != nullptr) {
            *transmission = total / modelSum;
        }
        return sum - total * std::log(modelSum);
    }
};

using Point = std::array<double, 2>;

// Nelder-Mead minimisation of cost from start with the given first steps, until the simplex
// is smaller than 1e-10 of the steps; false when it does not get there.
template <typename Cost>
bool nelderMead(const Cost& cost, const Point& steps, Point& point, double& value) {
    std::array<Point, 3> simplex = {point, Point{point[0] + steps[0], point[1]},
                                    Point{point[0], point[1] + steps[1]}};
    std::array<double, 3> values = {value, cost(simplex[1]), cost(simplex[2])};
    for (int iteration = 0; iteration < kMaxIterations; ++iteration) {
        std::array<int, 3> order = {0, 1, 2};
        std::sort(order.begin(), order.end(), [&](int a, int b) { return values[a] < values[b]; });
        const Point best = simplex[order[0]];
        const Point middle = simplex[order[1]];
        const Point worst = simplex[order[2]];
        bool small = true;
        for (int axis = 0; axis < 2; ++axis) {
            const double size =
                std::max(std::fabs(worst[axis] - best[axis]), std::fabs(middle[axis] - best[axis]));
            small = small && size < 1e-10 * steps[axis];
        }
        if (small) {
            point = best;
            value = values[order[0]];
            return true;
        }
        const Point centre = {0.5 * (best[0] + middle[0]), 0.5 * (best[1] + middle[1])};
        const auto along = [&](double factor) {
            return Point{centre[0] + factor * (worst[0] - centre[0]),
                         centre[1] + factor * (worst[1] - centre[1])};
        };
        const Point reflected = along(-1.0);
        const double reflectedValue = cost(reflected);
        if (reflectedValue < values[order[0]]) {
            const Point expanded = along(-2.0);
            const double expandedValue = cost(expanded);
            const bool expand = expandedValue < reflectedValue;
            simplex[order[2]] = expand ? expanded : reflected;
            values[order[2]] = expand ? expandedValue : reflectedValue;
        } else if (reflectedValue < values[order[1]]) {
            simplex[order[2]] = reflected;
            values[order[2]] = reflectedValue;
        } else {
            const Point contracted = reflectedValue < values[order[2]] ? along(-0.5) : along(0.5);
            const double contractedValue = cost(contracted);
            if (contractedValue < std::min(reflectedValue, values[order[2]])) {
                simplex[order[2]] = contracted;
                values[order[2]] = contractedValue;
            } else {
                for (const int i : {order[1], order[2]}) {
                    simplex[i] = {0.5 * (simplex[i][0] + best[0]), 0.5 * (simplex[i][1] + best[1])};
                    values[i] = cost(simplex[i]);
                }
            }
        }
    }
    return false;
}

}  // namespace

MeasuredCurve measuredCurve(std::span<const double> positions, std::span<const double> counts) {
    std::vector<std::size_t> order(positions.size());
    std::iota(order.begin(), order.end(), 0U);
    std::sort(order.begin(), order.end(),
              [&](std::size_t a, std::size_t b) { return positions[a] < positions[b]; });
    MeasuredCurve curve;
    for (const std::size_t k : order) {
        curve.positions.push_back(positions[k]);
        curve.counts.push_back(counts[k]);
    }
    return curve;
}

double widenedCurveValue(const MeasuredCurve& flat, double x, double variance) {
    const double s = std::sqrt(std::max(variance, 0.0));
    const std::vector<double>& p = flat.positions;
    if (s < 1e-9 * (p.back() - p.front())) {
        return linearValue(flat, x);
    }
    // Each segment a..b carries F(y) = f0 + q (y - a); with t = (y - x) / s its share is
    // (f0 + q (x - a)) [Phi(tb) - Phi(ta)] + q s [phi(ta) - phi(tb)].
    double value = 0.0;
    for (std::size_t k = 0; k + 1 < p.size(); ++k) {
        const double a = p[k];
        const double b = p[k + 1];
        const double ta = (a - x) / s;
        const double tb = (b - x) / s;
        if (ta > 9.0 || tb < -9.0) {
            continue;  // beyond nine standard deviations the Gaussian has no weight left
        }
        const double q = (flat.counts[k + 1] - flat.counts[k]) / (b - a);
        value += (flat.counts[k] + q * (x - a)) * (normalIntegral(tb) - normalIntegral(ta)) +
                 q * s * (normalDensity(ta) - normalDensity(tb));
    }
    return std::max(value, 0.0);
}

FitOutcome fitFlatCurve(const MeasuredCurve& flat, std::span<const double> positions,
                        std::span<const double> counts, double minimumCounts, FlatCurveFit& fit) {
    const double flatTotal = std::accumulate(flat.counts.begin(), flat.counts.end(), 0.0);
    const double total = std::accumulate(counts.begin(), counts.end(), 0.0);
    const auto lit =
        std::count_if(flat.counts.begin(), flat.counts.end(), [](double c) { return c > 0.0; });
    if (lit < 3 || flatTotal < minimumCounts || total < minimumCounts || !(total > 0.0)) {
        return FitOutcome::kTooFewCounts;
    }
    const double span = flat.positions.back() - flat.positions.front();
    const double peak = *std::max_element(flat.counts.begin(), flat.counts.end());
    const ProfileLikelihood likelihood{flat, positions, counts, total, 1e-12 * peak};
    // Searched over shift and v, sigma^2 = |v|: the likelihood is smooth in sigma^2 down to
    // 0, where a search in sigma would find it flat to fourth order.
    const auto cost = [&](const Point& p) { return -likelihood(p[0], std::fabs(p[1])); };
    // Start: the centroids' shift and no widening. A search can stop on a collapsed
    // simplex, so it restarts from its best point until a restart gains nothing.
    Point best = {centroid(positions, counts) - centroid(flat.positions, flat.counts), 0.0};
    double bestCost = cost(best);
    Point steps = {0.1 * span, 0.02 * span * span};
    bool settled = false;
    for (int restart = 0; restart < kMaxRestarts && !settled; ++restart) {
        Point found = best;
        double foundCost = bestCost;
        if (!nelderMead(cost, steps, found, foundCost)) {
            return FitOutcome::kNoConvergence;
        }
        settled = !(foundCost < bestCost - 1e-9) && restart > 0;
        if (foundCost <= bestCost) {
            best = found;
            bestCost = foundCost;
        }
        steps = {0.5 * steps[0], 0.5 * steps[1]};
    }
    if (!settled) {
        return FitOutcome::kNoConvergence;
    }
    FlatCurveFit result;
    likelihood(best[0], std::fabs(best[1]), &result.transmission);
    result.shift = best[0];
    result.variance = std::fabs(best[1]);
    if (!std::isfinite(result.transmission) || std::fabs(result.shift) > span) {
        return FitOutcome::kCentreOutside;
    }
    fit = result;
    return FitOutcome::kFitted;
}

}  // namespace conesim::tools
