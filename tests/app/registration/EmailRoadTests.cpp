#include "Controllers/SignIn/EmailVerificationFailureViewController.h"
#include "Controllers/SignIn/EmailVerificationViewController.h"
#include "Controllers/SignIn/RegistrationEmailViewController.h"
#include "Controllers/SignIn/RegistrationViewController.h"
#include "Controllers/SignIn/SignUpViewController.h"
#include "ScreenFixture.h"
#include "foundation/dispatch/RunLoop.h"
#include "kits/banners/GSMessage.h"
#include "tests/app/signin/SignInFixture.h"
#include "tests/support/KeyboardFinger.h"
#include "uikit/controls/UIKeyboard.h"

#include <gmock/gmock.h>

#include <algorithm>
#include <chrono>
#include <future>

using ::testing::ElementsAre;

namespace cw::test {

namespace {

const char* kAlex = "alex.moreau@cradleway.test";

std::vector<std::string> boxes(EmailVerificationViewController& screen) {
    std::vector<std::string> titles;
    for (const auto& box : screen.inputButtons())
        titles.push_back(box->title(UIControlStateNormal).value_or(""));
    return titles;
}

} // namespace

// The registration by e-mail against the demo server, which prints each code it sends.
class EmailRoad : public SignInTest {
protected:
    void SetUp() override {
        SignInTest::SetUp();
        launch();
        flow()->pushViewController(instantiateViewController<SignUpViewController>(*UIStoryboard::named("SignInSignUp")),
                                   false);
        host->settle();
        ASSERT_TRUE(host->tapText("No, I don't"));
        ASSERT_TRUE(topAs<RegistrationEmailViewController>());
    }

