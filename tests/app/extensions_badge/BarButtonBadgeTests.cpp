#include "Extensions/UIBarButtonItem+Badge.h"
#include "Extensions/UIColor+Palette.h"
#include "host/HeadlessHost.h"
#include "uikit/controllers/UINavigationController.h"

#include <gtest/gtest.h>

namespace {

class ArticleApp : public UIApplicationDelegate {
public:
    bool didFinishLaunchingWithOptions(UIApplication&, const LaunchOptions&) override {
        window_ = std::make_shared<UIWindow>();
        screen = std::make_shared<UIViewController>();
        screen->setTitle("Article");
        navigation = UINavigationController::withRoot(screen);
        window_->setRootViewController(navigation);
        window_->makeKeyAndVisible();
        return true;
    }
    std::shared_ptr<UIWindow> window() const override { return window_; }
    UIViewControllerPtr screen;
    std::shared_ptr<UINavigationController> navigation;

private:
    std::shared_ptr<UIWindow> window_;
};

// The badges on a view: its plain shape sublayers.
std::vector<std::shared_ptr<CAShapeLayer>> badgesOn(const UIView& view) {
    std::vector<std::shared_ptr<CAShapeLayer>> found;
    for (const auto& layer : view.layer()->sublayers())
        if (auto shape = std::dynamic_pointer_cast<CAShapeLayer>(layer)) found.push_back(shape);
    return found;
}

std::string badgeText(const UIBarButtonItem& item) {
    auto badge = badgeLayer(item);
    if (!badge || badge->sublayers().empty()) return "";
    auto text = std::dynamic_pointer_cast<CATextLayer>(badge->sublayers()[0]);
    return text ? text->string : "";
}

class BarButtonBadgeTest : public ::testing::Test {
protected:
    void SetUp() override { host.launch(app); }

    cw::HeadlessHost host;
    std::shared_ptr<ArticleApp> app = std::make_shared<ArticleApp>();
    const UIColor green = UIColorPalette::cwy_mountainMeadow();
};

TEST_F(BarButtonBadgeTest, AppearsOnceTheItemIsInABarAndChangesItsNumber) {
    auto comments = std::make_shared<UIBarButtonItem>("Comments", UIBarButtonItemStyle::plain);
    comments->width = 44;
    // Not in a bar yet: no view, nothing added, nothing remembered.
    EXPECT_FALSE(comments->view());
    addOrUpdateBadge(*comments, 3, green);
    EXPECT_FALSE(badgeLayer(*comments));

    app->screen->navigationItem()->setRightBarButtonItem(comments);
    host.settle();
    auto view = comments->view();
    ASSERT_TRUE(view);
    EXPECT_TRUE(view->isDescendant(app->navigation->navigationBar().get()));
    EXPECT_EQ(view->frame().size, (CGSize{44, 44}));

    addOrUpdateBadge(*comments, 12, green);
    addOrUpdateBadge(*comments, 0, green);
    ASSERT_EQ(badgesOn(*view).size(), 1u);
    EXPECT_EQ(badgesOn(*view)[0], badgeLayer(*comments));
    EXPECT_EQ(badgeText(*comments), "0");
    auto text = std::dynamic_pointer_cast<CATextLayer>(badgeLayer(*comments)->sublayers().at(0));
    EXPECT_NEAR(text->frame().origin.x, 11, 1e-9);
    EXPECT_NEAR(text->frame().origin.y, 14.6667, 1e-4);
    EXPECT_EQ(text->frame().size, (CGSize{22, 22}));
    EXPECT_EQ(text->fontSize, 11);
    EXPECT_EQ(text->alignmentMode, CATextLayerAlignmentMode::center);
    EXPECT_EQ(text->foregroundColor, green);
    EXPECT_EQ(text->contentsScale, 2);
    EXPECT_FALSE(badgeLayer(*comments)->fillColor);

    updateBadge(*comments, -4);
    EXPECT_EQ(badgeText(*comments), "-4");
}

TEST_F(BarButtonBadgeTest, SurvivesTheBarRebuildingItsItemsAndComesBackAfterRemoval) {
    auto comments = std::make_shared<UIBarButtonItem>("Comments", UIBarButtonItemStyle::plain);
    app->screen->navigationItem()->setRightBarButtonItem(comments);
    host.settle();
    addOrUpdateBadge(*comments, 5, green);
    auto view = comments->view();

    // A new tint rebuilds the bar's buttons; the item keeps its view, with the badge.
    app->navigation->navigationBar()->setTintColor(UIColor::redColor());
    host.settle();
    EXPECT_EQ(comments->view(), view);
    EXPECT_TRUE(view->isDescendant(app->navigation->navigationBar().get()));
    ASSERT_EQ(badgesOn(*view).size(), 1u);
    EXPECT_EQ(badgeText(*comments), "5");
    // So do other rebuilds: another item beside it.
    app->screen->navigationItem()->setLeftBarButtonItem(std::make_shared<UIBarButtonItem>("Close", UIBarButtonItemStyle::plain));
    host.settle();
    EXPECT_EQ(comments->view(), view);
    EXPECT_EQ(badgesOn(*view).size(), 1u);

    removeBadge(*comments);
    EXPECT_TRUE(badgesOn(*view).empty());
    EXPECT_FALSE(badgeLayer(*comments));
    updateBadge(*comments, 9); // nothing to update
    EXPECT_TRUE(badgesOn(*view).empty());
    addOrUpdateBadge(*comments, 7, green);
    ASSERT_EQ(badgesOn(*view).size(), 1u);
    EXPECT_EQ(badgeText(*comments), "7");
}

} // namespace
