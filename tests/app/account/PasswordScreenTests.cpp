#include "AccountFixture.h"
#include "tests/support/session/SessionReset.h"

#include "App/MainNavigationController.h"
#include "Controllers/Account/PasswordUpdateViewController.h"
#include "Services/KeychainConfiguration.h"
#include "Services/KeychainPasswordItem.h"
#include "Services/SignInService.h"
#include "foundation/dispatch/RunLoop.h"
#include "kits/banners/GSMessage.h"

#include <gmock/gmock.h>

using ::testing::Contains;
using ::testing::UnorderedElementsAre;

namespace cw::test {

namespace {

struct Listener : PasswordUpdateProtocol {
    std::vector<std::string> messages;
    void passwordSuccessfullUpdated(const std::string& message) override { messages.push_back(message); }
};

class PasswordTest : public AccountTest {
protected:
    std::shared_ptr<PasswordUpdateViewController> showPasswordScreen() {
        auto screen = std::make_shared<PasswordUpdateViewController>();
        screen->setDelegate(listener);
        app->appController()->pushViewController(screen, true);
        host->settle();
        return screen;
    }
    // Types the three texts as a member does, field by field.
    void fill(PasswordUpdateViewController& screen, const std::string& current, const std::string& next,
              const std::string& retyped) {
        for (auto [field, text] : {std::pair{screen.currentPasswordTextField(), current},
                                   std::pair{screen.newPasswordTextField(), next},
                                   std::pair{screen.retypeNewPasswordTextField(), retyped}}) {
            ASSERT_TRUE(host->tap(field));
            field->setText(std::string());
            if (!text.empty()) {
                ASSERT_TRUE(host->type(text));
            }
        }
        // Return on the last field puts the keyboard away from over Save, as she must.
        ASSERT_TRUE(host->type("\n"));
    }
    std::string lastBanner() const { return GSMessage::history().empty() ? "" : GSMessage::history().back().text; }
    bool signsIn(const std::string& password) {
        std::optional<bool> accepted;
        SignInService().signin(
            "demo@cradleway.test", password, screenThatStays(), [&](const BaseHTTPService::Task&, const auto&) { accepted = true; },
            [&](const BaseHTTPService::Task&, const NSError&) { accepted = false; });
        RunLoop::main().runUntil([&] { return accepted.has_value(); }, 10);
        return accepted.value_or(false);
    }