    // "Send" for the address in the field; the verification screen it opens.
    std::shared_ptr<EmailVerificationViewController> send() {
        const auto before = codes().size();
        EXPECT_TRUE(host->tapText("Send"));
        EXPECT_TRUE(waitFor([&] { return topAs<EmailVerificationViewController>() != nullptr; }));
        EXPECT_EQ(codes().size(), before + 1);
        return topAs<EmailVerificationViewController>();
    }
    // The codes the server printed, oldest first.
    std::vector<std::string> codes() const {
        std::vector<std::string> result;
        const std::string marker = "e-mail verification: code ";
        for (const auto& line : consoleLines())
            if (auto at = line.find(marker); at != std::string::npos)
                result.push_back(line.substr(at + marker.size(), 4));
        return result;
    }
    static std::string wrong(const std::string& code) {
        return std::to_string((std::stoi(code) + 1) % 9000 + 1000);
    }
    std::shared_ptr<EmailVerificationFailureViewController> fail(const std::string& code) {
        EXPECT_TRUE(host->type(code));
        EXPECT_TRUE(waitFor([&] { return topAs<EmailVerificationFailureViewController>() != nullptr; }));
        EXPECT_TRUE(waitForText("Your email could not be verified"));
        return topAs<EmailVerificationFailureViewController>();
    }
};

TEST_F(EmailRoad, TheCodeTypedDigitByDigitLeadsToTheAccountFormWhichChecksItselfAndThenTheAddress) {
    EXPECT_TRUE(host->isShowing("Enter your email address. Verification codes will be sent."));
    typeInto("emailTextField", kAlex);
    auto verification = send();
    ASSERT_TRUE(verification);
    const std::string status = std::string("A verification code has been sent to ") + kAlex + ".";
    ASSERT_TRUE(GSMessage::shown(*verification));
    EXPECT_EQ(GSMessage::shown(*verification)->text(), status);
    EXPECT_EQ(GSMessage::shown(*verification)->type(), GSMessageType::success);

    // Three digits send nothing (a three-digit code would fail); the fourth sends.
    const std::string code = codes().back();
    ASSERT_TRUE(host->type(code.substr(0, 1)));
    ASSERT_TRUE(host->type(code.substr(1, 1)));
    ASSERT_TRUE(host->type(code.substr(2, 1)));
    EXPECT_THAT(boxes(*verification), ElementsAre(code.substr(0, 1), code.substr(1, 1), code.substr(2, 1), ""));
    RunLoop::main().runFor(0.2);
    host->settle();
    EXPECT_EQ(top(), UIViewControllerPtr(verification));
    ASSERT_TRUE(host->type(code.substr(3, 1)));
    ASSERT_TRUE(waitFor([&] { return topAs<RegistrationViewController>() != nullptr; }));
    auto account = topAs<RegistrationViewController>();
    int statusBanners = 0;
    for (const auto& shown : GSMessage::history())
        statusBanners += shown.text == status;
    EXPECT_EQ(statusBanners, 1);

    // The verified address, grey and locked.
    auto& form = *account->formView();
    EXPECT_EQ(form.emailTextField()->text(), kAlex);
    EXPECT_FALSE(form.emailTextField()->isEnabled());
    EXPECT_EQ(form.emailTextField()->textColor(), UIColor::grayColor());

    // The relationship from its wheel: "Select One" is none.
    typeInto("fullNameTextField", "Alex Moreau");
    ASSERT_TRUE(host->tapIdentifier("relationshipField"));
    ASSERT_TRUE(host->turnPicker("Friend"));
    // Turned back a row at a time, the wheel last rests on "Mother" before "Select One".
    ASSERT_TRUE(host->turnPicker("Select One"));
    EXPECT_EQ(form.relationshipField()->text().value_or(""), "Mother");
    ASSERT_TRUE(host->turnPicker("Grand Parent"));
    ASSERT_TRUE(host->tapText("Done"));
    EXPECT_EQ(form.relationshipField()->text().value_or(""), "Grand Parent");

    // Seven characters of password: marked, and the one banner.
    typeInto("passwordField", "1234567");
    account->view()->endEditing(true);
    host->settle();
    ASSERT_TRUE(host->tapIdentifier("createAccountButton"));
    ASSERT_TRUE(GSMessage::shown(*account));
    EXPECT_EQ(GSMessage::shown(*account)->text(), "All fields are required.");
    EXPECT_EQ(hexOf(form.passwordField()->placeholderColor), "#DB241B");
    EXPECT_EQ(hexOf(form.fullNameTextField()->placeholderColor), "#939693");
    EXPECT_EQ(hexOf(form.relationshipField()->placeholderColor), "#939693");

    // Eight pass; the server finds the address free (an empty "message"): recorded, and the
    // person stays.
    typeInto("passwordField", "8");
    account->view()->endEditing(true);
    host->settle();
    ASSERT_TRUE(host->tapIdentifier("createAccountButton"));
    ASSERT_TRUE(waitForEvent("CreateAccountScreen", "ServerRequest", "createAccountSuccess"));
    EXPECT_EQ(hexOf(form.passwordField()->placeholderColor), "#939693");
    EXPECT_EQ(top(), UIViewControllerPtr(account));
    EXPECT_FALSE(showsActivityOverlay(account));
    EXPECT_FALSE(showsMainInterface());
    EXPECT_TRUE(detailsWith("CreateAccountScreen", "userRegister").is_object());
    EXPECT_EQ(detailsWith("CreateAccountScreen", "createAccountSuccess"),
              (nlohmann::json{{"createAccountSuccess", "User successfully created account"}}));
    EXPECT_EQ(countEvents("CreateAccountScreen", "Loaded"), 1u);
    // The e-mail, verification and failure screens report nothing.
    for (const auto& e : events())
        EXPECT_THAT(e.screen, ::testing::AnyOf("LoginScreen", "SignUpScreen", "CreateAccountScreen"));
}

// The address typed by finger on the drawn keys, its "@" and "." among the letters; the keyboard's
// Done key puts the keys away from over "Send".
TEST_F(EmailRoad, TheAddressTypedOnTheDrawnKeysIsSentOnceDonePutsTheKeysAway) {
    ASSERT_TRUE(host->tapIdentifier("emailTextField"));
    ASSERT_TRUE(Keyboard::shared().keyFrame("@")) << "an e-mail address's keys show the at sign";
    ASSERT_TRUE(typeWithKeys(*host, kAlex));
    ASSERT_TRUE(tapKey(*host, "Done"));
    EXPECT_FALSE(Keyboard::shared().isVisible()) << "the Done key did nothing";
    ASSERT_TRUE(send());
    EXPECT_TRUE(host->isShowing(std::string("A verification code has been sent to ") + kAlex + "."));
}

TEST_F(EmailRoad, AWrongCodeOffersTheSameAddressOrANewOneAndAPasteSendsTheFourShown) {
    typeInto("emailTextField", kAlex);
    auto verification = send();
    ASSERT_TRUE(verification);

    // A wrong code: the failure screen over four empty boxes.
    auto failure = fail(wrong(codes().back()));
    ASSERT_TRUE(failure);
    EXPECT_THAT(boxes(*verification), ElementsAre("", "", "", ""));
    EXPECT_FALSE(showsActivityOverlay(verification));

    // "New Email Address": back to an empty address.
    ASSERT_TRUE(host->tapText("New Email Address"));
    auto emailScreen = topAs<RegistrationEmailViewController>();
    ASSERT_TRUE(emailScreen);
    EXPECT_EQ(emailScreen->emailTextField()->text().value_or(""), "");
    typeInto("emailTextField", kAlex);
    verification = send();
    ASSERT_TRUE(verification);
    ASSERT_TRUE(fail(wrong(codes().back())));

    // "Resend Verification Code": the address kept, a new code sent.
    ASSERT_TRUE(host->tapText("Resend Verification Code"));
    ASSERT_EQ(top(), UIViewControllerPtr(emailScreen));
    EXPECT_EQ(emailScreen->emailTextField()->text(), kAlex);
    verification = send();
    ASSERT_TRUE(verification);

    // Six digits pasted: the boxes show four, and those four are what is checked.
    ASSERT_TRUE(host->paste(codes().back() + "99"));
    EXPECT_EQ(verification->textField()->text(), codes().back());
    ASSERT_TRUE(waitFor([&] { return topAs<RegistrationViewController>() != nullptr; }));
    EXPECT_EQ(topAs<RegistrationViewController>()->email, kAlex);
}

// The verification screen's send rule against a recording server.
class VerificationRule : public ScreenTest {};

TEST_F(VerificationRule, OnlyFourDigitsAreSentOnceAsANumberAndLettersSendNothing) {
    auto screen = std::make_shared<EmailVerificationViewController>();
    screen->email = std::string("a@b.test");
    show(screen);
    ASSERT_TRUE(host->type("0a42"));
    RunLoop::main().runFor(0.1);
    EXPECT_TRUE(server.requestsAt("/m/api/verify/email").empty()) << "a letter";
    EXPECT_THAT(boxes(*screen), ElementsAre("0", "a", "4", "2"));
    ASSERT_TRUE(host->deleteBackward(4));
    EXPECT_THAT(boxes(*screen), ElementsAre("", "", "", ""));

    // Leading zeros: a number. While the check runs, further keys send nothing more.
    server.reply("POST", "/m/api/verify/email", Reply{500, R"({"message": "no"})"});
    // The server holds its answer until the extra key is typed, so the check is still running.
    std::promise<void> release;
    server.setHandler([released = release.get_future().share()](const RecordedRequest& request,
                                                                 httplib::Response&) {
        if (request.path == "/m/api/verify/email") released.wait_for(std::chrono::seconds(10));
    });
    const bool typedWhileChecking = host->type("0042") && host->type("7");
    release.set_value();
    ASSERT_TRUE(typedWhileChecking);
    ASSERT_TRUE(waitFor([&] { return screen->navigationController()->topViewController() != screen; }));
    RunLoop::main().runFor(0.1);
    const auto sent = server.requestsAt("/m/api/verify/email");
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent.front().json(), (nlohmann::json{{"email", "a@b.test"}, {"code", 42}}));
    EXPECT_TRUE(sent.front().json()["code"].is_number_integer());
}


