#include "tests/app/toolkit_screen/ScreenHost.h"

#include "Extensions/UIColor+Palette.h"
#include "KYFloatingActionButton/KYButton.h"
#include "foundation/archive/NSKeyedArchiver.h"
#include "uikit/controls/UINib.h"
#include "uikit/controls/UIViewAnimation.h"
#include "uikit/view/ViewRendering.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

using ::testing::ElementsAre;

namespace {

const UIColor gold = UIColorWithHex("#BBB54D", 1.0);

// Writes down what the button tells it, with the state the button was in at that moment.
class RecordingOwner : public KYButtonDelegate {
public:
    std::vector<std::string> calls;
    void openKYButton(KYButton& b) override {
        calls.push_back(std::string("open hide=") + (b.isHide ? "1" : "0"));
    }
    void closeKYButton(KYButton& b) override {
        calls.push_back(std::string("close hide=") + (b.isHide ? "1" : "0"));
    }
};

// The turn the layer shows now (the animation's, else the model's).
double shownAngle(const CALayer& layer) {
    const CATransform3D t = layer.presentation && layer.presentation->transform
                                ? *layer.presentation->transform
                                : layer.transform();
    return std::atan2(t.m12, t.m11);
}

bool colorNear(const UIColor& a, const UIColor& b, double tolerance = 0.02) {
    return std::abs(a.red() - b.red()) < tolerance && std::abs(a.green() - b.green()) < tolerance &&
           std::abs(a.blue() - b.blue()) < tolerance && std::abs(a.alpha() - b.alpha()) < tolerance;
}

UIColor pixel(const UIImage& image, CGFloat x, CGFloat y) {
    return image.pixelColor(static_cast<int>(x * image.scale()), static_cast<int>(y * image.scale()));
}

struct Menu {
    cw::test::ScreenHost screen;
    std::shared_ptr<KYButton> button = std::make_shared<KYButton>();
    std::shared_ptr<RecordingOwner> owner = std::make_shared<RecordingOwner>();
    std::vector<std::string> handled;

    explicit Menu(int itemCount = 3, KYButton::openButtonType type = KYButton::openButtonType::popUp) {
        button->setFrame(CGRect(300, 580, 55, 55));
        button->openType = type;
        button->setPlusColor(UIColor::whiteColor());
        button->fabTitleColor = UIColor::whiteColor();
        button->kyDelegate = owner;
        const char* titles[] = {"POST", "CALL", "FEEDBACK"};
        const char* images[] = {"flyout_menu_compose", "flyout_menu_call", "flyout_menu_feedback"};
        for (int i = 0; i < itemCount; ++i) {
            const std::string title = titles[i % 3];
            button->add(UIColor::clearColor(), title, UIImage::named(images[i % 3]),
                        [this, title](KYButtonCells&) { handled.push_back(title); });
        }
        screen.screen()->addSubview(button);
        screen.host().settle();
    }
    CGPoint centre() const { return {327.5, 607.5}; }
    void touchButton() {
        screen.down(centre());
        screen.up(centre());
    }
    std::size_t indexOf(const std::shared_ptr<UIView>& view) const {
        const auto& subs = screen.screen()->subviews();
        return static_cast<std::size_t>(std::find(subs.begin(), subs.end(), view) - subs.begin());
    }
};

} // namespace

