#include "AccountFixture.h"

#include "App/MainNavigationController.h"
#include "Controllers/Account/CareTeamViewController.h"
#include "Controllers/Baby/BabyPageViewController.h"
#include "Extensions/UIColor+Palette.h"
#include "Services/AuthenticationContext.h"
#include "foundation/dispatch/RunLoop.h"
#include "foundation/time/DeviceSettingsGuard.h"
#include "kits/banners/GSMessage.h"
#include "uikit/controllers/UIStoryboard.h"
#include "uikit/controllers/UITabBarController.h"

#include <algorithm>
#include <cctype>

namespace cw::test {

namespace {

class CareTeamTest : public AccountTest {
protected:
    // The care team page of the signed-in member's baby of that name, on top of the main interface.
    std::shared_ptr<CareTeamViewController> showCareTeam(const std::string& babyName) {
        auto screen = instantiateViewController<CareTeamViewController>(*UIStoryboard::named("CareTeam"));
        for (const auto& baby : AuthenticationContext::shared().babies())
            if (baby->fullName() == babyName) screen->baby = baby;
        EXPECT_TRUE(screen->baby) << babyName;
        app->appController()->pushViewController(screen, false);
        return screen;
    }
    // The rows as "title | description".
    static std::vector<std::string> rows(CareTeamViewController& screen) {
        std::vector<std::string> texts;
        auto table = screen.tableView();
        for (long row = 0; row < table->numberOfRows(0); ++row) {
            auto cell = table->cellForRow(IndexPath::forRow(row, 0));
            texts.push_back(cell ? cell->textLabel()->text().value_or("") + " | " +
                                       cell->detailTextLabel()->text().value_or("")
                                 : "(not shown)");
        }
        return texts;
    }
};

TEST_F(CareTeamTest, ABabysPageShowsItsTeamUnderTheTeamsNameAndWhenItWasBroughtUpToDate) {
    DeviceSettingsGuard device("en_US", "UTC");
    launchAsMother();
    auto screen = showCareTeam("Olivia Hart");
    // Until the reply: the table hidden, the spinner running.
    EXPECT_TRUE(screen->tableView()->isHidden());
    EXPECT_TRUE(screen->activityIndicator()->isAnimating());
    EXPECT_EQ(screen->updateLabel()->text(), "Updated at");
    EXPECT_EQ(screen->babyNameLabel()->text(), "Olivia Hart");
    EXPECT_EQ(screen->updateView()->backgroundColor(), UIColorPalette::whiteSix());
    EXPECT_EQ(screen->updateLabel()->textColor(), UIColorPalette::contentColor2());

    // Waiting on the loop alone keeps the test clock where it is.
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return !screen->tableView()->isHidden(); }, 10));
    const Date arrived = Date::now();
    host->settle();
    EXPECT_FALSE(screen->activityIndicator()->isAnimating());
    DateFormatter expected;
    expected.setDateFormat("h:mma, MMM d, yyyy, eee");
    // The time in capitals (the en_US texts are ASCII), the words before it as the daily update
    // and the journey write them.
    std::string time = expected.string(arrived);
    std::transform(time.begin(), time.end(), time.begin(), [](unsigned char c) { return std::toupper(c); });
    const std::string text = "Updated at " + time;
    EXPECT_EQ(screen->updateLabel()->text(), text);
    EXPECT_NE(text.find(", SEP 13, 2020, SUN"), std::string::npos) << text;
    EXPECT_TRUE(text.find("AM,") != std::string::npos || text.find("PM,") != std::string::npos) << text;
    EXPECT_TRUE(host->isShowing(text));

    EXPECT_EQ(screen->careTeamName, "Blue Pod Team");
    EXPECT_TRUE(host->isShowing("Blue Pod Team"));
    EXPECT_EQ(screen->tableView()->rectForHeaderInSection(0).size.height, 60.0);
    EXPECT_EQ(rows(*screen), (std::vector<std::string>{
                                 "Primary Nurse | Anna Brooks, RN",
                                 "Neonatologist | Dr. Samuel Okafor",
                                 "Nurse Practitioner | Leah Kim, NNP",
                                 "Lactation Consultant | Maria Santos, IBCLC",
                                 "Respiratory Therapist | Tom Reilly, RRT",
                                 "Social Worker | Grace Muller, MSW",
                             }));
    EXPECT_FALSE(host->isShowing("CARE TEAM"));
    // The baby's picture comes from the server.
    EXPECT_TRUE(waitUntil([&] { return screen->babyImageView()->image() != nullptr; }));
    EXPECT_NE(screen->babyImageView()->image()->size(), UIImage::named("card_default_baby")->size());
}

