#include "uikit/view/CATransaction.h"

#include <cmath>
#include <vector>

namespace {
// The duration of each open transaction, innermost last.
std::vector<double>& openTransactions() {
    static std::vector<double> stack;
    return stack;
}
} // namespace

void CATransaction::begin() {
    auto& stack = openTransactions();
    stack.push_back(stack.empty() ? defaultAnimationDuration : stack.back());
}

void CATransaction::commit() {
    auto& stack = openTransactions();
    if (!stack.empty()) stack.pop_back();
}

double CATransaction::animationDuration() {
    const auto& stack = openTransactions();
    return stack.empty() ? defaultAnimationDuration : stack.back();
}

void CATransaction::setAnimationDuration(double seconds) {
    auto& stack = openTransactions();
    if (stack.empty() || !std::isfinite(seconds)) return;
    stack.back() = seconds < 0 ? 0 : seconds;
}
