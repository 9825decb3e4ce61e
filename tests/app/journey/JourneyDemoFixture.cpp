#include "JourneyDemoFixture.h"

#include "Controllers/Journey/JourneyItemCell.h"
#include "Controllers/Baby/BabyPageViewController.h"
#include "Extensions/UIStoryboard+Instantiate.h"
#include "Services/AuthenticationContext.h"
#include "Views/RoundedSectionHeaderViewTwo.h"
#include "foundation/dispatch/RunLoop.h"
#include "uikit/controllers/UIAppearance.h"
#include "uikit/controllers/UINavigationController.h"
#include "uikit/controllers/UITabBarController.h"
#include "uikit/graphics/UIImage.h"

#include <chrono>
#include <cstdlib>
#include <iostream>

namespace cw::journeytest {

Date systemNow() {
    using namespace std::chrono;
    return Date::since1970(duration<double>(system_clock::now().time_since_epoch()).count());
}

void JourneyDemoTest::SetUp() {
    savedCout_ = std::cout.rdbuf(console.rdbuf());
    environment = std::make_unique<test::AppEnvironment>("cw-journey");
    demo = std::make_unique<test::DemoServer>(environment->directory() / "server");
    // The feed's own questions would come up over these screens.
    demo->answerFeedQuestions();
    test::prepareBundle(*environment, demo->baseUrl(), "org.cradleway.journey-tests");
    test::forgetSession();
    host = std::make_unique<cw::HeadlessHost>(screenSize);
    host->setDate(systemNow());
    app = std::make_shared<AppDelegate>();
    ASSERT_TRUE(host->launch(app));
    run(test::kSignInAsTheDemoMother);
    ASSERT_FALSE(AuthenticationContext::shared().babies().empty());
}

void JourneyDemoTest::TearDown() {
    // Nothing of this test may still be on its way to the server.
    RunLoop::main().runFor(0.05);
    app.reset();
    host.reset();
    test::forgetSession();
    demo.reset();
    environment.reset();
    UIAppearance::reset();
    std::cout.rdbuf(savedCout_);
}

void JourneyDemoTest::run(const std::string& steps) {
    test::runScript(*host, steps, environment->directory() / "shots");
}

bool JourneyDemoTest::waitFor(const std::function<bool()>& done, double seconds) {
    return test::waitSettling(*host, done, seconds);
}

bool JourneyDemoTest::waitForText(const std::string& text, double seconds) {
    return waitFor([&] { return host->isShowing(text); }, seconds);
}

std::shared_ptr<BabyData> JourneyDemoTest::baby(const std::string& fullName) const {
    for (const auto& b : AuthenticationContext::shared().babies())
        if (b->fullName() == fullName) return b;
    return nullptr;
}

std::shared_ptr<MainNavigationController> JourneyDemoTest::mainNavigation() const {
    return std::dynamic_pointer_cast<MainNavigationController>(host->window()->rootViewController());
}

UIViewControllerPtr JourneyDemoTest::top() const {
    auto shown = host->topViewController();
    while (true) {
        UIViewControllerPtr inner;
        if (auto navigation = std::dynamic_pointer_cast<UINavigationController>(shown))
            inner = navigation->visibleViewController();
        else if (auto tabs = std::dynamic_pointer_cast<UITabBarController>(shown))
            inner = tabs->selectedViewController();
        else if (auto pager = std::dynamic_pointer_cast<BabyPageViewController>(shown);
                 pager && pager->pageIndex >= 0 && pager->pageIndex < static_cast<long>(pager->viewControllers.size()))
            inner = pager->viewControllers[static_cast<std::size_t>(pager->pageIndex)];
        if (!inner || inner == shown) return shown;
        shown = inner;
    }
}

std::shared_ptr<JourneyViewController> JourneyDemoTest::openTimeline(const std::string& fullName) {
    // The "Journey" tab opens on the session's selected baby.
    AuthenticationContext::shared().setSelectedBabyId(baby(fullName)->babyId());
    EXPECT_TRUE(host->tapText("Journey"));
    auto timeline = std::dynamic_pointer_cast<JourneyViewController>(top());
    EXPECT_TRUE(timeline && timeline->baby && timeline->baby->fullName() == fullName) << "no timeline of " << fullName;
    if (!timeline) return nullptr;
    EXPECT_TRUE(waitFor([&] { return !timeline->journeySections.empty(); })) << "the weeks did not come";
    return timeline;
}

std::shared_ptr<JourneyContainerViewController> JourneyDemoTest::openStages() {
    // The feed's journey button.
    EXPECT_TRUE(host->tapIdentifier("journeyButton"));
    auto container = std::dynamic_pointer_cast<JourneyContainerViewController>(top());
    EXPECT_TRUE(container) << "the journey button opened no stage journey";
    if (!container) return nullptr;
    EXPECT_TRUE(waitFor([&] { return !container->viewControllers.empty(); })) << "the pages did not come";
    return container;
}

long JourneyDemoTest::rowsShown(const JourneyViewController& timeline, long section) {
    auto table = timeline.tableView.lock();
    return table ? table->numberOfRows(section) : -1;
}

std::shared_ptr<UITableViewCell> JourneyDemoTest::rowShowing(const JourneyViewController& timeline,
                                                             const std::string& label) {
    auto table = timeline.tableView.lock();
    if (!table) return nullptr;
    for (const auto& cell : table->visibleCells()) {
        auto item = std::dynamic_pointer_cast<JourneyItemCell>(cell);
        auto title = item ? item->titleLabel.lock() : nullptr;
        if (title && title->text() == label) return cell;
    }
    return nullptr;
}

bool JourneyDemoTest::revealRow(const JourneyViewController& timeline, const std::string& label) {
    auto table = timeline.tableView.lock();
    if (!table) return false;
    for (int step = 0; step < 60; ++step) {
        auto cell = rowShowing(timeline, label);
        const CGRect shown = table->bounds();
        const CGFloat clearTop = shown.minY() + JourneyViewController::headerHeight;
        const CGFloat clearBottom = shown.maxY() - table->contentInset().bottom;
        if (cell && cell->frame().minY() >= clearTop && cell->frame().maxY() <= clearBottom) return true;
        // Rows above come into view when the content follows the finger down.
        const bool above = cell && cell->frame().minY() < clearTop;
        host->scroll(table, {0, above ? 40.0 : -40.0});
    }
    return false;
}

void JourneyDemoTest::picture(const std::string& name) {
    const char* pictures = std::getenv("CW_SCREENSHOT_DIR");
    const std::filesystem::path dir = pictures && *pictures ? std::filesystem::path(pictures) : environment->directory();
    host->settle();
    std::string error;
    EXPECT_TRUE(host->screenshot(dir / (name + ".png"), &error)) << error;
}

std::vector<StoredEvent> JourneyDemoTest::events() const {
    return test::storedEvents(*demo);
}

std::vector<StoredEvent> JourneyDemoTest::eventsOf(const std::string& screen) const {
    std::vector<StoredEvent> result;
    for (auto& e : events())
        if (e.screen == screen) result.push_back(e);
    return result;
}

std::vector<StoredEvent> JourneyDemoTest::eventsWith(const std::string& screen, const std::string& key) const {
    std::vector<StoredEvent> result;
    for (auto& e : eventsOf(screen))
        if (e.details.is_object() && e.details.contains(key)) result.push_back(e);
    return result;
}

bool JourneyDemoTest::waitForEvents(const std::string& screen, const std::string& key, std::size_t wanted) {
    return waitFor([&] { return eventsWith(screen, key).size() >= wanted; });
}

std::int64_t JourneyDemoTest::count(const std::string& sql) const {
    return test::queryInteger(*demo, sql);
}

std::string JourneyDemoTest::text(const std::string& sql) const {
    return test::queryText(*demo, sql).value_or("");
}

std::filesystem::path JourneyDemoTest::pictureFile(const std::string& name, std::uint32_t argb, int width,
                                                   int height) const {
    const auto path = environment->directory() / (name + ".png");
    EXPECT_TRUE(test::writeOneColourPicture(path, argb, width, height));
    return path;
}

std::shared_ptr<RoundedSectionHeaderViewTwo> header(const JourneyViewController& timeline, long section) {
    auto table = timeline.tableView.lock();
    return table ? std::dynamic_pointer_cast<RoundedSectionHeaderViewTwo>(table->headerView(section)) : nullptr;
}

} // namespace cw::journeytest