TEST_F(CareTeamTest, AFailedFetchSaysSoAndShowsTheEmptyTable) {
    launchAsMother();
    demo->stop();
    auto screen = showCareTeam("Noah Hart");
    ASSERT_TRUE(waitUntil([] { return !GSMessage::history().empty(); }, 20)) << screenTexts();
    const auto banner = GSMessage::history().back();
    EXPECT_EQ(banner.text, "Could not fetch care team");
    EXPECT_EQ(banner.type, GSMessageType::error);
    EXPECT_EQ(banner.settings.textNumberOfLines, 0);
    EXPECT_FALSE(screen->tableView()->isHidden());
    EXPECT_EQ(screen->tableView()->numberOfRows(0), 0);
    EXPECT_FALSE(screen->activityIndicator()->isAnimating());
    EXPECT_EQ(screen->updateLabel()->text(), "Updated at");
}

TEST_F(CareTeamTest, ABabyWithoutAPictureOrAnIdShowsThePlaceholderAndAsksForNothing) {
    launchAsMother();
    auto screen = instantiateViewController<CareTeamViewController>(*UIStoryboard::named("CareTeam"));
    screen->baby = std::make_shared<BabyData>("Mia Lopez", "2019-01-02", "2019-03-01", Gender::Female);
    app->appController()->pushViewController(screen, false);
    host->settle();
    EXPECT_EQ(screen->babyImageView()->image()->size(), UIImage::named("card_default_baby")->size());
    RunLoop::main().runFor(0.2);
    host->settle();
    EXPECT_TRUE(screen->tableView()->isHidden());
    EXPECT_TRUE(screen->activityIndicator()->isAnimating());
    EXPECT_TRUE(GSMessage::history().empty());
}

TEST_F(CareTeamTest, TheTeamTabShowsTheFirstBabysTeam) {
    DeviceSettingsGuard device("en_US", "UTC");
    launchAsMother();
    ASSERT_TRUE(host->tapText("Team"));
    ASSERT_TRUE(waitForText("Blue Pod Team")) << screenTexts();
    // The tab's navigation controller holds the pager.
    auto tabs = std::dynamic_pointer_cast<UITabBarController>(topScreen());
    ASSERT_TRUE(tabs);
    auto tab = std::dynamic_pointer_cast<UINavigationController>(tabs->selectedViewController());
    auto pager = std::dynamic_pointer_cast<BabyPageViewController>(tab ? tab->topViewController() : nullptr);
    ASSERT_TRUE(pager);
    ASSERT_FALSE(pager->viewControllers.empty());
    auto page = std::dynamic_pointer_cast<CareTeamViewController>(pager->viewControllers[static_cast<std::size_t>(pager->pageIndex)]);
    ASSERT_TRUE(page);
    EXPECT_EQ(page->baby->fullName(), "Olivia Hart");
    EXPECT_TRUE(host->isShowing("Primary Nurse"));
    EXPECT_TRUE(host->isShowing("Anna Brooks, RN"));
    EXPECT_EQ(page->updateLabel()->text().value_or("").rfind("Updated at ", 0), 0u);
}

} // namespace

} // namespace cw::test
