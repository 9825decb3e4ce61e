#pragma once

// A family's day across screens: the application in the headless host, signed in as a demo parent
// against a demo server of the test's own, with the feed loaded and its questions already answered
// (the posts screens' set-up). What one screen changes is then looked for on the others, as a person
// would go and look: by the tabs, the menu, the visible texts and what the pictures show.

#include "Controllers/Baby/BabyPageViewController.h"
#include "tests/app/posts/PostsFixture.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

class FeedTableViewCell;
class FeedViewController;
class UIColor;

namespace cw::test {

class ChangesTest : public PostsScreenTest {
protected:
    // Signs the member in before launch (as an earlier run would have) and waits for the feed.
    void launchAs(const std::string& email);
    void launchAsTheMother() { launchAs("demo@cradleway.test"); }
    void launchAsTheFather() { launchAs("partner@cradleway.test"); }

    // Runs script steps (a person's taps, types and drags); a failing step fails the test.
    void run(const std::string& steps);
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
    // Opens a row of the side menu.
    void openFromMenu(const std::string& row);

    // The colour the screen shows at the middle of `view`.
    UIColor colourAt(const UIView& view) const;
    // A picture of one colour (opaque ARGB) in the test's directory.
    std::filesystem::path pictureOf(const std::string& name, std::uint32_t argb);
};

template <class Cell> std::shared_ptr<Cell> ChangesTest::cellShowing(const std::string& text) const {
    for (auto view = host->findByText(text); view; view = view->superview())
        if (auto cell = std::dynamic_pointer_cast<Cell>(view)) return cell;
    return nullptr;
}

template <class Page> std::shared_ptr<Page> ChangesTest::shownPage(std::size_t tab) const {
    auto shown = pager(tab);
    if (!shown || shown->pageIndex < 0 || shown->pageIndex >= static_cast<long>(shown->viewControllers.size()))
        return nullptr;
    return std::dynamic_pointer_cast<Page>(shown->viewControllers[static_cast<std::size_t>(shown->pageIndex)]);
}

} // namespace cw::test
