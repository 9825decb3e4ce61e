// The side menu on a small phone, a middle one and a tall one, against the embedded demo server: as
// it opens, its footer, the logo and the build, is seen whole above the tab bar, nothing over it and
// nothing cutting it off; every row is seen whole above the footer and the tab bar, at once or once
// the menu is scrolled to it.

#include "App/SideNavigationFooterView.h"
#include "App/SideNavigationViewController.h"
#include "tests/app/feed/FeedDemoFixture.h"
#include "uikit/controllers/UITabBarController.h"
#include "uikit/controls/UITableView.h"

#include <gtest/gtest.h>

namespace cw::test {
namespace {

template <class T> std::shared_ptr<T> findView(const std::shared_ptr<UIView>& root) {
    if (auto found = std::dynamic_pointer_cast<T>(root)) return found;
    for (const auto& sub : root->subviews())
        if (auto found = findView<T>(sub)) return found;
    return nullptr;
}

class SideMenu : public FeedScreenTest, public ::testing::WithParamInterface<CGSize> {
protected:
    void SetUp() override {
        screen = GetParam();
        FeedScreenTest::SetUp();
        demo->answerFeedQuestions();
    }
    // Where the tab bar begins, in the window.
    CGFloat tabBarTop() const {
        auto bar = findView<UITabBar>(host->window());
        return bar ? bar->convert(bar->bounds(), nullptr).minY() : screen.height;
    }
    // Whether `view` is drawn whole above the tab bar: shown, not cut off by a view that holds it
    // (the menu's list ends where it ends), with nothing over it where a finger takes it.
    ::testing::AssertionResult wholeAboveTheTabBar(const UIView& view) const {
        const CGRect frame = view.convert(view.bounds(), nullptr);
        if (!isVisibleOnScreen(view)) return ::testing::AssertionFailure() << describeView(view) << " is not shown";
        if (frame.maxY() > tabBarTop() + 0.5)
            return ::testing::AssertionFailure()
                   << describeView(view) << " reaches " << frame.maxY() << ", the tab bar begins at " << tabBarTop();
        for (const UIView* holder = view.superviewPointer(); holder; holder = holder->superviewPointer()) {
            if (!holder->clipsToBounds()) continue;
            const CGRect shown = holder->convert(holder->bounds(), nullptr);
            if (frame.minY() < shown.minY() - 0.5 || frame.maxY() > shown.maxY() + 0.5)
                return ::testing::AssertionFailure()
                       << describeView(view) << " (" << frame.minY() << " to " << frame.maxY()
                       << ") is cut off by " << describeView(*holder) << " (" << shown.minY() << " to "
                       << shown.maxY() << ")";
        }
        if (auto cover = host->coverOf(view))
            return ::testing::AssertionFailure() << describeView(view) << " lies under " << *cover;
        return ::testing::AssertionSuccess();
    }
};

TEST_P(SideMenu, ItsFooterIsSeenWholeAboveTheTabBarAsItOpensAndEveryRowIsReached) {
    ASSERT_NO_FATAL_FAILURE(signInAsTheMother());
    ASSERT_TRUE(host->tapIdentifier("hamburgerButton"));
    host->settle();
    auto menu = std::dynamic_pointer_cast<SideNavigationViewController>(
        app->mainViewController()->leftDrawerViewController());
    ASSERT_TRUE(menu);
    auto footer = findView<SideNavigationFooterView>(menu->view());
    ASSERT_TRUE(footer);
    const auto build = host->findByText("Build: 1.4-27");
    ASSERT_TRUE(build) << "the build is shown nowhere";
    EXPECT_TRUE(wholeAboveTheTabBar(*footer->imageView));
    EXPECT_TRUE(wholeAboveTheTabBar(*build));
    // The build's line, in the middle of its label, is written below the logo, not over it.
    const CGRect label = build->convert(build->bounds(), nullptr);
    EXPECT_GE(label.midY() - footer->label->intrinsicContentSize().height / 2,
              footer->imageView->convert(footer->imageView->bounds(), nullptr).maxY() - 0.5)
        << "the build is written over the logo";

    const auto& table = menu->tableView;
    const CGRect column = table->convert(table->bounds(), nullptr);
    EXPECT_LE(column.maxY(), tabBarTop() + 0.5) << "the menu runs on under the tab bar";
    for (const char* row : {"My Account", "My Baby", "Family & Friends", "Settings", "Logout"}) {
        SCOPED_TRACE(row);
        // A row below the list's end is scrolled to, as a finger does it.
        for (int stroke = 0; stroke < 4; ++stroke) {
            const auto shown = host->findByText(row);
            if (shown && wholeAboveTheTabBar(*shown)) break;
            ASSERT_TRUE(host->scroll(table, {0, -60}));
            host->settle();
        }
        const auto shown = host->findByText(row);
        ASSERT_TRUE(shown);
        EXPECT_TRUE(wholeAboveTheTabBar(*shown));
        EXPECT_LE(shown->convert(shown->bounds(), nullptr).maxY(),
                  footer->convert(footer->bounds(), nullptr).minY() + 0.5)
            << "the row runs on under the footer";
    }
    // The list scrolled to its end leaves the footer where it was.
    EXPECT_TRUE(wholeAboveTheTabBar(*footer->imageView));
    EXPECT_TRUE(wholeAboveTheTabBar(*build));
}

INSTANTIATE_TEST_SUITE_P(Phones, SideMenu, ::testing::Values(CGSize{320, 568}, CGSize{375, 667}, CGSize{414, 896}),
                         [](const ::testing::TestParamInfo<CGSize>& info) {
                             return std::to_string(static_cast<int>(info.param.width)) + "x" +
                                    std::to_string(static_cast<int>(info.param.height));
                         });

} // namespace
} // namespace cw::test