TEST_F(VerificationRule, TheFourBoxesAreSeventyPointsWideAndNarrowerOnASmallScreen) {
    for (const CGFloat width : {375.0, 320.0}) {
        screenSize = {width, 568};
        host.reset();
        auto screen = std::make_shared<EmailVerificationViewController>();
        show(screen);
        const CGFloat side = std::min<CGFloat>(70, (width - 40 - 36) / 4);
        const auto& boxes = screen->inputButtons();
        for (std::size_t i = 0; i < boxes.size(); ++i) {
            const CGRect frame = frameOnScreen(*boxes[i]);
            EXPECT_NEAR(frame.width(), side, 0.5) << width << " box " << i;
            EXPECT_NEAR(frame.height(), side * 1.3, 0.5) << width << " box " << i;
        }
        EXPECT_NEAR(frameOnScreen(*boxes.front()).minX(), 20, 0.5);
        EXPECT_NEAR(frameOnScreen(*boxes.back()).maxX(), width - 20, 0.5);
        navigation.reset();
    }
}

// The account screen's member check against replies the demo server never gives.
class AccountCheck : public ScreenTest {
protected:
    std::shared_ptr<RegistrationViewController> account;

    void SetUp() override {
        ScreenTest::SetUp();
        open();
    }
    // The account form, filled, on a screen of `screenSize`.
    void open() {
        account = std::make_shared<RegistrationViewController>();
        account->email = std::string("a@b.test");
        show(account);
        auto& form = *account->formView();
        form.fullNameTextField()->setText(std::string(" "));
        form.relationshipField()->setText(std::string("Mother"));
        form.passwordField()->setText(std::string("12345678"));
    }
    // The banner after "Create Account" with `reply` queued ("" for none).
    std::string bannerAfter(const Reply& reply) {
        server.reply("POST", "/m/api/member/check/", reply);
        GSMessage::clearHistory();
        const auto before = server.requestsAt("/m/api/member/check/").size();
        // The button lies below the fold of this tall form; its action is the same.
        account->createAccountTapped();
        EXPECT_TRUE(waitFor([&] { return server.requestsAt("/m/api/member/check/").size() > before; }));
        // The server has the request; its reply still has to come back on a busy machine.
        EXPECT_TRUE(waitForOverlayToGo());
        return GSMessage::history().empty() ? "" : GSMessage::history().back().text;
    }
};

