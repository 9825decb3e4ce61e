#pragma once

// A family's day across screens: the application in the headless host, signed in as a demo parent
// against a demo server of the test's own, with the feed loaded and its questions already answered.
// What one screen changes is then looked for on the others, as a person would go and look: by the
// tabs, the menu, the visible texts and what the pictures show.

#include "App/AppDelegate.h"
#include "Controllers/Baby/BabyPageViewController.h"
#include "Models/FeedResponse.h"
#include "host/HeadlessHost.h"
#include "tests/support/AppEnvironment.h"
#include "tests/support/DemoServer.h"
#include "tests/support/app/AppTestSupport.h"
#include "uikit/controllers/UIViewController.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <sstream>
#include <string>

class FeedTableViewCell;
class FeedViewController;
class UIBarButtonItem;
class UIColor;

namespace cw::test {

class ChangesTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Signs the member in before launch (as an earlier run would have) and waits for the feed.
    void launchAs(const std::string& email);
    void launchAsTheMother() { launchAs("demo@cradleway.test"); }
    void launchAsTheFather() { launchAs("partner@cradleway.test"); }

    // Runs script steps (a person's taps, types and drags); a failing step fails the test.
    void run(const std::string& steps);
    bool waitFor(const std::function<bool()>& condition, double seconds = 10);
    ::testing::AssertionResult showsSoon(const std::string& text, double seconds = 10);
    // Waits until no request of the process is on its way: every reply a screen waits for came.
    bool repliesArrived();
    // Waits until no picture on screen is still on its way.
    bool picturesArrived();

    std::shared_ptr<FeedViewController> feed() const;
    // The feed's cell of the card whose title or text is `text`, scrolled into view; none when the
    // feed shows no such card.
    std::shared_ptr<FeedTableViewCell> feedCell(const std::string& text);
    // Scrolls the feed back to its top, where its search bar and filter button are.
    void scrollFeedToTop();
    // The cell of type Cell around the visible text `text`; none when no such cell shows it.
    template <class Cell> std::shared_ptr<Cell> cellShowing(const std::string& text) const;
    // The pager of a tab: 1 Update, 2 Team, 3 Journey.
    std::shared_ptr<BabyPageViewController> pager(std::size_t tab) const;
    // The page a pager shows.
    template <class Page> std::shared_ptr<Page> shownPage(std::size_t tab) const;
    // The screen on top of the main navigation.
    UIViewControllerPtr top() const;
    // Opens a row of the side menu.
    void openFromMenu(const std::string& row);

    // The colour the screen shows at the middle of `view`.
    UIColor colourAt(const UIView& view) const;
    // The number a bar button's badge shows; empty without a badge.
    static std::string badgeText(const UIBarButtonItem& item);

    // One number the demo database answers (-1 without a row).
    std::int64_t count(const std::string& sql) const;
    // A picture of one colour (opaque ARGB) in the test's directory.
    std::filesystem::path pictureFile(const std::string& name, std::uint32_t argb);

    std::unique_ptr<AppEnvironment> environment;
    std::unique_ptr<DemoServer> demo;
    std::unique_ptr<cw::HeadlessHost> host;
    std::shared_ptr<AppDelegate> app;
    std::ostringstream console;

private:
    std::streambuf* savedCout_ = nullptr;
};

template <class Page> std::shared_ptr<Page> ChangesTest::shownPage(std::size_t tab) const {
    auto shown = pager(tab);
    if (!shown || shown->pageIndex < 0 || shown->pageIndex >= static_cast<long>(shown->viewControllers.size()))
        return nullptr;
    return std::dynamic_pointer_cast<Page>(shown->viewControllers[static_cast<std::size_t>(shown->pageIndex)]);
}

template <class Cell> std::shared_ptr<Cell> ChangesTest::cellShowing(const std::string& text) const {
    for (auto view = host->findByText(text); view; view = view->superview())
        if (auto cell = std::dynamic_pointer_cast<Cell>(view)) return cell;
    return nullptr;
}

} // namespace cw::test
