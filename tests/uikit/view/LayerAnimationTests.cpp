#include "uikit/view/CATransaction.h"

#include <gtest/gtest.h>

namespace {

TEST(CATransaction, DurationIsTheDefaultUnlessSetInsideATransaction) {
    EXPECT_DOUBLE_EQ(CATransaction::animationDuration(), 0.25);
    CATransaction::setAnimationDuration(3); // no transaction: nothing to set
    EXPECT_DOUBLE_EQ(CATransaction::animationDuration(), 0.25);

    CATransaction::begin();
    EXPECT_DOUBLE_EQ(CATransaction::animationDuration(), 0.25);
    CATransaction::setAnimationDuration(0.4);
    CATransaction::begin(); // a nested one starts from the outer one's
    EXPECT_DOUBLE_EQ(CATransaction::animationDuration(), 0.4);
    CATransaction::setAnimationDuration(-1);
    EXPECT_DOUBLE_EQ(CATransaction::animationDuration(), 0);
    CATransaction::commit();
    EXPECT_DOUBLE_EQ(CATransaction::animationDuration(), 0.4);
    CATransaction::commit();
    CATransaction::commit(); // unbalanced: ignored
    EXPECT_DOUBLE_EQ(CATransaction::animationDuration(), 0.25);
}

} // namespace
