#include "AccountFixture.h"

#include "App/MainNavigationController.h"
#include "App/Onboarding/OnboardingViewController.h"
#include "Controllers/Account/FAQViewController.h"
#include "Controllers/Account/NotificationSettingsViewController.h"
#include "Controllers/Account/SettingsViewController.h"
#include "Controllers/SignIn/BasicHTMLViewController.h"
#include "uikit/controllers/MFMailComposeViewController.h"
#include "uikit/controllers/UIAlertController.h"

#include <gmock/gmock.h>

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::UnorderedElementsAre;

namespace cw::test {

namespace {

class SettingsTest : public AccountTest {
protected:
    std::shared_ptr<SettingsViewController> openSettings() {
        openFromMenu("Settings");
        auto screen = shownScreen<SettingsViewController>();
        EXPECT_TRUE(screen) << screenTexts();
        return screen;
    }
    static nlohmann::json tap(const char* key, const char* value) { return event("Tap", {{key, value}}); }
};

TEST_F(SettingsTest, EachRowReportsItsTapAndOpensItsScreen) {
    launchAsMother();
    auto settings = openSettings();
    ASSERT_TRUE(settings);
    auto table = settings->tableView;
    ASSERT_EQ(table->numberOfRows(0), 4);
    std::vector<std::string> titles;
    for (long row = 0; row < 4; ++row) {
        auto cell = table->cellForRow(IndexPath::forRow(row, 0));
        titles.push_back(cell->textLabel()->text().value_or(""));
        EXPECT_EQ(table->rectForRow(IndexPath::forRow(row, 0)).size.height, 70.0);
    }
    EXPECT_THAT(titles, ElementsAre("Notifications", "Send Feedback", "Terms", "Tutorial"));

    ASSERT_TRUE(host->tapText("Notifications"));
    EXPECT_TRUE(shownScreen<NotificationSettingsViewController>()) << screenTexts();
    EXPECT_TRUE(host->isShowing("Customize Notifications"));
    ASSERT_TRUE(host->goBack());

    ASSERT_TRUE(host->tapText("Terms"));
    auto terms = shownScreen<BasicHTMLViewController>();
    ASSERT_TRUE(terms) << screenTexts();
    EXPECT_EQ(terms->urlEndpoint(), "tandc");
    EXPECT_TRUE(host->isShowing("Terms of Use"));
    ASSERT_TRUE(host->goBack());

    ASSERT_TRUE(host->tapText("Tutorial"));
    EXPECT_TRUE(std::dynamic_pointer_cast<OnboardingViewController>(host->topViewController())) << screenTexts();
    EXPECT_EQ(table->indexPathForSelectedRow(), std::nullopt) << "the row is deselected";

    // One tap event per row, and a "Loaded" for each showing of the settings screen.
    ASSERT_TRUE(waitForEvents("SettingsViewScreen", 6));
    EXPECT_THAT(eventsOf("SettingsViewScreen"),
                UnorderedElementsAre(
                    event("Loaded"), event("Loaded"), event("Loaded"),
                    tap("notificationsSettingsScreenTapped", "User tapped on the notification settings screen"),
                    tap("termsAndConditionsTapped", "Terms and Conditions tapped"), tap("TutorialTapped", "Tutorial tapped")));
}

TEST_F(SettingsTest, FeedbackGoesByMailOrNamesTheAddress) {
    launchAsMother();
    auto settings = openSettings();
    ASSERT_TRUE(settings);

    // A device without mail: the address, and "OK" only closes the alert.
    MFMailComposeViewController::setCanSendMail(false);
    ASSERT_TRUE(host->tapText("Send Feedback"));
    auto alert = std::dynamic_pointer_cast<UIAlertController>(host->topViewController());
    ASSERT_TRUE(alert) << screenTexts();
    EXPECT_EQ(alert->message(), "Please send feedback directly to feedback@cradleway.test");
    EXPECT_EQ(alert->title(), std::nullopt);
    ASSERT_EQ(alert->actions().size(), 1u);
    EXPECT_EQ(alert->actions()[0]->style(), UIAlertActionStyle::cancel);
    ASSERT_TRUE(host->pickAlertAction("OK"));
    EXPECT_EQ(shownScreen<SettingsViewController>(), settings);

    // With mail: the composer, which cancelling closes.
    MFMailComposeViewController::setCanSendMail(true);
    ASSERT_TRUE(host->tapText("Send Feedback"));
    auto mail = std::dynamic_pointer_cast<MFMailComposeViewController>(host->topViewController());
    ASSERT_TRUE(mail) << screenTexts();
    EXPECT_EQ(mail->toRecipients(), (std::vector<std::string>{"feedback@cradleway.test"}));
    EXPECT_EQ(mail->subject(), "Feedback for CRADLEWAY app");
    EXPECT_EQ(mail->messageBody(),
              "Please share your comments if you have suggestions to improve our app or the education content");
    EXPECT_FALSE(mail->isHTML());
    ASSERT_TRUE(host->finishMail(MFMailComposeResult::cancelled));
    EXPECT_EQ(shownScreen<SettingsViewController>(), settings);

    ASSERT_TRUE(waitForEvents("SettingsViewScreen", 3));
    EXPECT_THAT(eventsOf("SettingsViewScreen"),
                Contains(tap("sendFeedbackScreenTapped", "User tapped on the send feedback screen")));
}

TEST_F(SettingsTest, TheFAQPageSaysComingSoon) {
    launchAsMother();
    auto faq = std::make_shared<FAQViewController>();
    app->appController()->pushViewController(faq, false);
    host->settle();
    EXPECT_EQ(faq->title(), "FAQ");
    auto label = host->findByText("Coming soon");
    ASSERT_TRUE(label);
    const CGRect frame = label->convert(label->bounds(), faq->view());
    EXPECT_EQ(frame.origin.x, 10.0);
    EXPECT_EQ(frame.origin.y, faq->topLayoutGuide()->layoutFrame().size.height + 10);
}

} // namespace

} // namespace cw::test
