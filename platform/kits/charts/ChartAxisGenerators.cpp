#include "kits/charts/ChartAxisGenerators.h"

#include <cmath>

std::vector<double> ChartAxisGeneratorMultiplier::generate(double first, double last) const {
    std::vector<double> values;
    if (!std::isfinite(first) || !std::isfinite(last) || last < first || !std::isfinite(multiplier_) ||
        multiplier_ <= 0) {
        if (std::isfinite(first)) values.push_back(first);
        if (std::isfinite(last) && last != first) values.push_back(last);
        return values;
    }
    double step = multiplier_;
    // A hair of tolerance, so that 0.3 counts as a multiple of 0.1.
    auto bounds = [&](double s) {
        const double eps = 1e-9;
        return std::pair{std::ceil(first / s - eps), std::floor(last / s + eps)};
    };
    auto [lo, hi] = bounds(step);
    while (hi - lo + 1 > static_cast<double>(maximumCount)) {
        step *= 2;
        std::tie(lo, hi) = bounds(step);
    }
    for (double k = lo; k <= hi; k += 1) {
        // Never -0, which a label would write with its sign.
        values.push_back(k == 0 ? 0.0 : k * step);
    }
    return values;
}