TEST(FloatingButton, MadeInCodeItIsAGoldDiscWithABlackPlusAndKeepsItsSize) {
    auto button = std::make_shared<KYButton>();
    EXPECT_EQ(button->frame(), CGRect(0, 0, 55, 55));
    ASSERT_TRUE(button->buttonLayer);
    EXPECT_EQ(button->buttonLayer->backgroundColor, gold);
    EXPECT_EQ(button->orignalColor, gold);
    EXPECT_EQ(button->backgroundColor(), UIColor::clearColor()) << "only the round layer shows the colour";
    EXPECT_EQ(button->buttonLayer->strokeColor, UIColor::blackColor());
    EXPECT_FLOAT_EQ(button->layer()->shadowOpacity, 0.45f);
    EXPECT_EQ(button->layer()->shadowOffset, CGSize(0, 0));
    EXPECT_TRUE(button->isHide);
    EXPECT_EQ(button->openType, KYButton::openButtonType::popUp);

    button->layoutIfNeeded();
    EXPECT_EQ(button->buttonLayer->frame(), CGRect(0, 0, 55, 55));
    auto image = cw::renderView(*button, 2);
    EXPECT_TRUE(colorNear(pixel(*image, 27.5, 8), gold)) << pixel(*image, 27.5, 8);
    EXPECT_TRUE(colorNear(pixel(*image, 27.5, 20), UIColor::blackColor())) << "the plus";
    EXPECT_TRUE(colorNear(pixel(*image, 20, 27.5), UIColor::blackColor()));
    EXPECT_TRUE(colorNear(pixel(*image, 10, 27.5), gold)) << "the plus stops 15 points in";
    EXPECT_LT(pixel(*image, 1, 1).alpha(), 0.05) << "the corners are cut round";

    // The plus follows a new colour at once; the size asked for stays 55 by 55 whatever the frame.
    button->setPlusColor(UIColor::redColor());
    EXPECT_EQ(button->buttonLayer->strokeColor, UIColor::redColor());
    button->setFrame(CGRect(0, 0, 100, 80));
    EXPECT_EQ(button->intrinsicContentSize(), CGSize(55, 55));
    button->layoutIfNeeded();
    EXPECT_EQ(button->buttonLayer->frame(), CGRect(0, 0, 100, 80));
    EXPECT_EQ(button->buttonLayer->path->bounds(), CGRect(15, 15, 70, 50))
        << "the plus is drawn for the new size";

    // From a stored interface: set up in the file's colour once the factory has given it.
    auto coder = NSCoder::empty();
    auto stored = std::make_shared<KYButton>(coder);
    stored->setFrame(CGRect(10, 20, 56, 56));
    stored->setBackgroundColor(UIColor::blueColor());
    EXPECT_FALSE(stored->buttonLayer);
    cw::awakeFromNib(*stored);
    ASSERT_TRUE(stored->buttonLayer);
    EXPECT_EQ(stored->orignalColor, UIColor::blueColor());
    EXPECT_EQ(stored->buttonLayer->backgroundColor, UIColor::blueColor());
    EXPECT_EQ(stored->backgroundColor(), UIColor::clearColor());
    auto layer = stored->buttonLayer;
    stored->awakeFromNib();
    EXPECT_EQ(stored->buttonLayer, layer) << "set up once";
    auto noColour = std::make_shared<KYButton>(coder);
    noColour->awakeFromNib();
    EXPECT_EQ(noColour->orignalColor, gold);
}

TEST(FloatingButton, PopUpOpensTheItemsOneAfterAnotherOverADimmedScreen) {
    Menu menu;
    auto& button = *menu.button;
    cw::Animator::shared().clearHistory();

    menu.screen.down(menu.centre());
    EXPECT_EQ(button.buttonLayer->backgroundColor, whiteWithRate(gold, 0.7)) << "the highlight while down";
    menu.screen.up(menu.centre());
    EXPECT_EQ(button.buttonLayer->backgroundColor, gold);
    EXPECT_FALSE(button.isHide);
    EXPECT_THAT(menu.owner->calls, ElementsAre("open hide=0"));

    // The backdrop covers the screen just below the button, dimming to half-transparent black.
    ASSERT_TRUE(button.overLayView);
    EXPECT_EQ(button.overLayView->superview(), menu.screen.screen());
    EXPECT_EQ(menu.indexOf(button.overLayView) + 1, menu.indexOf(menu.button));
    EXPECT_EQ(button.overLayView->frame(), CGRect(0, 0, 375, 667));
    EXPECT_EQ(button.overLayView->backgroundColor(), UIColor::blackColor().withAlphaComponent(0.5));
    EXPECT_NEAR(std::atan2(button.layer()->transform().m12, button.layer()->transform().m11),
                -std::numbers::pi / 4, 1e-9);

    // Item i one height further up for each, scaled to nothing at first.
    for (std::size_t i = 0; i < 3; ++i) {
        const auto& item = button.items[i];
        EXPECT_EQ(item->superview(), button.overLayView);
        EXPECT_EQ(item->frame(), CGRect(300, 580 - 55.0 * static_cast<double>(i + 1), 55, 55)) << i;
        EXPECT_EQ(item->alpha(), 1);
    }
    const auto& history = cw::Animator::shared().history();
    ASSERT_EQ(history.size(), 4u);
    EXPECT_EQ(history[0]->kind, cw::AnimationRecord::Kind::animation);
    EXPECT_DOUBLE_EQ(history[0]->duration, 0.3);
    for (std::size_t i = 0; i < 3; ++i) {
        const auto& r = *history[i + 1];
        EXPECT_EQ(r.kind, cw::AnimationRecord::Kind::spring);
        EXPECT_DOUBLE_EQ(r.duration, 0.3);
        EXPECT_DOUBLE_EQ(r.delay, 0.15 * static_cast<double>(i));
        EXPECT_EQ(r.dampingRatio, 1.0);
        EXPECT_EQ(r.velocity, 1.0);
        EXPECT_EQ(r.options, 0u);
    }
    // Halfway through the first item's pop, the third has not begun: still nothing.
    menu.screen.host().advance(0.15);
    const auto* third = button.items[2]->layer().get();
    ASSERT_TRUE(third->presentation && third->presentation->transform);
    EXPECT_EQ(third->presentation->transform->m11, 0);
    EXPECT_LT(shownAngle(*button.layer()), 0);
    EXPECT_GT(shownAngle(*button.layer()), -std::numbers::pi / 4);
    menu.screen.host().advance(1);
    EXPECT_FALSE(third->presentation);
    EXPECT_TRUE(CATransform3DIsIdentity(third->transform()));
}

