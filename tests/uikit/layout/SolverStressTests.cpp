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

// A window's solver lives as long as the application while screens of views come and go: boxes
// made, solved, taken out and their variables given back, round after round beside a box that
// stays. Every round solves as the first did, and the solver holds no more than one round's worth.
TEST(SolverStress, BoxesComingAndGoingAllDayKeepTheSolverItsSize) {
    Solver s;
    const Variable stayX = s.newVariable(), stayW = s.newVariable();
    s.addConstraint(Expression(stayX).add(Expression(-8)), Relation::equal, 1000);
    s.addConstraint(Expression(stayW).add(Expression(-300)), Relation::equal, 1000);
    s.addConstraint(Expression(stayW).add(Expression(-500)), Relation::equal, 250);
    const std::size_t rowsOfTheBoxThatStays = s.rowCount();
    for (int round = 0; round < 2000; ++round) {
        constexpr int n = 6;
        std::vector<Variable> x(n), w(n);
        std::vector<ConstraintId> made;
        for (int i = 0; i < n; ++i) {
            x[i] = s.newVariable();
            w[i] = s.newVariable();
        }
        auto add = [&](Expression e, Relation r, double priority) {
            const AddResult result = s.addConstraint(e, r, priority);
            ASSERT_TRUE(result.ok());
            made.push_back(result.constraint);
        };
        for (int i = 0; i < n; ++i) {
            // Each box after the one before it (the first after the box that stays), at least 30
            // wide and then exactly 40 + i (a row with no obvious subject), and wishing to be
            // wider and further left than it may.
            Expression gap(x[i]);
            gap.add(i == 0 ? stayX : x[i - 1], -1).add(i == 0 ? stayW : w[i - 1], -1);
            gap.constant = -4;
            ASSERT_NO_FATAL_FAILURE(add(gap, Relation::equal, 1000));
            ASSERT_NO_FATAL_FAILURE(
                add(Expression(w[i]).add(Expression(-30)), Relation::greaterOrEqual, 1000));
            ASSERT_NO_FATAL_FAILURE(
                add(Expression(w[i]).add(Expression(-(40.0 + i))), Relation::equal, 1000));
            ASSERT_NO_FATAL_FAILURE(add(Expression(w[i]).add(Expression(-1000)), Relation::equal, 500));
            ASSERT_NO_FATAL_FAILURE(add(Expression(x[i]), Relation::lessOrEqual, 10));
        }
        double left = 8 + 300 + 4;
        for (int i = 0; i < n; ++i) {
            ASSERT_NEAR(s.value(x[i]), left, 1e-6) << "round " << round << ", box " << i;
            ASSERT_NEAR(s.value(w[i]), 40.0 + i, 1e-6) << "round " << round << ", box " << i;
            left += 40.0 + i + 4;
        }
        for (ConstraintId c : made)
            s.removeConstraint(c);
        std::vector<Variable> gone = x;
        gone.insert(gone.end(), w.begin(), w.end());
        s.releaseVariables(gone);
        ASSERT_EQ(s.rowCount(), rowsOfTheBoxThatStays) << "round " << round;
    }
    EXPECT_NEAR(s.value(stayX), 8, 1e-9);
    EXPECT_NEAR(s.value(stayW), 300, 1e-9);
    EXPECT_EQ(s.constraintCount(), 3u);
    // A round's variables and its constraints' own symbols number about a hundred.
    EXPECT_LT(s.symbolCount(), 200u);
}
