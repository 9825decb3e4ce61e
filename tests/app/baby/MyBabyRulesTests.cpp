// The My Baby screen's rules, with the demo mother signed in: the checks before a save, what the
// forms send, who may edit, adding blank forms, paging, the keyboard and the constraints.

#include "BabyScreenFixture.h"

#include "Controllers/Baby/MyBabyViewController.h"
#include "Extensions/UIColor+Palette.h"
#include "Services/AuthenticationContext.h"
#include "foundation/dispatch/NotificationCenter.h"
#include "foundation/time/DeviceSettingsGuard.h"
#include "kits/banners/GSMessage.h"
#include "uikit/controllers/UINavigationController.h"
#include "uikit/controls/UIKeyboard.h"

namespace cw::test {
namespace {

class MyBabyRules : public BabyScreenTest {
protected:
    // The screen pushed on the main navigation, as the side menu does, for `member` (none: the
    // signed-in mother).
    std::shared_ptr<MyBabyViewController> open(std::shared_ptr<UserData> member = nullptr) {
        signInAndLaunch();
        return push(std::move(member));
    }
    std::shared_ptr<MyBabyViewController> push(std::shared_ptr<UserData> member = nullptr) {
        auto screen = std::make_shared<MyBabyViewController>();
        screen->user = std::move(member);
        auto navigation = std::dynamic_pointer_cast<UINavigationController>(host->window()->rootViewController());
        EXPECT_TRUE(navigation);
        navigation->pushViewController(screen, false);
        host->settle();
        return screen;
    }
    std::vector<std::string> banners() const {
        std::vector<std::string> texts;
        for (const auto& record : GSMessage::history())
            texts.push_back(record.text);
        return texts;
    }
    static void setDates(BabyDetailsFormView& form, const std::string& birth, const std::string& expected) {
        form.updateBirthdayField(birth);
        form.updateExpectedBirthdayField(expected);
    }
};

TEST_F(MyBabyRules, ChecksMarkEveryEmptyFieldThenTheDaysBetweenTheDatesWithoutARequest) {
    auto screen = open();
    ASSERT_EQ(screen->babyFormViewArray.size(), 2u);
    auto& first = *screen->babyFormViewArray[0];
    auto& second = *screen->babyFormViewArray[1];
    const auto red = UIColorPalette::errorColor();

    // An empty name on page 2 and an empty birth date on page 1: both marked, one banner, no day check.
    second.babyfullNameTextField()->setText(std::string());
    first.updateBirthdayField("");
    setDates(second, "Jan, 01 2026", "Jan, 02 2026");
    screen->createOrUpdateBabyDetails();
    EXPECT_EQ(second.babyfullNameTextField()->placeholderColor, red);
    EXPECT_EQ(first.birthdayField()->placeholderColor, red);
    EXPECT_NE(first.babyfullNameTextField()->placeholderColor, red);
    EXPECT_EQ(banners(), (std::vector<std::string>{"All fields are required."}));

    // The next save clears the marks first.
    second.babyfullNameTextField()->setText(std::string("Noah Hart"));
    struct Case {
        std::string birth, expected;
        std::vector<std::string> banners;
    };
    const std::string small = "The difference between Actual DOB and Expected DOB is too small";
    const std::string large = "The difference between Actual DOB and Expected DOB is quite large";
    const std::vector<Case> cases = {
        {"Jan, 01 2026", "Jan, 28 2026", {small}},  // 27 days
        {"Jan, 01 2026", "Jan, 29 2026", {}},       // 28
        {"Jan, 01 2026", "May, 21 2026", {}},       // 140
        {"Jan, 01 2026", "May, 22 2026", {large}},  // 141
        {"Mar, 01 2026", "Feb, 01 2026", {small}},  // before the birth
    };
    for (const auto& c : cases) {
        GSMessage::clearHistory();
        setDates(first, c.birth, c.expected);
        // The second form passes, or fails with the same banner after the first's.
        setDates(second, "Jan, 01 2026", "Mar, 01 2026");
        EXPECT_EQ(screen->validateInputs(), true);
        EXPECT_EQ(second.babyfullNameTextField()->placeholderColor, UIColorPalette::textPlaceholderColor());
        EXPECT_EQ(screen->validateActualDOBAndExpectedDOB(), c.banners.empty()) << c.expected;
        EXPECT_EQ(banners(), c.banners) << c.expected;
    }
    // Two failing forms: two banners, in page order; an unreadable date skips its form.
    GSMessage::clearHistory();
    setDates(first, "Jan, 01 2026", "Jan, 02 2026");
    setDates(second, "Jan, 01 2026", "Dec, 01 2026");
    EXPECT_FALSE(screen->validateActualDOBAndExpectedDOB());
    EXPECT_EQ(banners(), (std::vector<std::string>{small, large}));
    GSMessage::clearHistory();
    setDates(first, "2026-01-01", "Jan, 02 2026");
    setDates(second, "Jan, 01 2026", "Mar, 01 2026");
    EXPECT_TRUE(screen->validateActualDOBAndExpectedDOB());
    EXPECT_TRUE(banners().empty());
    const auto sent = BabyData::convertFromFormViews(screen->babyFormViewArray);
    EXPECT_EQ(sent[0]->toJson().at("birthday"), "2026-01-01") << "an unreadable text goes as it stands";
    EXPECT_EQ(sent[1]->toJson().at("expected_birthday"), "2026-03-01");
}

TEST_F(MyBabyRules, UnderAFrenchLocaleTheDatesGoInTheServersFormAndTheSaveSucceeds) {
    DeviceSettingsGuard french("fr_FR", "Europe/Paris");
    auto screen = open();
    ASSERT_EQ(screen->babyFormViewArray.size(), 2u);
    const auto stored = babies();
    const auto sent = BabyData::convertFromFormViews(screen->babyFormViewArray);
    EXPECT_EQ(sent[0]->birthday(), stored[0]->birthday());
    EXPECT_EQ(sent[1]->expectedBirthday(), stored[1]->expectedBirthday());
    screen->babyFormViewArray[0]->babyfullNameTextField()->setText(std::string("Olivia Hart-Martin"));
    screen->createOrUpdateBabyDetails();
    ASSERT_TRUE(waitFor([&] { return babies().at(0)->fullName() == "Olivia Hart-Martin"; }));
    EXPECT_EQ(babies().at(0)->birthday(), stored[0]->birthday());
}

TEST_F(MyBabyRules, WhoMayEditAndAddAndBlankFormsNumberedFromMinusOne) {
    signInAndLaunch();
    // A grandparent: read-only forms and no add control.
    auto grandparent = push(std::make_shared<UserData>("Ruth Hart", FamilyRelationship::GrandParent, "ruth@example.test"));
    ASSERT_EQ(grandparent->babyFormViewArray.size(), 2u);
    EXPECT_FALSE(grandparent->navigationItem()->rightBarButtonItem());
    EXPECT_FALSE(grandparent->babyFormViewArray[0]->babyfullNameTextField()->isEnabled());
    EXPECT_FALSE(grandparent->babyFormViewArray[0]->babyImageView()->isUserInteractionEnabled());

    // A parent without stored babies: one blank form, -1; added ones -2, -3, ... up to four forms.
    AuthenticationContext::shared().save(std::vector<std::shared_ptr<BabyData>>{});
    auto parent = push();
    ASSERT_EQ(parent->babyFormViewArray.size(), 1u);
    EXPECT_TRUE(parent->navigationItem()->rightBarButtonItem());
    EXPECT_TRUE(parent->babyFormViewArray[0]->babyfullNameTextField()->isEnabled());
    EXPECT_FALSE(parent->saveBabyDetails()->isEnabled());
    for (int i = 0; i < 4; ++i)
        parent->addBaby();
    host->settle();
    ASSERT_EQ(parent->babyFormViewArray.size(), 4u);
    EXPECT_EQ(parent->pageControl()->numberOfPages(), 4);
    EXPECT_EQ(parent->babyHorizontalScrollView()->contentOffset().x, 3 * 375.0) << "the pager shows the new page";
    std::vector<std::string> ids;
    for (const auto& baby : BabyData::convertFromFormViews(parent->babyFormViewArray))
        ids.push_back(baby->toJson().at("id"));
    EXPECT_EQ(ids, (std::vector<std::string>{"-1", "-2", "-3", "-4"}));
    // Two appearances, three adds and one refusal.
    const auto events = storedEvents("MyBabyScreen", 6);
    int added = 0, refused = 0;
    for (const auto& e : events) {
        added += e.details == nlohmann::json{{"addBaby", "User trying to add a baby"}};
        refused += e.details == nlohmann::json{{"maxBabiesAdded", "User trying to add more than 4 babies"}};
    }
    EXPECT_EQ(added, 3);
    EXPECT_EQ(refused, 1);

    // A flow save that leaves no form scrolls nowhere; a crop with no page shown changes no form.
    parent->babyFormViewArray.clear();
    parent->currentBabyNumber = 7;
    parent->didCropImage(*std::make_shared<RSKImageCropViewController>(nullptr), UIImage::named("card_menu"), {}, 0);
    parent->scrollToPage(-1);
    EXPECT_EQ(parent->babyHorizontalScrollView()->contentOffset().x, 3 * 375.0);
}

TEST_F(MyBabyRules, ASwipeTurnsThePageOnlyPastHalfwayAndTheKeyboardMovesALowField) {
    auto screen = open();
    auto scroll = screen->babyHorizontalScrollView();
    const CGFloat y = scroll->convert(CGPoint{0, 100}, host->window().get()).y;
    // 40 % of the way: back to the first page.
    host->drag({300, y}, {300 - 150, y}, 400); // slowly: the finger rests there
    host->settle();
    EXPECT_EQ(screen->currentBabyNumber, 0);
    EXPECT_EQ(screen->pageControl()->currentPage(), 0);
    // 60 %: on to the second.
    host->drag({330, y}, {330 - 225, y}, 400);
    host->settle();
    EXPECT_EQ(scroll->contentOffset().x, 375);
    EXPECT_EQ(screen->currentBabyNumber, 1);
    EXPECT_EQ(screen->pageControl()->currentPage(), 1);

    // A focused field: the outer scroll's insets cover the keys and their bar, and the field stands
    // above them; the keyboard gone, the insets are given back.
    auto field = screen->babyFormViewArray[1]->babyfullNameTextField();
    ASSERT_TRUE(host->tap(field));
    host->settle();
    ASSERT_TRUE(field->isFirstResponder());
    auto outer = screen->babyVerticalScrollView();
    EXPECT_LE(field->convert(field->bounds(), static_cast<const UIView*>(nullptr)).maxY(),
              Keyboard::shared().frame().minY() + 0.5);
    EXPECT_GT(outer->contentInset().bottom, 0);
    EXPECT_EQ(outer->scrollIndicatorInsets.bottom, outer->contentInset().bottom);
    field->resignFirstResponder();
    host->settle();
    EXPECT_EQ(outer->contentInset().bottom, 0);
    EXPECT_EQ(outer->scrollIndicatorInsets.bottom, 0);

    // Appearing again adds no constraints.
    const auto count = screen->view()->constraints().size();
    screen->viewWillAppear(false);
    screen->updateViewConstraints();
    EXPECT_EQ(screen->view()->constraints().size(), count);
}

} // namespace
} // namespace cw::test