TEST_F(AccountCheck, EachReplyEndsWithoutTheOverlayAndEveryFailureSaysSomething) {
    EXPECT_EQ(bannerAfter(Reply{200, R"({"message": "This address is taken."})"}), "This address is taken.");
    EXPECT_EQ(bannerAfter(Reply{200, "{}"}), "");
    EXPECT_EQ(bannerAfter(Reply{200, "[]"}), "Error Occured") << "not an object";
    EXPECT_EQ(bannerAfter(Reply{409, R"({"message": "In use."})"}), "In use.");
    EXPECT_EQ(bannerAfter(Reply{409, R"({"status": "In use."})"}), "Unexpected error. Please try again.");
    EXPECT_EQ(server.requestsAt("/m/api/member/check/").front().json(), (nlohmann::json{{"email", "a@b.test"}}));
    waitFor([&] { return events().size() >= 10; });
    int failures = 0, successes = 0;
    for (const auto& e : events()) {
        failures += e[2].contains("createAccountFailure");
        successes += e[2].contains("createAccountSuccess");
    }
    EXPECT_EQ(failures, 4) << "all but the empty object";
    EXPECT_EQ(successes, 0);
}

TEST_F(AccountCheck, AServersTenThousandCharacterFailureIsABannerOfAFewLinesOverTheForm) {
    for (const CGSize size : {CGSize{320, 568}, CGSize{375, 667}}) {
        screenSize = size;
        host.reset();
        open();
        std::string flood;
        while (flood.size() < 10'000)
            flood += "This address cannot be used. ";
        flood.resize(10'000);
        server.reply("POST", "/m/api/member/check/", Reply{409, nlohmann::json{{"message", flood}}.dump()});
        account->createAccountTapped();
        ASSERT_TRUE(waitFor([&] { return GSMessage::shown(*account) != nullptr; })) << size.width;
        const auto banner = GSMessage::shown(*account);
        EXPECT_EQ(banner->text(), flood) << "the whole text is given";
        host->advance(GSMessage::kAnimationDuration);
        // A strip of a few lines ending in an ellipsis, the form in view below it.
        const UILabel& label = *banner->textLabel();
        const CGFloat lines = label.sizeThatFits({label.bounds().size.width, 10000}).height / label.font().lineHeight();
        EXPECT_LE(lines, GSMessage::kMostNumberOfLines + 0.5) << size.width;
        EXPECT_EQ(label.lineBreakMode(), NSLineBreakMode::byTruncatingTail);
        EXPECT_LT(frameOnScreen(*banner).maxY(), size.height / 2) << size.width;
        EXPECT_GT(frameOnScreen(*account->formView()->passwordField()).minY(), frameOnScreen(*banner).maxY())
            << size.width << ": the password field stays in view";
        navigation.reset();
    }
}

} // namespace cw::test
