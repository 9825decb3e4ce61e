// The next member on the same device, against the demo server: the mother leaves the main interface
// as she used it (a baby chosen, an earlier day picked, the feed filtered, the library on her
// bookmarks), logs out, and the invited relative registers. Everything the main interface shows is
// then hers.
#include "SignInFixture.h"

#include "App/TabBarController.h"
#include "Controllers/Baby/DailyUpdatePageViewController.h"
#include "Controllers/Baby/DailyUpdateViewController.h"
#include "Controllers/Feed/Store/FeedDataStore.h"
#include "Controllers/SignIn/RegistrationWithInvitation.h"
#include "Controllers/SignIn/TermsAndConditionsController.h"
#include "Services/AuthenticationContext.h"
#include "foundation/time/DateFormatter.h"
#include "kits/calendar/CVDate.h"

#include <gmock/gmock.h>

using ::testing::ElementsAre;

namespace cw::test {

namespace {

enum Tab : std::size_t { home = 0, update = 1, team = 2, journey = 3, library = 4 };

} // namespace

class NextMemberTest : public SignInTest {
protected:
    std::shared_ptr<TabBarController> tabs() const {
        auto main = std::dynamic_pointer_cast<UINavigationController>(host->window()->rootViewController());
        return main ? std::dynamic_pointer_cast<TabBarController>(main->viewControllers().front()) : nullptr;
    }
    UIViewControllerPtr tab(Tab at) const {
        auto t = tabs();
        return t ? t->viewControllers().at(at) : nullptr;
    }
    std::shared_ptr<BabyPageViewController> pager(Tab at) const {
        auto navigation = std::dynamic_pointer_cast<UINavigationController>(tab(at));
        return navigation ? std::dynamic_pointer_cast<BabyPageViewController>(navigation->viewControllers().front())
                          : nullptr;
    }
    static std::vector<std::string> babyNames(const BabyPageViewController& pager) {
        std::vector<std::string> names;
        for (const auto& baby : pager.babies.value_or(std::vector<std::shared_ptr<BabyData>>{}))
            names.push_back(baby->fullName());
        return names;
    }
    std::shared_ptr<DailyUpdateViewController> shownUpdate() const {
        auto p = pager(update);
        return std::dynamic_pointer_cast<DailyUpdateViewController>(p->viewControllers.at(static_cast<std::size_t>(p->pageIndex)));
    }
    // The Update tab, once the shown baby's entry has come.
    std::shared_ptr<DailyUpdateViewController> openUpdates(const std::string& name) {
        EXPECT_TRUE(host->tapText("Update"));
        EXPECT_TRUE(waitForText(name)) << name;
        auto page = shownUpdate();
        EXPECT_TRUE(waitFor([&] { return page->dailyUpdate != nullptr; }));
        return page;
    }
    void swipeLeft() { host->drag({340, 520}, {35, 520}); }
    void registerSarah() {
        ASSERT_TRUE(host->tapText("Create Account"));
        typeInto("inviterNameTextField", "sarah@cradleway.test");
        typeInto("securityCodeTextField", "424242");
        ASSERT_TRUE(host->tapText("Submit"));
        ASSERT_TRUE(waitFor([&] { return topAs<RegistrationWithInvitation>() != nullptr; }));
        typeInto("passwordTextField", "sarah-password-1\n");
        ASSERT_TRUE(host->tapText("Continue"));
        ASSERT_TRUE(topAs<TermsAndConditionsController>());
        ASSERT_TRUE(host->tapText("I Accept"));
        typeInto("mrnTextField", "CW200001");
        ASSERT_TRUE(host->tapText("Search"));
        ASSERT_TRUE(waitForText("Mia Lopez"));
        ASSERT_TRUE(host->tapText("Continue"));
        ASSERT_TRUE(host->tapText("No"));
        ASSERT_TRUE(waitFor([&] { return showsMainInterface() && host->isShowing("Connect"); }));
        for (const char* button : {"Next", "Next", "Next", "Done"})
            ASSERT_TRUE(host->tapText(button)) << button;
    }
};

TEST_F(NextMemberTest, TheRelativeRegisteringAfterTheMotherLeftSeesHerOwnFamilyAndNothingTheMotherChose) {
    demo->answerFeedQuestions();
    launch();
    signIn("demo@cradleway.test", "cradleway-demo");
    ASSERT_TRUE(waitFor([&] { return showsMainInterface() && host->isShowing("Daily update for Olivia"); }));

    // The mother pages the feed's header to Noah, reads his update of an earlier day, looks at his
    // journey, filters the feed to her bookmarks and leaves the library on them.
    ASSERT_TRUE(host->drag({320, 120}, {40, 120}));
    ASSERT_TRUE(waitForText("Noah Hart"));
    auto noahsPage = openUpdates("Noah Hart");
    const auto& entries = noahsPage->dailyUpdateResponse->dailyUpdates;
    ASSERT_GE(entries.size(), 2u);
    const Date earlier = entries[entries.size() - 2].updatedAt;
    ASSERT_TRUE(host->tapIdentifier("calendarButton"));
    if (!CVDate(earlier).isSameMonth(CVDate(entries.back().updatedAt)))
        host->drag({40, 330}, {330, 330});
    DateFormatter day;
    day.setDateFormat("yyyy-MM-dd");
    ASSERT_TRUE(host->tapIdentifier(day.string(earlier)));
    const std::string mothersDay = noahsPage->updateTimeLabel->text().value_or("");
    ASSERT_TRUE(host->isShowing(mothersDay));
    ASSERT_TRUE(host->tapText("Journey"));
    ASSERT_TRUE(waitForText("Noah Hart"));
    const auto mothersLibrary = tab(library);
    const auto mothersTeam = tab(team);
    ASSERT_TRUE(host->tapText("Education"));
    ASSERT_TRUE(host->tapText("Bookmarked"));
    ASSERT_TRUE(host->tapText("Home"));
    ASSERT_TRUE(host->tapIdentifier("filterButton"));
    ASSERT_TRUE(host->tapText("Bookmarked"));
    ASSERT_TRUE(host->tapText("Done"));
    ASSERT_TRUE(waitFor([&] { return !host->isShowing("Daily update for Olivia"); }));
    ASSERT_FALSE(FeedDataStore::shared().cachedFeed().empty());

    ASSERT_TRUE(host->tapIdentifier("hamburgerButton"));
    ASSERT_TRUE(host->tapText("Logout"));
    ASSERT_TRUE(host->pickAlertAction("OK"));
    ASSERT_TRUE(waitForText("Log In"));
    // Her cards are gone with her: nothing opens them for whoever comes next.
    EXPECT_TRUE(FeedDataStore::shared().cachedFeed().empty());
    EXPECT_FALSE(AuthenticationContext::shared().selectedBabyId());

    // Sarah joins the family on her invitation with Mia: the twins are in her family too.
    registerSarah();
    EXPECT_TRUE(waitFor([&] { return host->isShowing("Daily update for Olivia"); }))
        << "her feed is filtered to the mother's bookmarks";

    auto updates = pager(update);
    ASSERT_TRUE(updates);
    auto page = openUpdates("Olivia Hart");
    EXPECT_THAT(babyNames(*updates), ElementsAre("Olivia Hart", "Noah Hart", "Mia Lopez"));
    EXPECT_EQ(updates->pageControl->numberOfPages(), 3);
    EXPECT_EQ(updates->pageIndex, 0) << "her pager opens on her first baby, not the one the mother chose";
    EXPECT_FALSE(host->isShowing("Noah Hart"));
    EXPECT_FALSE(host->isShowing(mothersDay));
    const auto& latest = page->dailyUpdateResponse->dailyUpdates.back();
    EXPECT_EQ(page->dailyUpdate->updatedAt, latest.updatedAt) << "the latest entry, not a day someone picked";
    swipeLeft();
    ASSERT_TRUE(waitForText("Noah Hart"));
    EXPECT_FALSE(host->isShowing(mothersDay));
    swipeLeft();
    EXPECT_TRUE(waitForText("Mia Lopez"));

    ASSERT_TRUE(host->tapText("Journey"));
    auto journeys = pager(journey);
    ASSERT_TRUE(journeys);
    EXPECT_THAT(babyNames(*journeys), ElementsAre("Olivia Hart", "Noah Hart", "Mia Lopez"));
    EXPECT_EQ(journeys->pageIndex, 2) << "on the baby she paged to";
    EXPECT_TRUE(waitForText("Mia Lopez"));

    // The library and the care team are hers too, made for her session.
    EXPECT_NE(tab(library), mothersLibrary);
    EXPECT_NE(tab(team), mothersTeam);
    ASSERT_TRUE(host->tapText("Team"));
    EXPECT_TRUE(waitForText("Mia Lopez"));
}

} // namespace cw::test
