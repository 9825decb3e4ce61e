#include "uikit/controllers/UIWindow.h"
#include "foundation/dispatch/RunLoop.h"
#include "foundation/time/Clock.h"
#include "uikit/controls/UIKitControls.h"

#include <gtest/gtest.h>

namespace {

struct Ranges : UITextFieldDelegate {
    std::vector<NSRange> seen;
    bool shouldChangeCharactersIn(UITextField*, NSRange r, const std::string&) override {
        seen.push_back(r);
        return true;
    }
};

TEST(TextEditing, RangesCountUTF16UnitsAndDeleteTakesWholeCharacters) {
    cw::Keyboard::shared().reset();
    auto field = std::make_shared<UITextField>(CGRect(0, 0, 200, 30));
    auto window = std::make_shared<UIWindow>(CGRect(0, 0, 375, 667));
    window->addSubview(field);
    Ranges ranges;
    field->setDelegate(&ranges);
    ASSERT_TRUE(field->becomeFirstResponder());
    cw::Keyboard::shared().type("é");
    cw::Keyboard::shared().type("\U0001F600"); // outside the basic plane: two units
    EXPECT_EQ(ranges.seen.back(), (NSRange{1, 0}));
    cw::Keyboard::shared().deleteBackward();
    EXPECT_EQ(ranges.seen.back(), (NSRange{1, 2}));
    EXPECT_EQ(field->text(), "é");
    cw::Keyboard::shared().deleteBackward(3); // more than there is: stops at empty
    EXPECT_EQ(field->text(), "");
    field->setDelegate(nullptr);
    field->resignFirstResponder();
    cw::Keyboard::shared().reset();
}

TEST(TextEditing, InputViewTakesTheKeyboardsPlaceAndAFieldChangeMovesTheFrame) {
    cw::Keyboard::shared().reset();
    RunLoop::main().reset();
    auto root = std::make_shared<UIWindow>(CGRect(0, 0, 375, 667));
    auto dateField = std::make_shared<UITextField>(CGRect(0, 0, 200, 30));
    auto picker = std::make_shared<UIDatePicker>(CGRect(0, 0, 375, 260));
    dateField->setInputView(picker);
    auto plain = std::make_shared<UITextField>(CGRect(0, 40, 200, 30));
    root->addSubview(dateField);
    root->addSubview(plain);
    std::vector<CGRect> ends;
    auto token = NotificationCenter::defaultCenter().addObserver(
        UIKeyboardWillChangeFrameNotification, nullptr, nullptr, [&](const Notification& n) {
            ends.push_back(n.value<CGRect>(UIKeyboardFrameEndUserInfoKey).value_or(CGRect()));
        });
    dateField->becomeFirstResponder();
    EXPECT_EQ(picker->frame(), CGRect(0, 407, 375, 260));
    EXPECT_EQ(picker->superview(), cw::Keyboard::shared().hostView());
    plain->becomeFirstResponder();
    ASSERT_EQ(ends.size(), 2u);
    EXPECT_EQ(ends[0], CGRect(0, 407, 375, 260));
    EXPECT_EQ(ends[1], CGRect(0, 451, 375, 216));
    EXPECT_FALSE(picker->superview());
    NotificationCenter::defaultCenter().removeObserver(token);
    root->endEditing(true);
    cw::Keyboard::shared().reset();
    RunLoop::main().reset();
}

TEST(TextEditing, EndEditingAsksUnlessForced) {
    struct Stubborn : UITextFieldDelegate {
        bool textFieldShouldEndEditing(UITextField*) override { return false; }
    } stubborn;
    cw::Keyboard::shared().reset();
    auto root = std::make_shared<UIWindow>(CGRect(0, 0, 375, 667));
    auto field = std::make_shared<UITextField>(CGRect(0, 0, 200, 30));
    root->addSubview(field);
    field->setDelegate(&stubborn);
    field->becomeFirstResponder();
    EXPECT_FALSE(root->endEditing(false));
    EXPECT_TRUE(field->isFirstResponder());
    EXPECT_TRUE(root->endEditing(true));
    EXPECT_FALSE(field->isFirstResponder());
    EXPECT_FALSE(cw::Keyboard::shared().isVisible());
    field->setDelegate(nullptr);
    cw::Keyboard::shared().reset();
}

TEST(TextFieldGeometry, SideViewsAndBordersNarrowTheTextRectangle) {
    UITextField field(CGRect(0, 0, 300, 40));
    EXPECT_EQ(field.textRect(field.bounds()), CGRect(0, 0, 300, 40));
    field.setBorderStyle(UITextBorderStyle::roundedRect);
    EXPECT_EQ(field.textRect(field.bounds()), CGRect(7, 0, 286, 40));
    field.setLeftView(std::make_shared<UIView>(CGRect(0, 0, 30, 20)));
    field.setLeftViewMode(UITextFieldViewMode::always);
    field.setRightView(std::make_shared<UIView>(CGRect(0, 0, 40, 20)));
    field.setRightViewMode(UITextFieldViewMode::whileEditing); // not editing: no room taken
    EXPECT_EQ(field.leftViewRect(field.bounds()), CGRect(0, 10, 30, 20));
    EXPECT_EQ(field.textRect(field.bounds()), CGRect(30, 0, 263, 40));
    field.layoutIfNeeded();
    EXPECT_TRUE(field.rightView()->isHidden());
}

TEST(ButtonLayout, InsetsAndImageBesideTitle) {
    UIButton button;
    button.setTitle("Go", UIControlStateNormal);
    button.titleLabel()->setFont(UIFont::systemFont(17));
    button.setContentEdgeInsets({12, 30, 12, 30});
    const CGSize title = button.titleLabel()->intrinsicContentSize();
    EXPECT_EQ(button.intrinsicContentSize(),
              (CGSize{std::ceil(title.width + 60), std::ceil(title.height + 24)}));
    std::vector<std::uint32_t> red(20 * 20, 0xFFFF0000u);
    auto image = UIImage::fromPixels(20, 20, 1, red.data());
    button.setImage(image, UIControlStateNormal);
    button.setFrame(CGRect(0, 0, 200, 60));
    button.layoutIfNeeded();
    const CGRect img = button.imageView()->frame();
    const CGRect txt = button.titleLabel()->frame();
    EXPECT_EQ(img.maxX(), txt.minX());
    EXPECT_NEAR(img.minX() - 30, 200 - 30 - txt.maxX(), 0.01); // the pair is centred in the content
    EXPECT_NEAR(img.midY(), 30, 0.01);
}

TEST(Touches, HitTestingSkipsHiddenTransparentAndNonInteractiveViews) {
    ManualClock clock;
    auto root = std::make_shared<UIView>(CGRect(0, 0, 300, 300));
    auto below = std::make_shared<UIButton>(CGRect(0, 0, 300, 300));
    auto cover = std::make_shared<UIButton>(CGRect(0, 0, 300, 300));
    root->addSubview(below);
    root->addSubview(cover);
    int belowTaps = 0, coverTaps = 0, repeats = 0;
    below->addAction([&](UIControl*) { ++belowTaps; }, UIControlEventTouchUpInside);
    cover->addAction([&](UIControl*) { ++coverTaps; }, UIControlEventTouchUpInside);
    cover->addAction([&](UIControl*) { ++repeats; }, UIControlEventTouchDownRepeat);
    cw::tap(root, {50, 50});
    cw::tap(root, {50, 50}); // quick second tap: a repeat
    EXPECT_EQ(coverTaps, 2);
    EXPECT_EQ(repeats, 1);
    for (int step = 0; step < 3; ++step) {
        clock.advance(1);
        cover->setHidden(step == 0);
        cover->setAlpha(step == 1 ? 0.0 : 1.0);
        cover->setUserInteractionEnabled(step != 2);
        cw::tap(root, {50, 50});
    }
    EXPECT_EQ(belowTaps, 3);
    EXPECT_EQ(coverTaps, 2);
}

TEST(Animations, WithoutAnimationAndLaterBlocksWin) {
    ManualClock clock;
    RunLoop::main().reset();
    auto view = std::make_shared<UIView>(CGRect(0, 0, 10, 10));
    UIView::animate(1.0, [&] { UIView::performWithoutAnimation([&] { view->setAlpha(0.5); }); });
    EXPECT_FALSE(view->layer()->presentation);
    std::vector<bool> order;
    UIView::animate(
        1.0, [&] { view->setAlpha(0); }, [&](bool) { order.push_back(false); });
    clock.advance(0.5);
    RunLoop::main().runUntilIdle();
    // A second block takes the value over from where it is on screen.
    const float shown = *view->layer()->presentation->opacity;
    UIView::animate(
        0.2, [&] { view->setAlpha(1); }, [&](bool) { order.push_back(true); });
    EXPECT_FLOAT_EQ(*view->layer()->presentation->opacity, shown);
    clock.advance(0.3);
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(order, (std::vector<bool>{true}));
    clock.advance(1);
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(order, (std::vector<bool>{true, false}));
    EXPECT_FALSE(view->layer()->presentation);
    EXPECT_EQ(view->alpha(), 1);
    // A cross-dissolve fades the view's new content in.
    UIView::transition(view, 0.3, UIViewAnimationOptionTransitionCrossDissolve, [] {});
    ASSERT_TRUE(view->layer()->presentation);
    EXPECT_EQ(*view->layer()->presentation->opacity, 0.0f);
    cw::Animator::shared().finishAll();
    EXPECT_FALSE(view->layer()->presentation);
}

TEST(StackView, EqualSpacingAndMargins) {
    auto a = std::make_shared<UIView>(CGRect(0, 0, 50, 20));
    auto b = std::make_shared<UIView>(CGRect(0, 0, 50, 20));
    auto c = std::make_shared<UIView>(CGRect(0, 0, 50, 20));
    UIStackView stack({a, b, c});
    stack.setDistribution(UIStackViewDistribution::equalSpacing);
    stack.setLayoutMarginsRelativeArrangement(true);
    stack.setLayoutMargins({0, 10, 0, 10});
    stack.setFrame(CGRect(0, 0, 270, 20));
    stack.layoutIfNeeded();
    EXPECT_EQ(a->frame().origin.x, 10);
    EXPECT_EQ(b->frame().origin.x, 110);
    EXPECT_EQ(c->frame().maxX(), 260);
    EXPECT_EQ(stack.intrinsicContentSize(), (CGSize{170, 20}));
}

} // namespace

