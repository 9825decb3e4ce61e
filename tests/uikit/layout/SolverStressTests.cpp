#include "uikit/layout/Solver.h"

#include <gtest/gtest.h>

#include <limits>
#include <random>

using namespace cw::layout;

// Chains of boxes whose positions follow from their widths and gaps, built in one order and
// then taken apart and put back in a random order: every state must match the arithmetic.
TEST(SolverStress, RandomAddRemoveOrderKeepsTheSameSolution) {
    std::mt19937 rng(12345);
    constexpr int n = 40;
    Solver s;
    std::vector<Variable> x(n), w(n);
    for (int i = 0; i < n; ++i) {
        x[i] = s.newVariable();
        w[i] = s.newVariable();
    }
    struct Item {
        Expression e;
        Relation r;
        double priority;
        ConstraintId id;
    };
    std::vector<Item> items;
    items.push_back({Expression(x[0]), Relation::equal, 1000, {}});
    for (int i = 0; i < n; ++i) {
        Expression width(w[i]);
        width.constant = -(10.0 + i);
        items.push_back({width, Relation::equal, 1000, {}});
        if (i > 0) {
            Expression gap(x[i]);
            gap.add(x[i - 1], -1).add(w[i - 1], -1);
            gap.constant = -5;
            items.push_back({gap, Relation::equal, 1000, {}});
        }
        // A weak wish that every box sits at 0, which the required chain overrides.
        items.push_back({Expression(x[i]), Relation::equal, 1, {}});
        Expression cap(x[i]);
        cap.constant = -100000;
        items.push_back({cap, Relation::lessOrEqual, 1000, {}});
    }
    auto check = [&] {
        double expect = 0;
        for (int i = 0; i < n; ++i) {
            ASSERT_NEAR(s.value(x[i]), expect, 1e-6) << "box " << i;
            ASSERT_NEAR(s.value(w[i]), 10.0 + i, 1e-6);
            expect += 10.0 + i + 5;
        }
    };
    for (auto& it : items) {
        it.id = s.addConstraint(it.e, it.r, it.priority).constraint;
        ASSERT_TRUE(it.id.valid());
    }
    check();
    for (int round = 0; round < 5; ++round) {
        std::vector<std::size_t> order(items.size());
        for (std::size_t i = 0; i < order.size(); ++i)
            order[i] = i;
        std::shuffle(order.begin(), order.end(), rng);
        const std::size_t k = order.size() / 3;
        for (std::size_t i = 0; i < k; ++i)
            s.removeConstraint(items[order[i]].id);
        std::shuffle(order.begin(), order.begin() + static_cast<std::ptrdiff_t>(k), rng);
        for (std::size_t i = 0; i < k; ++i) {
            auto& it = items[order[i]];
            it.id = s.addConstraint(it.e, it.r, it.priority).constraint;
            ASSERT_TRUE(it.id.valid());
        }
        check();
        // Constants move and come back.
        s.changeConstant(items[1].id, -20);
        EXPECT_NEAR(s.value(w[0]), 20, 1e-6);
        EXPECT_NEAR(s.value(x[1]), 25, 1e-6);
        s.changeConstant(items[1].id, -10);
        check();
    }
    EXPECT_EQ(s.constraintCount(), items.size());
}

TEST(SolverStress, PreferencesBetweenRequiredBoundsSettleAtTheBounds) {
    Solver s;
    Variable v = s.newVariable();
    s.addConstraint(Expression(v).add(Expression(-10)), Relation::greaterOrEqual, 1000);
    s.addConstraint(Expression(v).add(Expression(-20)), Relation::lessOrEqual, 1000);
    auto wish = s.addConstraint(Expression(v).add(Expression(-100)), Relation::equal, 500);
    EXPECT_DOUBLE_EQ(s.value(v), 20);
    s.changeConstant(wish.constraint, 0); // now wants 0
    EXPECT_DOUBLE_EQ(s.value(v), 10);
    s.changeConstant(wish.constraint, -15);
    EXPECT_DOUBLE_EQ(s.value(v), 15);
    // A non-required inequality gives way only as far as it must.
    auto atMost = s.addConstraint(Expression(v).add(Expression(-12)), Relation::lessOrEqual, 750);
    EXPECT_DOUBLE_EQ(s.value(v), 12);
    s.removeConstraint(atMost.constraint);
    EXPECT_DOUBLE_EQ(s.value(v), 15);
    EXPECT_GT(weightForPriority(251), weightForPriority(250));
    EXPECT_GT(weightForPriority(750) / weightForPriority(250), 500);
}

TEST(SolverStress, NumbersThatAreNotNumbersCountAsZero) {
    Solver s;
    Variable v = s.newVariable();
    Expression e(v);
    e.constant = std::numeric_limits<double>::quiet_NaN();
    auto c = s.addConstraint(e, Relation::equal, 1000);
    ASSERT_TRUE(c.ok());
    EXPECT_DOUBLE_EQ(s.value(v), 0);
    EXPECT_TRUE(s.changeConstant(c.constraint, std::numeric_limits<double>::infinity()).ok());
    EXPECT_DOUBLE_EQ(s.value(v), 0);
    s.changeConstant(c.constraint, -7);
    EXPECT_DOUBLE_EQ(s.value(v), 7);
}
