#include "host/HeadlessHost.h"
#include "kits/banners/GSMessage.h"
#include "uikit/controllers/UINavigationController.h"

#include <gtest/gtest.h>

namespace {

class ScreenApp : public UIApplicationDelegate {
public:
    bool didFinishLaunchingWithOptions(UIApplication&, const LaunchOptions&) override {
        window_ = std::make_shared<UIWindow>();
        screen = std::make_shared<UIViewController>();
        screen->setTitle("Sign in");
        window_->setRootViewController(UINavigationController::withRoot(screen));
        window_->makeKeyAndVisible();
        return true;
    }
    std::shared_ptr<UIWindow> window() const override { return window_; }
    UIViewControllerPtr screen;

private:
    std::shared_ptr<UIWindow> window_;
};

class BannerTest : public ::testing::Test {
protected:
    void SetUp() override {
        GSMessage::clearHistory();
        host.launch(app);
    }
    void TearDown() override { GSMessage::clearHistory(); }
    UIViewController& screen() { return *app->screen; }

    cw::HeadlessHost host;
    std::shared_ptr<ScreenApp> app = std::make_shared<ScreenApp>();
};

TEST_F(BannerTest, ShowsBelowTheNavigationBarInItsStyleAndHidesAfterThreeSeconds) {
    showMessage(screen(), "Enter your credentials to login", GSMessageType::error);
    host.advance(GSMessage::kAnimationDuration); // slid in
    auto banner = GSMessage::shown(screen());
    ASSERT_TRUE(banner);
    EXPECT_TRUE(host.isShowing("Enter your credentials to login"));
    EXPECT_EQ(banner->frame(), (CGRect{0, 64, 375, 44})); // status bar 20 + navigation bar 44
    EXPECT_EQ(banner->backgroundColor(), GSMessage::styleColor(GSMessageType::error));
    EXPECT_NE(GSMessage::styleColor(GSMessageType::success), GSMessage::styleColor(GSMessageType::warning));

    host.advance(2.9 - GSMessage::kAnimationDuration);
    EXPECT_TRUE(GSMessage::shown(screen()));
    host.advance(0.15);
    EXPECT_TRUE(banner->isHiding());
    host.advance(GSMessage::kAnimationDuration); // slid away
    EXPECT_FALSE(host.isShowing("Enter your credentials to login"));
    EXPECT_FALSE(GSMessage::shown(screen()));
    EXPECT_FALSE(banner->superview());

    ASSERT_EQ(GSMessage::history().size(), 1u);
    EXPECT_EQ(GSMessage::history()[0].text, "Enter your credentials to login");
    EXPECT_EQ(GSMessage::history()[0].type, GSMessageType::error);
    EXPECT_EQ(GSMessage::history()[0].controller.lock(), app->screen);
}

TEST_F(BannerTest, OptionsGiveTheDelayAndAsManyLinesAsTheTextNeeds) {
    const std::string message =
        "Your password was reset. We sent a temporary password to your e-mail address; use it to sign "
        "in and choose a new one in My Account.";
    showMessage(screen(), message, GSMessageType::warning,
                {GSMessageOption::autoHideDelay{5}, GSMessageOption::textNumberOfLines{0}});
    host.advance(GSMessage::kAnimationDuration);
    auto banner = GSMessage::shown(screen());
    ASSERT_TRUE(banner);
    EXPECT_EQ(banner->textLabel()->numberOfLines(), GSMessage::kMostNumberOfLines);
    // Tall enough for every line, and the label is not cut.
    EXPECT_GT(banner->frame().size.height, GSMessage::kMinimumHeight);
    const CGSize needed = banner->textLabel()->sizeThatFits({banner->textLabel()->bounds().size.width, 10000});
    EXPECT_LE(needed.height, banner->textLabel()->bounds().size.height);

    host.advance(4.9 - GSMessage::kAnimationDuration);
    EXPECT_TRUE(GSMessage::shown(screen()));
    host.advance(0.15 + GSMessage::kAnimationDuration);
    EXPECT_FALSE(GSMessage::shown(screen()));
    EXPECT_EQ(GSMessage::history().at(0).settings.autoHideDelay, 5);
}

// The lines a label of the banner's width and font needs for the whole text.
CGSize wholeTextSize(const UILabel& shown) {
    UILabel whole;
    whole.setFont(shown.font());
    whole.setText(shown.text());
    whole.setNumberOfLines(0);
    return whole.sizeThatFits({shown.bounds().size.width, 10000});
}

TEST_F(BannerTest, AMessageTooLongForOneLineShowsWholeOnUpToFourLinesAndNoBannerCoversTheScreen) {
    const std::string invitation =
        "There was an issue processing your invitation. Please check the information and try again.";
    showMessage(screen(), invitation, GSMessageType::error);
    host.advance(GSMessage::kAnimationDuration);
    auto banner = GSMessage::shown(screen());
    ASSERT_TRUE(banner);
    const UILabel& label = *banner->textLabel();
    const CGSize whole = wholeTextSize(label);
    const CGFloat oneLine = label.font().lineHeight();
    ASSERT_GT(whole.height, 1.5 * oneLine) << "the message needs more than one line at this width";
    // Every line of it is laid out and has room in the banner: nothing is cut.
    EXPECT_EQ(label.sizeThatFits({label.bounds().size.width, 10000}).height, whole.height);
    EXPECT_GE(label.bounds().size.height, whole.height);
    EXPECT_GT(banner->frame().size.height, GSMessage::kMinimumHeight);
    // It still hides after the default time.
    host.advance(3.1 - GSMessage::kAnimationDuration);
    EXPECT_TRUE(banner->isHiding());

    // A short one keeps the one-line strip.
    showMessage(screen(), "Successfully saved.", GSMessageType::success);
    host.advance(GSMessage::kAnimationDuration);
    EXPECT_EQ(GSMessage::shown(screen())->frame().size.height, GSMessage::kMinimumHeight);

    // A text that would need more than four lines stops at four, the fourth ending in an ellipsis.
    std::string essay;
    for (int i = 0; i < 12; ++i)
        essay += "Your baby's care team will call you about the next step. ";
    showMessage(screen(), essay, GSMessageType::warning);
    host.advance(GSMessage::kAnimationDuration);
    const UILabel& cut = *GSMessage::shown(screen())->textLabel();
    const CGFloat fourLines = cut.sizeThatFits({cut.bounds().size.width, 10000}).height;
    EXPECT_LT(fourLines, wholeTextSize(cut).height);
    EXPECT_NEAR(fourLines, 4 * oneLine, oneLine / 2);
    EXPECT_EQ(cut.lineBreakMode(), NSLineBreakMode::byTruncatingTail);

    // A caller that sets a line count keeps it.
    showMessage(screen(), invitation, GSMessageType::error, {GSMessageOption::textNumberOfLines{1}});
    host.advance(GSMessage::kAnimationDuration);
    EXPECT_EQ(GSMessage::shown(screen())->textLabel()->numberOfLines(), 1);
    EXPECT_EQ(GSMessage::shown(screen())->frame().size.height, GSMessage::kMinimumHeight);

    // A server's text of ten thousand characters, given as many lines as it needs or a hundred,
    // stops at the most lines a banner shows, the last ending in an ellipsis: the screen stays in view.
    std::string flood;
    while (flood.size() < 10'000)
        flood += "The account could not be created. ";
    flood.resize(10'000);
    for (const long asked : {0L, 100L}) {
        showMessage(screen(), flood, GSMessageType::error, {GSMessageOption::textNumberOfLines{asked}});
        host.advance(GSMessage::kAnimationDuration);
        auto shown = GSMessage::shown(screen());
        ASSERT_TRUE(shown);
        const UILabel& label = *shown->textLabel();
        const CGFloat height = label.sizeThatFits({label.bounds().size.width, 10000}).height;
        EXPECT_NEAR(height, GSMessage::kMostNumberOfLines * oneLine, oneLine / 2) << asked;
        EXPECT_EQ(label.lineBreakMode(), NSLineBreakMode::byTruncatingTail);
        EXPECT_LE(shown->frame().size.height, height + 2 * 12 + 1) << asked;
        EXPECT_LT(shown->frame().maxY(), host.window()->bounds().size.height / 2) << asked;
    }
}

TEST_F(BannerTest, ANewBannerReplacesTheShownOneAndATapHidesIt) {
    showMessage(screen(), "Successfully saved.", GSMessageType::success);
    host.settle();
    auto first = GSMessage::shown(screen());
    showMessage(screen(), "Only two pictures are allowed per post", GSMessageType::warning, {GSMessageOption::autoHide{false}});
    host.settle();
    EXPECT_FALSE(first->superview());
    EXPECT_FALSE(host.isShowing("Successfully saved."));
    ASSERT_TRUE(host.isShowing("Only two pictures are allowed per post"));
    int banners = 0;
    for (const auto& subview : screen().view()->subviews())
        banners += std::dynamic_pointer_cast<GSMessage>(subview) != nullptr;
    EXPECT_EQ(banners, 1);

    host.advance(30); // no auto-hide
    ASSERT_TRUE(host.isShowing("Only two pictures are allowed per post"));
    host.tapText("Only two pictures are allowed per post");
    host.settle();
    EXPECT_FALSE(host.isShowing("Only two pictures are allowed per post"));

    showMessage(screen(), "Stays", GSMessageType::error, {GSMessageOption::hideOnTap{false}});
    host.settle();
    host.tapText("Stays");
    host.settle();
    EXPECT_TRUE(host.isShowing("Stays"));
    EXPECT_EQ(GSMessage::history().size(), 3u);
}

} // namespace