namespace {

// An accessory laid out by constraints, as an input accessory container is: it docks all the same.
class PinnedAccessory : public UIView {
public:
    // Anchors need the view to be a shared object: the constraints come once it is one.
    static std::shared_ptr<PinnedAccessory> make() {
        auto v = std::make_shared<PinnedAccessory>();
        v->setTranslatesAutoresizingMaskIntoConstraints(false);
        v->content = std::make_shared<UIView>();
        v->content->setTranslatesAutoresizingMaskIntoConstraints(false);
        v->addSubview(v->content);
        NSLayoutConstraint::activate({v->content->leadingAnchor().constraintEqualTo(v->leadingAnchor()),
                                      v->content->trailingAnchor().constraintEqualTo(v->trailingAnchor()),
                                      v->content->topAnchor().constraintEqualTo(v->topAnchor()),
                                      v->content->heightAnchor().constraintEqualToConstant(50)});
        return v;
    }
    CGSize intrinsicContentSize() const override { return {UIViewNoIntrinsicMetric, 64}; }
    std::shared_ptr<UIView> content;
};

TEST(TextEditing, AccessoryLaidOutByConstraintsDocksAboveTheKeyboard) {
    cw::Keyboard::shared().reset();
    auto field = std::make_shared<UITextField>(CGRect(0, 0, 200, 30));
    auto window = std::make_shared<UIWindow>(CGRect(0, 0, 375, 667));
    window->addSubview(field);
    auto accessory = PinnedAccessory::make();
    field->setInputAccessoryView(accessory);
    ASSERT_TRUE(field->becomeFirstResponder());
    cw::Keyboard::shared().hostView()->layoutIfNeeded();
    EXPECT_EQ(accessory->frame(), CGRect(0, 667 - 216 - 64, 375, 64));
    EXPECT_EQ(accessory->content->frame(), CGRect(0, 0, 375, 50));
    field->resignFirstResponder();
    cw::Keyboard::shared().reset();
    EXPECT_FALSE(accessory->superview());
}

} // namespace