    std::shared_ptr<Listener> listener = std::make_shared<Listener>();
};

TEST_F(PasswordTest, TheChecksComeInOrderAndNothingIsSentUntilTheyPass) {
    launchAsMother();
    auto screen = showPasswordScreen();
    EXPECT_TRUE(host->isShowing("Change Password"));
    EXPECT_TRUE(host->isShowing("Passwords are case-sensitive and must be at least 8 characters."));
    auto save = screen->savePasswordButton();
    EXPECT_FALSE(save->isEnabled());
    EXPECT_EQ(save->alpha(), 0.5);
    // 50 points above the bottom of the screen's view.
    EXPECT_EQ(save->frame().maxY(), screen->view()->bounds().size.height - 50);
    EXPECT_TRUE(screen->newPasswordTextField()->isSecureTextEntry);

    ASSERT_TRUE(host->tap(screen->currentPasswordTextField()));
    EXPECT_TRUE(save->isEnabled());
    EXPECT_EQ(save->alpha(), 1.0);
    // Return moves through the fields and closes the keyboard at the last.
    ASSERT_TRUE(host->type("x\n"));
    EXPECT_TRUE(screen->newPasswordTextField()->isFirstResponder());
    ASSERT_TRUE(host->type("\n"));
    EXPECT_TRUE(screen->retypeNewPasswordTextField()->isFirstResponder());
    ASSERT_TRUE(host->type("\n"));
    EXPECT_FALSE(screen->retypeNewPasswordTextField()->isFirstResponder());

    struct Case {
        std::string current, next, retyped, banner;
    };
    const std::vector<Case> cases = {
        {"cradleway-demo", "", "longenough1", "Password field is empty"},
        {"", "longenough1", "longenough1", "Password field is empty"},
        {"cradleway-demo", "longenough1", "", "Password field is empty"},
        {"cradleway-demo", "short12", "longenough1", "Password should be minimum 8 characters"},
        // Shorter and different: the length wins.
        {"cradleway-demo", "longenough1", "short12", "Password should be minimum 8 characters"},
        // Seven characters that are more than seven bytes.
        {"cradleway-demo", "p\xC3\xA4sswrd", "p\xC3\xA4sswrd", "Password should be minimum 8 characters"},
        {"cradleway-demo", "Longenough1", "longenough1", "Password mismatch"},
    };
    for (const auto& c : cases) {
        // The last banner goes away by itself, uncovering the first field.
        host->advance(3.5);
        GSMessage::clearHistory();
        fill(*screen, c.current, c.next, c.retyped);
        ASSERT_TRUE(host->tapText("Save Password"));
        EXPECT_EQ(lastBanner(), c.banner) << c.next << " / " << c.retyped;
        EXPECT_EQ(GSMessage::history().back().type, GSMessageType::error);
    }
    RunLoop::main().runFor(0.2);
    EXPECT_EQ(requestsAnswered("POST", "member/update_pass"), 0u);
    EXPECT_TRUE(storedEvents("PasswordUpdateScreen").size() <= 1) << "only the screen's showing";

    // The back image goes back; a new screen starts over.
    ASSERT_TRUE(host->tapIdentifier("cwy_backp"));
    EXPECT_FALSE(shownScreen<PasswordUpdateViewController>());
    EXPECT_FALSE(save->isEnabled());
    EXPECT_EQ(save->alpha(), 0.5);
    auto again = showPasswordScreen();
    EXPECT_TRUE(again->currentPasswordTextField()->text().value_or("").empty());
    EXPECT_FALSE(again->savePasswordButton()->isEnabled());
}

TEST_F(PasswordTest, AWrongCurrentPasswordShowsTheServersReason) {
    launchAsMother();
    auto screen = showPasswordScreen();
    fill(*screen, "not-my-password", "brand-new-pass", "brand-new-pass");
    ASSERT_TRUE(host->tapText("Save Password"));
    ASSERT_TRUE(waitUntil([&] { return !lastBanner().empty(); })) << screenTexts();
    EXPECT_EQ(lastBanner(), "The current password is not correct.");
    EXPECT_EQ(shownScreen<PasswordUpdateViewController>(), screen);
    EXPECT_EQ(screen->newPasswordTextField()->text(), "brand-new-pass");
    EXPECT_TRUE(listener->messages.empty());
    ASSERT_TRUE(waitForEvents("PasswordUpdateScreen", 3));
    EXPECT_THAT(eventsOf("PasswordUpdateScreen"),
                UnorderedElementsAre(event("Loaded"),
                                     event("Tap", {{"passwordUpdateTapped", "User clicked to update password"}}),
                                     event("ServerRequest", {{"passwordUpdateSuccess", "User updated password failed"},
                                                             {"errorMessage", "The current password is not correct."}})));
    EXPECT_TRUE(signsIn("cradleway-demo"));
}

TEST_F(PasswordTest, AGoodChangeGoesBackWithTheServersMessageAndTheKeychainFollows) {
    launchAsMother();
    // The member keeps the password for Touch ID.
    const KeychainPasswordItem item(KeychainConfiguration::serviceName, "demo@cradleway.test");
    item.savePassword("cradleway-demo");
    auto screen = showPasswordScreen();
    // The same text in two spellings of "ö": equal as a reader sees it.
    fill(*screen, "cradleway-demo", "new-passw\xC3\xB6rd", "new-passwo\xCC\x88rd");
    ASSERT_TRUE(host->tapText("Save Password"));
    ASSERT_TRUE(waitUntil([&] { return !shownScreen<PasswordUpdateViewController>(); })) << screenTexts() << lastBanner();
    ASSERT_EQ(listener->messages.size(), 1u);
    EXPECT_EQ(listener->messages[0], "Your password has been updated.");
    EXPECT_EQ(item.readPassword(), "new-passw\xC3\xB6rd");
    ASSERT_TRUE(waitForEvents("PasswordUpdateScreen", 3));
    EXPECT_THAT(eventsOf("PasswordUpdateScreen"),
                Contains(event("ServerRequest", {{"passwordUpdateSuccess", "User updated password successfully"}})));
    EXPECT_FALSE(signsIn("cradleway-demo"));
    EXPECT_TRUE(signsIn("new-passw\xC3\xB6rd"));
}

TEST_F(PasswordTest, AMemberWithoutAKeychainItemGetsNoneMade) {
    launchAsMother();
    auto screen = showPasswordScreen();
    fill(*screen, "cradleway-demo", "another-pass-2", "another-pass-2");
    ASSERT_TRUE(host->tapText("Save Password"));
    ASSERT_TRUE(waitUntil([&] { return !listener->messages.empty(); })) << screenTexts() << lastBanner();
    const KeychainPasswordItem item(KeychainConfiguration::serviceName, "demo@cradleway.test");
    EXPECT_THROW(item.readPassword(), KeychainPasswordItem::KeychainError);
}

} // namespace

} // namespace cw::test
