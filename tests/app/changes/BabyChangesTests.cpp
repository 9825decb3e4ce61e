// A baby as every tab shows her: renamed or given a new picture in My Baby, another baby added, and
// the baby the member pages to on one tab, which the others show when they next appear.

#include "ChangesFixture.h"

#include "Controllers/Account/CareTeamViewController.h"
#include "Controllers/Baby/DailyUpdateViewController.h"
#include "Controllers/Feed/FeedViewController.h"
#include "Controllers/Journey/JourneyViewController.h"
#include "uikit/graphics/UIColor.h"

namespace cw::test {
namespace {

constexpr std::uint32_t kNewPicture = 0xffd0402bu;

bool near(const UIColor& shown, std::uint32_t argb) {
    const UIColor wanted(((argb >> 16) & 0xff) / 255.0, ((argb >> 8) & 0xff) / 255.0, (argb & 0xff) / 255.0, 1);
    return std::abs(shown.red() - wanted.red()) + std::abs(shown.green() - wanted.green()) +
               std::abs(shown.blue() - wanted.blue()) <
           0.1;
}

class BabyChanges : public ChangesTest {
protected:
    // Visits the three baby tabs, each of which then keeps its pages, and comes back home.
    void visitTheBabyTabs(const std::string& name) {
        run(R"(tap "Update"
expect "Daily Update"
expect ")" + name + R"("
tap "Team"
expect "Blue Pod Team"
expect ")" + name + R"("
tap "Journey"
expect "NICU Journey"
expect ")" + name + R"("
tap "Home"
)");
    }
    // The name and picture each tab shows of the baby on its page.
    void expectEveryTabShows(const std::string& name, std::uint32_t picture) {
        struct Tab {
            const char* title;
            std::size_t index;
            std::function<std::shared_ptr<UIImageView>()> picture;
        };
        const Tab tabs[] = {
            {"Update", 1, [&] { return shownPage<DailyUpdateViewController>(1)->babyImageView; }},
            {"Team", 2, [&] { return shownPage<CareTeamViewController>(2)->babyImageView(); }},
            {"Journey", 3, [&] { return shownPage<JourneyViewController>(3)->babyImageView.lock(); }},
        };
        for (const auto& tab : tabs) {
            SCOPED_TRACE(tab.title);
            ASSERT_TRUE(host->tapText(tab.title));
            EXPECT_TRUE(showsSoon(name));
            EXPECT_FALSE(host->isShowing("Olivia Hart"));
            ASSERT_TRUE(picturesArrived());
            const auto view = tab.picture();
            ASSERT_TRUE(view);
            EXPECT_TRUE(near(colourAt(*view), picture)) << colourAt(*view);
        }
    }
};

TEST_F(BabyChanges, ABabyRenamedWithANewPictureInMyBabyIsSoOnEveryTabOpenedBefore) {
    launchAsTheMother();
    visitTheBabyTabs("Olivia Hart");
    const auto photo = pictureOf("olivia.png", kNewPicture);

    openFromMenu("My Baby");
    run(R"(expect "Olivia Hart"
tap "Olivia Hart"
delete 11
type "Olivia Grace\n"
tap #babyImageView
alert "Photo Library"
)");
    ASSERT_TRUE(host->pickImage(photo));
    // Her brother too, whose pages no tab has shown yet.
    run(R"(tap "Choose"
drag 340,300 30,300
tap "Noah Hart"
delete 9
type "Noah James\n"
tap "Save"
expect "Successfully saved."
expect "Home"
)");

    expectEveryTabShows("Olivia Grace", kNewPicture);
    ASSERT_TRUE(host->tapText("Home"));
    EXPECT_TRUE(showsSoon("Olivia Grace"));
    run(R"(tap "Update"
drag 340,200 30,200
expect "Noah James"
absent "Noah Hart"
tap "Team"
expect "Noah James"
absent "Noah Hart"
)");
}

TEST_F(BabyChanges, TheGrowthChartsLeftOpenInTheUpdateTabAreTitledWithTheNameSavedInMyBaby) {
    launchAsTheMother();
    run(R"(tap "Update"
expect "Olivia Hart"
tap #chartsButton
expect "Olivia Hart's Measurements"
tap "Home"
)");
    openFromMenu("My Baby");
    run(R"(tap "Olivia Hart"
delete 4
type "Rose\n"
tap "Save"
expect "Successfully saved."
tap "Update"
expect "Olivia Rose's Measurements"
absent "Olivia Hart's Measurements"
back
expect "Olivia Rose"
)");
}

TEST_F(BabyChanges, ABabyAddedInMyBabyGetsHerPageOnTheTabsOpenedBeforeAndHerNewNameThere) {
    launchAsTheMother();
    visitTheBabyTabs("Olivia Hart");
    ASSERT_EQ(pager(1)->viewControllers.size(), 2u);

    openFromMenu("My Baby");
    run(R"(tap #card_menu
alert "Add"
tap #mrnTextField
type "CW200001"
tap "Search"
expect "Mia Lopez"
)");
    for (const std::size_t tab : {1u, 2u, 3u}) {
        SCOPED_TRACE(tab);
        EXPECT_EQ(pager(tab)->viewControllers.size(), 3u);
        EXPECT_EQ(pager(tab)->pageControl->numberOfPages(), 3);
    }
    // Renamed while no tab has shown her page: the page shows her new name when it first does.
    run(R"(tap "Mia Lopez"
delete 9
type "Mia Rose\n"
tap "Save"
expect "Successfully saved."
tap "Update"
expect "Olivia Hart"
drag 340,200 30,200
drag 340,200 30,200
expect "Mia Rose"
absent "Mia Lopez"
)");
}

TEST_F(BabyChanges, TheBabyPagedToOnOneTabIsTheOneEveryTabShowsWhenItNextAppears) {
    launchAsTheMother();
    visitTheBabyTabs("Olivia Hart");

    // Paged to Noah on the Update tab: Team, Journey and the feed's header show him next.
    run(R"(tap "Update"
drag 340,200 30,200
expect "Noah Hart"
absent "Olivia Hart"
tap "Team"
expect "Noah Hart"
absent "Olivia Hart"
tap "Journey"
expect "Noah Hart"
absent "Olivia Hart"
tap "Home"
expect "Noah Hart"
)");
    EXPECT_EQ(pager(2)->pageControl->currentPage(), 1);

    // Back to Olivia on the Journey tab: the Update tab follows.
    run(R"(tap "Journey"
drag 30,200 340,200
expect "Olivia Hart"
tap "Update"
expect "Olivia Hart"
absent "Noah Hart"
)");
}

} // namespace
} // namespace cw::test