TEST(FloatingButton, ClosingGoesInReverseOrderAndEndsWhenTheNearestItemHasGone) {
    Menu menu;
    auto& button = *menu.button;
    menu.touchButton();
    menu.screen.host().advance(1);
    cw::Animator::shared().clearHistory();
    auto overlay = button.overLayView;

    menu.touchButton();
    EXPECT_THAT(menu.owner->calls, ElementsAre("open hide=0", "close hide=0"))
        << "told when the closing starts";
    EXPECT_FALSE(button.isHide);
    const auto& history = cw::Animator::shared().history();
    ASSERT_EQ(history.size(), 4u);
    EXPECT_DOUBLE_EQ(history[0]->duration, 0.3);
    for (std::size_t k = 0; k < 3; ++k) {
        EXPECT_DOUBLE_EQ(history[k + 1]->duration, 0.2);
        EXPECT_DOUBLE_EQ(history[k + 1]->delay, 0.15 * static_cast<double>(k));
    }
    // The farthest item goes first: at 0.25 s it is gone, the nearest has not started.
    menu.screen.host().advance(0.25);
    EXPECT_FALSE(button.items[2]->layer()->presentation) << "done";
    ASSERT_TRUE(button.items[0]->layer()->presentation);
    EXPECT_EQ(button.items[0]->layer()->presentation->opacity, 1.0f);
    EXPECT_FALSE(button.isHide);
    EXPECT_TRUE(overlay->superview());
    // The nearest item's animation runs from 0.30 to 0.50 s: then the menu is closed.
    menu.screen.host().advance(0.2);
    EXPECT_FALSE(button.isHide);
    menu.screen.host().advance(0.06);
    EXPECT_TRUE(button.isHide);
    EXPECT_FALSE(overlay->superview());
    EXPECT_EQ(button.overLayView, overlay) << "the last overlay is kept until the next opening";
    for (const auto& item : button.items) {
        EXPECT_EQ(item->alpha(), 0);
        EXPECT_TRUE(item->transform().isIdentity());
    }
    EXPECT_NEAR(shownAngle(*button.layer()), 0, 1e-9);

    // A new opening makes a new backdrop.
    menu.touchButton();
    EXPECT_NE(button.overLayView, overlay);
    menu.screen.host().settle();
}

TEST(FloatingButton, EveryOpenTypePlacesItsItemsAndATouchOnTheBackdropCloses) {
    struct Case {
        KYButton::openButtonType type;
        CGFloat yOfItem1; // F.y = 580, h = 55
        CGAffineTransform shown;
    };
    const Case cases[] = {
        {KYButton::openButtonType::slideUp, 580 - 55, CGAffineTransform::makeTranslation(0, -55)},
        {KYButton::openButtonType::slideDown, 580 + 55 + 25, CGAffineTransform::makeTranslation(0, 55)},
        {KYButton::openButtonType::popUp, 580 - 110, CGAffineTransform::identity()},
        {KYButton::openButtonType::popDown, 580 + 110 + 25, CGAffineTransform::identity()},
    };
    for (const auto& c : cases) {
        Menu menu(2, c.type);
        cw::Animator::shared().clearHistory();
        menu.touchButton();
        const auto& item = *menu.button->items[1];
        EXPECT_EQ(item.center().y, c.yOfItem1 + 27.5) << static_cast<int>(c.type);
        EXPECT_EQ(item.transform(), c.shown) << static_cast<int>(c.type);
        const bool slides =
            c.type == KYButton::openButtonType::slideUp || c.type == KYButton::openButtonType::slideDown;
        EXPECT_DOUBLE_EQ(cw::Animator::shared().history().back()->duration, slides ? 0.2 : 0.3);
        menu.screen.host().settle();

        // The backdrop: a touch that ends inside it closes the menu.
        menu.screen.tap({40, 100});
        EXPECT_TRUE(menu.button->isHide);
        EXPECT_FALSE(menu.button->overLayView->superview());
        EXPECT_TRUE(menu.handled.empty());
    }
}

