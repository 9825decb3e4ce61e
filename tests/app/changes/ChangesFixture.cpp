#include "ChangesFixture.h"

#include "App/MainViewController.h"
#include "App/TabBarController.h"
#include "Controllers/Feed/FeedTableViewCell.h"
#include "Controllers/Feed/FeedViewController.h"
#include "net/NSURLSessionDataTask.h"
#include "uikit/view/ViewRendering.h"

#include <algorithm>
#include <cmath>

namespace cw::test {

void ChangesTest::launchAs(const std::string& email) {
    ASSERT_NO_FATAL_FAILURE(signInAndLaunch(email));
    ASSERT_TRUE(waitFor([&] { return feed() && !feed()->responseData.empty(); })) << "the feed shows no card";
}

void ChangesTest::run(const std::string& steps) {
    runScript(*host, steps, environment->directory() / "shots");
}

bool ChangesTest::repliesArrived() {
    return waitFor([] { return NSURLSessionDataTask::tasksInFlight() == 0; });
}

bool ChangesTest::picturesArrived() {
    return waitFor([&] { return host->picturesLoading().empty(); });
}

std::shared_ptr<FeedViewController> ChangesTest::feed() const {
    auto drawer = app ? app->mainViewController() : nullptr;
    return drawer ? std::dynamic_pointer_cast<FeedViewController>(drawer->centerViewController()) : nullptr;
}

std::shared_ptr<FeedTableViewCell> ChangesTest::feedCell(const std::string& text) {
    const auto screen = feed();
    if (!screen) return nullptr;
    const auto& list = screen->currentFeedData();
    const long section = screen->isSearchActive() ? 1 : 0;
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (list[i]->cardTitle != text && list[i]->cardDescription != text) continue;
        const IndexPath path{static_cast<long>(i), section};
        const auto& table = screen->tableView;
        if (!scrollRowUnderTop(*host, table, path)) return nullptr;
        return std::dynamic_pointer_cast<FeedTableViewCell>(table->cellForRow(path));
    }
    return nullptr;
}

void ChangesTest::scrollFeedToTop() {
    // A finger drags the list down to its top.
    const auto& table = feed()->tableView;
    if (std::abs(table->contentOffset().y) > 0.5) host->scroll(table, {0, table->contentOffset().y});
    host->settle();
}

std::shared_ptr<BabyPageViewController> ChangesTest::pager(std::size_t tab) const {
    auto main = navigation();
    if (!main || main->viewControllers().empty()) return nullptr;
    auto tabs = std::dynamic_pointer_cast<TabBarController>(main->viewControllers().front());
    if (!tabs || tab >= tabs->viewControllers().size()) return nullptr;
    auto pages = std::dynamic_pointer_cast<UINavigationController>(tabs->viewControllers()[tab]);
    return pages ? std::dynamic_pointer_cast<BabyPageViewController>(pages->viewControllers().front()) : nullptr;
}

void ChangesTest::openFromMenu(const std::string& row) {
    ASSERT_TRUE(host->tapIdentifier("hamburgerButton"));
    ASSERT_TRUE(showsSoon(row));
    ASSERT_TRUE(host->tapText(row));
    host->settle();
}

UIColor ChangesTest::colourAt(const UIView& view) const {
    const auto picture = renderView(*host->window(), host->scale());
    const CGRect frame = view.convert(view.bounds(), nullptr);
    return picture->pixelColor(static_cast<int>(frame.midX() * host->scale()),
                               static_cast<int>(frame.midY() * host->scale()));
}

std::filesystem::path ChangesTest::pictureOf(const std::string& name, std::uint32_t argb) {
    const auto file = environment->directory() / name;
    EXPECT_TRUE(writeOneColourPicture(file, argb, 600, 400));
    return file;
}

} // namespace cw::test
