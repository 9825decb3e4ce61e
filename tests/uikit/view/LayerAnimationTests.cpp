#include "foundation/dispatch/RunLoop.h"
#include "foundation/time/Clock.h"
#include "uikit/controls/UIViewAnimation.h"
#include "uikit/view/CATransaction.h"
#include "uikit/view/UILabel.h"

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

class LayerTransitions : public ::testing::Test {
protected:
    void SetUp() override {
        RunLoop::main().reset();
        cw::Animator::shared().clearHistory();
    }
    void TearDown() override {
        cw::Animator::shared().finishAll();
        RunLoop::main().reset();
    }
    void advance(double seconds) {
        clock.advance(seconds);
        RunLoop::main().runUntilIdle();
    }
    ManualClock clock;
};

TEST_F(LayerTransitions, ATransitionStaysOnItsLayerByKeyUntilItsTimeHasPassed) {
    auto label = std::make_shared<UILabel>();
    CATransition fade;
    fade.type = CATransitionType::fade;
    fade.subtype = CATransitionSubtype::fromRight;
    fade.duration = 0.4;
    label->layer()->add(fade, "fadeText");
    fade.duration = 9; // the layer keeps its own copy

    auto kept = std::dynamic_pointer_cast<const CATransition>(label->layer()->animation("fadeText"));
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->type, CATransitionType::fade);
    EXPECT_EQ(kept->subtype, CATransitionSubtype::fromRight);
    EXPECT_DOUBLE_EQ(kept->duration, 0.4);
    EXPECT_EQ(label->layer()->animationKeys(), std::vector<std::string>{"fadeText"});

    const auto& record = *cw::Animator::shared().history().back();
    EXPECT_EQ(record.kind, cw::AnimationRecord::Kind::layerTransition);
    EXPECT_DOUBLE_EQ(record.duration, 0.4);
    EXPECT_EQ(record.transitionType, "fade");
    EXPECT_EQ(record.transitionSubtype, "fromRight");
    EXPECT_EQ(record.layerKey, "fadeText");
    EXPECT_EQ(record.options & (3u << 16), UIViewAnimationOptionCurveLinear);

    advance(0.39);
    EXPECT_TRUE(label->layer()->animation("fadeText"));
    advance(0.02);
    EXPECT_FALSE(label->layer()->animation("fadeText"));
    EXPECT_TRUE(record.completed);
}

TEST_F(LayerTransitions, DurationTimingReplacementAndRemoval) {
    auto layer = std::make_shared<CALayer>();
    CATransition push;
    push.type = CATransitionType::push;
    push.timingFunction = CAMediaTimingFunctionName::easeInEaseOut;
    CATransaction::begin();
    CATransaction::setAnimationDuration(1.0);
    layer->add(push, "title"); // no duration of its own: the transaction's
    CATransaction::commit();
    const auto& first = *cw::Animator::shared().history().back();
    EXPECT_DOUBLE_EQ(first.duration, 1.0);
    EXPECT_EQ(first.transitionType, "push");
    EXPECT_EQ(first.transitionSubtype, "");
    EXPECT_EQ(first.timingFunction, "easeInEaseOut");
    EXPECT_EQ(first.options & (3u << 16), UIViewAnimationOptionCurveEaseInOut);

    // One added under the same key replaces it; the first one's end leaves the second in place.
    advance(0.5);
    CATransition reveal;
    reveal.type = CATransitionType::reveal;
    layer->add(reveal, "title");
    EXPECT_DOUBLE_EQ(cw::Animator::shared().history().back()->duration, 0.25);
    advance(0.1);
    auto now = std::dynamic_pointer_cast<const CATransition>(layer->animation("title"));
    ASSERT_TRUE(now);
    EXPECT_EQ(now->type, CATransitionType::reveal);
    advance(0.2);
    EXPECT_FALSE(layer->animation("title"));

    // Kept after finishing when asked, until removed.
    CATransition lasting;
    lasting.isRemovedOnCompletion = false;
    layer->add(lasting, "lasting");
    layer->add(lasting, "other");
    advance(1);
    EXPECT_EQ(layer->animationKeys(), (std::vector<std::string>{"lasting", "other"}));
    layer->removeAnimation("lasting");
    EXPECT_EQ(layer->animationKeys(), std::vector<std::string>{"other"});
    layer->removeAllAnimations();
    EXPECT_TRUE(layer->animationKeys().empty());
}

} // namespace