TEST(FloatingButton, AMenuWithoutItemsClosesAtOnceAndFreesTheScreen) {
    Menu menu(0);
    auto& button = *menu.button;
    menu.touchButton();
    EXPECT_FALSE(button.isHide);
    EXPECT_EQ(button.overLayView->backgroundColor(), UIColor::blackColor().withAlphaComponent(0.5));
    menu.screen.host().settle();
    menu.touchButton();
    EXPECT_THAT(menu.owner->calls, ElementsAre("open hide=0", "close hide=0"));
    EXPECT_TRUE(button.isHide);
    EXPECT_FALSE(button.overLayView->superview()) << "no clear backdrop is left over the screen";
    menu.screen.host().settle();

    // The screen takes touches again: a control below where the backdrop was gets its tap.
    auto below = std::make_shared<UIControl>(CGRect(20, 20, 100, 100));
    int taps = 0;
    below->addAction([&](UIControl*) { ++taps; }, UIControlEventTouchUpInside);
    menu.screen.screen()->insertSubview(below, 0);
    menu.screen.tap({50, 50});
    EXPECT_EQ(taps, 1);
}

TEST(FloatingButton, ACancelledTouchRestoresTheColourAndNeitherOpensNorCloses) {
    Menu menu;
    auto& button = *menu.button;
    menu.screen.down(menu.centre());
    EXPECT_EQ(button.buttonLayer->backgroundColor, whiteWithRate(gold, 0.7));
    // A call comes in: the system takes the screen over and the finger's touch is cancelled.
    cw::ApplicationLifecycle::resignActive();
    EXPECT_EQ(button.buttonLayer->backgroundColor, gold);
    EXPECT_TRUE(button.isHide);
    EXPECT_TRUE(menu.owner->calls.empty());
    menu.screen.up(menu.centre());
    EXPECT_TRUE(button.isHide) << "the lifted finger belongs to no touch any more";
    cw::ApplicationLifecycle::becomeActive();

    // The same while open: it stays open.
    menu.touchButton();
    menu.screen.host().settle();
    menu.screen.down(menu.centre());
    cw::ApplicationLifecycle::resignActive();
    EXPECT_FALSE(button.isHide);
    EXPECT_EQ(button.buttonLayer->backgroundColor, gold);
    cw::ApplicationLifecycle::becomeActive();
}

TEST(FloatingButton, ABareButtonStillOpensAndTheOwnerIsHeldWeakly) {
    cw::test::ScreenHost screen;
    auto button = std::make_shared<KYButton>(CGRect(100, 100, 55, 55));
    EXPECT_FALSE(button->buttonLayer);
    EXPECT_FLOAT_EQ(button->layer()->shadowOpacity, 0) << "no shadow";
    EXPECT_FALSE(button->orignalColor);
    button->setPlusColor(UIColor::whiteColor());
    EXPECT_EQ(button->plusColor(), UIColor::whiteColor());
    std::weak_ptr<RecordingOwner> gone;
    {
        auto owner = std::make_shared<RecordingOwner>();
        button->kyDelegate = owner;
        gone = owner;
    }
    EXPECT_TRUE(gone.expired()) << "the button does not keep its owner";
    button->add(UIColor::redColor(), std::string("POST"));
    screen.screen()->addSubview(button);
    screen.host().settle();
    screen.tap({127, 127});
    EXPECT_FALSE(button->isHide);
    screen.tap({127, 127});
    EXPECT_TRUE(button->isHide);

    // Without a superview the menu opens into a backdrop that is in no view tree.
    auto loose = std::make_shared<KYButton>();
    loose->add(UIColor::redColor());
    loose->openButton();
    EXPECT_FALSE(loose->isHide);
    EXPECT_FALSE(loose->overLayView->superview());
    EXPECT_EQ(loose->items[0]->superview(), loose->overLayView);
    screen.host().settle();
    // Closing before any opening ends too.
    auto fresh = std::make_shared<KYButton>();
    fresh->closeButton();
    EXPECT_TRUE(fresh->isHide);
}
