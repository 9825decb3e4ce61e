#include "uikit/layout/Solver.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace cw::layout;

namespace {

Expression minus(Variable a, Variable b, double constant = 0) {
    Expression e(a);
    e.add(b, -1);
    e.constant = constant;
    return e;
}

} // namespace

TEST(Solver, RequiredEqualitiesAndInequalitiesChain) {
    Solver s;
    Variable left = s.newVariable(), width = s.newVariable(), right = s.newVariable();
    // right == left + width; left == 10; width >= 100; right <= 300; width == 500 @ 500.
    Expression e(right);
    e.add(left, -1).add(width, -1);
    ASSERT_TRUE(s.addConstraint(e, Relation::equal, 1000).ok());
    ASSERT_TRUE(s.addConstraint(Expression(left, 1).add(Expression(-10)), Relation::equal, 1000).ok());
    ASSERT_TRUE(
        s.addConstraint(Expression(width).add(Expression(-100)), Relation::greaterOrEqual, 1000).ok());
    ASSERT_TRUE(s.addConstraint(Expression(right).add(Expression(-300)), Relation::lessOrEqual, 1000).ok());
    ASSERT_TRUE(s.addConstraint(Expression(width).add(Expression(-500)), Relation::equal, 500).ok());
    EXPECT_DOUBLE_EQ(s.value(left), 10);
    EXPECT_DOUBLE_EQ(s.value(width), 290);
    EXPECT_DOUBLE_EQ(s.value(right), 300);
}

TEST(Solver, HigherPriorityWinsAndRemovalRestoresTheLowerOne) {
    Solver s;
    Variable x = s.newVariable();
    auto weak = s.addConstraint(Expression(x).add(Expression(-10)), Relation::equal, 250);
    auto strong = s.addConstraint(Expression(x).add(Expression(-40)), Relation::equal, 251);
    ASSERT_TRUE(weak.ok() && strong.ok());
    EXPECT_NEAR(s.value(x), 40, 1e-9);
    s.removeConstraint(strong.constraint);
    EXPECT_NEAR(s.value(x), 10, 1e-9);
    EXPECT_EQ(s.constraintCount(), 1u);
    // Two close priorities against each other over a long distance: the higher still wins.
    auto p999 = s.addConstraint(Expression(x).add(Expression(-1000)), Relation::equal, 999);
    auto p998 = s.addConstraint(Expression(x), Relation::equal, 998);
    ASSERT_TRUE(p999.ok() && p998.ok());
    EXPECT_NEAR(s.value(x), 1000, 1e-9);
}

TEST(Solver, ConflictingRequiredConstraintIsRefusedWithItsConflictSetAndSolverStaysUsable) {
    Solver s;
    Variable a = s.newVariable(), b = s.newVariable();
    ASSERT_TRUE(s.addConstraint(Expression(a).add(Expression(-10)), Relation::equal, 1000, 1).ok());
    ASSERT_TRUE(s.addConstraint(minus(b, a, -5), Relation::equal, 1000, 2).ok()); // b = a + 5
    ASSERT_TRUE(s.addConstraint(Expression(b).add(Expression(-100)), Relation::lessOrEqual, 1000, 3).ok());
    // b == 50 contradicts a == 10 and b == a + 5 (dummy-only row).
    AddResult bad = s.addConstraint(Expression(b).add(Expression(-50)), Relation::equal, 1000, 4);
    EXPECT_FALSE(bad.ok());
    EXPECT_EQ(bad.conflictingTags.size(), 2u);
    // b >= 200 contradicts b being 15 (artificial-variable path); b <= 100 is slack and plays no part.
    AddResult bad2 = s.addConstraint(Expression(b).add(Expression(-200)), Relation::greaterOrEqual, 1000, 5);
    EXPECT_FALSE(bad2.ok());
    std::sort(bad2.conflictingTags.begin(), bad2.conflictingTags.end());
    EXPECT_EQ(bad2.conflictingTags, (std::vector<std::uint64_t>{1, 2}));
    // With a free variable, an inequality against an inequality.
    Variable c = s.newVariable();
    ASSERT_TRUE(s.addConstraint(Expression(c).add(Expression(-100)), Relation::lessOrEqual, 1000, 7).ok());
    AddResult bad3 = s.addConstraint(Expression(c).add(Expression(-200)), Relation::greaterOrEqual, 1000, 8);
    EXPECT_FALSE(bad3.ok());
    EXPECT_EQ(bad3.conflictingTags, (std::vector<std::uint64_t>{7}));
    EXPECT_DOUBLE_EQ(s.value(b), 15);
    // An identical required constraint again is redundant and accepted.
    EXPECT_TRUE(s.addConstraint(Expression(a).add(Expression(-10)), Relation::equal, 1000, 6).ok());
    EXPECT_EQ(s.constraintCount(), 5u);
}

TEST(Solver, ConstantChangesReSolveInPlace) {
    Solver s;
    Variable x = s.newVariable(), w = s.newVariable(), r = s.newVariable();
    auto left = s.addConstraint(Expression(x).add(Expression(-20)), Relation::equal, 1000);
    auto width = s.addConstraint(Expression(w).add(Expression(-100)), Relation::equal, 1000);
    Expression e(r);
    e.add(x, -1).add(w, -1);
    ASSERT_TRUE(s.addConstraint(e, Relation::equal, 1000).ok());
    auto cap = s.addConstraint(Expression(r).add(Expression(-400)), Relation::lessOrEqual, 1000, 9);
    EXPECT_DOUBLE_EQ(s.value(r), 120);
    EXPECT_TRUE(s.changeConstant(left.constraint, -50).ok());
    EXPECT_DOUBLE_EQ(s.value(r), 150);
    EXPECT_TRUE(s.changeConstant(width.constraint, -300).ok());
    EXPECT_DOUBLE_EQ(s.value(r), 350);
    // Past the cap: refused, reported, and the width constraint leaves the solver.
    AddResult over = s.changeConstant(width.constraint, -500);
    EXPECT_FALSE(over.ok());
    EXPECT_FALSE(s.hasConstraint(width.constraint));
    EXPECT_TRUE(s.hasConstraint(cap.constraint));
    EXPECT_LE(s.value(r), 400 + 1e-9);
    EXPECT_DOUBLE_EQ(s.value(x), 50);
}

TEST(Solver, EditVariablesFollowSuggestionsWithinRequiredBounds) {
    Solver s;
    Variable w = s.newVariable(), h = s.newVariable();
    ASSERT_TRUE(s.addConstraint(minus(h, w), Relation::equal, 1000).ok()); // h == w / 2 below
    s.addConstraint(Expression(w).add(Expression(-300)), Relation::lessOrEqual, 1000);
    s.addEditVariable(w, 999);
    for (double v : {10.0, 120.0, 280.0, 800.0, 40.0}) {
        s.suggestValue(w, v);
        EXPECT_DOUBLE_EQ(s.value(w), std::min(v, 300.0));
        EXPECT_DOUBLE_EQ(s.value(h), s.value(w));
    }
    s.removeEditVariable(w);
    EXPECT_FALSE(s.hasEditVariable(w));
}
