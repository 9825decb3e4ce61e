#include "foundation/dispatch/Timer.h"
#include "foundation/time/Clock.h"
#include "foundation/bundle/Bundle.h"
#include "foundation/dispatch/RunLoop.h"
#include "host/HeadlessHost.h"
#include "host/TouchIDPrompt.h"
#include "security/biometrics/LAContext.h"
#include "uikit/controllers/MFMailComposeViewController.h"
#include "uikit/controllers/UIActivityViewController.h"
#include "uikit/controllers/UIImagePickerController.h"
#include "uikit/controllers/UNUserNotificationCenter.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <future>
#include <thread>

using ::testing::ElementsAre;

namespace {

// An application that writes down what the system tells it.
class ListeningApp : public UIApplicationDelegate,
                     public UNUserNotificationCenterDelegate,
                     public UIImagePickerControllerDelegate,
                     public MFMailComposeViewControllerDelegate,
                     public std::enable_shared_from_this<ListeningApp> {
public:
    bool didFinishLaunchingWithOptions(UIApplication&, const LaunchOptions&) override {
        window = std::make_shared<UIWindow>();
        root = std::make_shared<UIViewController>();
        window->setRootViewController(root);
        window->makeKeyAndVisible();
        UNUserNotificationCenter::current().setDelegate(shared_from_this());
        return true;
    }
    void applicationDidBecomeActive(UIApplication&) override { calls.push_back("didBecomeActive"); }
    void applicationWillEnterForeground(UIApplication&) override { calls.push_back("willEnterForeground"); }
    void applicationDidEnterBackground(UIApplication&) override { calls.push_back("didEnterBackground"); }
    void didRegisterForRemoteNotificationsWithDeviceToken(UIApplication&, const Data& token) override {
        calls.push_back("token " + std::to_string(token.size()));
    }
    void didFailToRegisterForRemoteNotificationsWithError(UIApplication&, const NSError& e) override {
        calls.push_back("registration failed " + std::to_string(e.code));
    }
    void didReceiveRemoteNotification(UIApplication& app, const NotificationUserInfo& info,
                                      std::function<void(UIBackgroundFetchResult)> completion) override {
        const char* state = app.applicationState() == UIApplicationState::active     ? "active"
                            : app.applicationState() == UIApplicationState::inactive ? "inactive"
                                                                                     : "background";
        calls.push_back(std::string("push in ") + state + " " + info.value("screen", ""));
        completion(UIBackgroundFetchResult::newData);
    }
    void willPresent(UNUserNotificationCenter&, const UNNotification& n,
                     std::function<void(UNNotificationPresentationOptions)> completion) override {
        calls.push_back("willPresent " + n.request.content.userInfo.value("screen", ""));
        completion(UNNotificationPresentationOptionAlert | UNNotificationPresentationOptionBadge);
    }
    void didReceive(UNUserNotificationCenter&, const UNNotificationResponse& r,
                    std::function<void()> completion) override {
        const bool inactive = UIApplication::shared().applicationState() == UIApplicationState::inactive;
        calls.push_back("tapped " + r.notification.request.content.userInfo.value("screen", "") +
                        (inactive ? " while inactive" : ""));
        completion();
    }
    void didFinishPickingMediaWithInfo(UIImagePickerController& picker,
                                       const UIImagePickerInfo& info) override {
        auto image = std::any_cast<std::shared_ptr<UIImage>>(info.at(UIImagePickerControllerOriginalImage));
        calls.push_back("picked " + std::to_string(image->pixelWidth()) + " edited " +
                        std::to_string(info.count(UIImagePickerControllerEditedImage)));
        picker.dismiss(true);
    }
    void didFinishWith(MFMailComposeViewController& mail, MFMailComposeResult result,
                       const std::optional<NSError>&) override {
        calls.push_back("mail " + std::to_string(static_cast<int>(result)));
        mail.dismiss(true);
    }

    std::shared_ptr<UIWindow> window;
    std::shared_ptr<UIViewController> root;
    std::vector<std::string> calls;
};

} // namespace

TEST(SystemServices, PushesInFrontAndTappedFromTheBackgroundReachTheApplicationInTheSystemsOrder) {
    cw::HeadlessHost host;
    auto app = std::make_shared<ListeningApp>();
    host.launch(app);
    app->calls.clear();

    auto result = host.deliverPush({{"screen", "feed"}, {"not_id", 3}});
    EXPECT_THAT(app->calls, ElementsAre("willPresent feed", "push in active feed"));
    EXPECT_EQ(UNUserNotificationCenter::current().lastPresentationOptions(),
              UNNotificationPresentationOptionAlert | UNNotificationPresentationOptionBadge);
    EXPECT_EQ(result, UIBackgroundFetchResult::newData);

    host.enterBackground();
    app->calls.clear();
    host.deliverPush({{"screen", "post"}});
    host.tapPush({{"screen", "post"}});
    EXPECT_THAT(app->calls, ElementsAre("push in background post", "willEnterForeground",
                                        "tapped post while inactive", "didBecomeActive"));
}

TEST(SystemServices, RemoteRegistrationHandsOverTheHostsTokenOrItsError) {
    cw::HeadlessHost host;
    auto app = std::make_shared<ListeningApp>();
    host.launch(app);
    app->calls.clear();
    UIApplication::shared().registerForRemoteNotifications();
    EXPECT_TRUE(app->calls.empty()) << "the token comes on a later turn of the run loop";
    host.settle();
    EXPECT_THAT(app->calls, ElementsAre("token 4"));
    EXPECT_TRUE(UIApplication::shared().isRegisteredForRemoteNotifications());
    UIApplication::shared().hostSettings().registrationError = NSError("NSCocoaErrorDomain", 3010);
    UIApplication::shared().registerForRemoteNotifications();
    host.settle();
    EXPECT_EQ(app->calls.back(), "registration failed 3010");

    UIApplication::shared().open("tel://5550100");
    UIApplication::shared().open("cradleway-unknown://x");
    EXPECT_THAT(UIApplication::shared().openedURLs(), ElementsAre("tel://5550100"));
    EXPECT_FALSE(UIApplication::shared().canOpenURL("not a url"));
}

TEST(SystemServices, ThePhotoPickerTakesAReadableFileOnly) {
    cw::HeadlessHost host;
    auto app = std::make_shared<ListeningApp>();
    host.launch(app);
    app->calls.clear();
    const auto dir = std::filesystem::temp_directory_path() / ("cw-picker-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "broken.png") << "not a picture";
    const std::uint32_t pixels[4] = {0xffff0000u, 0xff00ff00u, 0xff0000ffu, 0xffffffffu};
    ASSERT_TRUE(UIImage::fromPixels(2, 2, 1, pixels)->writePNG(dir / "photo.png"));

    auto picker = std::make_shared<UIImagePickerController>();
    picker->allowsEditing = true;
    picker->setDelegate(app);
    app->root->present(picker, true);
    host.settle();
    std::string error;
    EXPECT_FALSE(host.pickImage(dir / "broken.png", &error));
    EXPECT_FALSE(error.empty());
    // A bad file leaves the picker open, saying why.
    EXPECT_TRUE(host.isShowing("Cannot Open Photo"));
    ASSERT_TRUE(host.pickAlertAction("OK"));
    EXPECT_EQ(host.topViewController(), picker) << "a bad file leaves the picker open";
    EXPECT_TRUE(host.pickImage(dir / "photo.png", &error)) << error;
    EXPECT_THAT(app->calls, ElementsAre("picked 2 edited 1"));
    EXPECT_EQ(host.topViewController(), app->root);

    auto second = std::make_shared<UIImagePickerController>();
    app->root->present(second, false);
    EXPECT_TRUE(host.cancelImagePicker());
    EXPECT_EQ(host.topViewController(), app->root) << "with no delegate a cancelled picker dismisses itself";
    std::filesystem::remove_all(dir);
}

TEST(SystemServices, ShareSheetAndMailComposerEndAsTheHostDecides) {
    cw::HeadlessHost host;
    auto app = std::make_shared<ListeningApp>();
    host.launch(app);
    app->calls.clear();

    auto sheet = std::make_shared<UIActivityViewController>(std::vector<std::any>{std::string("A card")});
    sheet->excludedActivityTypes = {UIActivityTypePrint};
    sheet->setValue(std::string("Cradleway"), "subject");
    std::vector<std::string> outcomes;
    sheet->completionWithItemsHandler = [&](std::optional<UIActivityType> type, bool completed,
                                            const std::vector<std::any>&, const std::optional<NSError>&) {
        outcomes.push_back(type.value_or("none") + (completed ? " done" : " cancelled"));
    };
    app->root->present(sheet, true);
    host.settle();
    EXPECT_TRUE(host.isShowing("Cradleway"));
    EXPECT_TRUE(host.chooseShareTarget(UIActivityTypePrint)) << "there is a sheet to answer";
    EXPECT_TRUE(outcomes.empty()) << "an excluded target cannot be chosen";
    EXPECT_TRUE(host.tapText("Mail"));
    EXPECT_THAT(outcomes, ElementsAre(UIActivityTypeMail + " done"));
    EXPECT_EQ(host.topViewController(), app->root);

    auto mail = std::make_shared<MFMailComposeViewController>();
    mail->setMailComposeDelegate(app);
    mail->setToRecipients({"care@example.org"});
    mail->setSubject("Feedback");
    app->root->present(mail, true);
    host.settle();
    EXPECT_TRUE(host.isShowing("To: care@example.org"));
    EXPECT_TRUE(host.tapText("Send"));
    EXPECT_FALSE(host.finishMail(MFMailComposeResult::cancelled)) << "the composer is gone";
    EXPECT_THAT(app->calls, ElementsAre("mail 2"));
}

TEST(SystemServices, SettlingDoesNotRunTheClockAwayWithARepeatingTimer) {
    cw::HeadlessHost host;
    auto app = std::make_shared<ListeningApp>();
    host.launch(app);
    int ticks = 0;
    auto spinner = Timer::scheduledTimer(0.05, true, [&](Timer&) { ++ticks; });
    const double before = Clock::uptime();
    host.settle();
    EXPECT_LE(Clock::uptime() - before, 2.01);
    EXPECT_GT(ticks, 0);
    const int afterSettle = ticks;
    host.advance(1.0);
    EXPECT_NEAR(ticks - afterSettle, 20, 1) << "advance fires each due tick in turn";
    spinner->invalidate();
}

namespace {

// An owner check started as the sign-in screen starts one; its reply, once it came.
struct PendingCheck {
    std::promise<std::optional<long long>> replied; // none: a match; else the error's code
    std::future<std::optional<long long>> reply = replied.get_future();
    void start(const std::string& reason) {
        LAContext context;
        context.evaluatePolicy(LAPolicy::deviceOwnerAuthenticationWithBiometrics, reason,
                               [this](bool success, std::optional<NSError> error) {
                                   replied.set_value(success || !error ? std::nullopt
                                                                       : std::optional<long long>(error->code));
                               });
    }
    bool answered() { return reply.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }
    std::optional<long long> outcome() {
        EXPECT_EQ(reply.wait_for(std::chrono::seconds(10)), std::future_status::ready) << "no reply";
        return reply.get();
    }
};

} // namespace

TEST(SystemServices, ATouchIDCheckShowsTheSystemsPromptWithItsReasonUntilAFingerOrCancelAnswers) {
    cw::HeadlessHost host;
    host.launch(std::make_shared<cw::WhiteScreenApplication>());
    Bundle::main().setInfoDictionaryValue("CFBundleDisplayName", "Cradleway");
    // As the window host does: checks wait at the prompt.
    cw::installTouchIDPrompt();
    host.setTouchID(true, true);

    // A finger that matches answers the check; the prompt goes.
    {
        PendingCheck check;
        check.start("Login with Touch ID");
        host.settle();
        EXPECT_TRUE(host.isShowing("Touch ID for \u201cCradleway\u201d"));
        EXPECT_TRUE(host.isShowing("Login with Touch ID"));
        EXPECT_TRUE(host.isShowing("Cancel"));
        EXPECT_FALSE(check.answered()) << "the check waits for a finger";
        host.setTouchID(true, true);
        EXPECT_EQ(check.outcome(), std::nullopt);
        host.settle();
        EXPECT_FALSE(host.isShowing("Login with Touch ID"));
    }
    // A finger that does not match fails it; the prompt's Cancel cancels it.
    {
        PendingCheck check;
        check.start("Login with Touch ID");
        host.settle();
        host.setTouchID(true, false);
        EXPECT_EQ(check.outcome(), LAError::authenticationFailed);
    }
    {
        PendingCheck check;
        check.start("Login with Touch ID");
        host.settle();
        ASSERT_TRUE(host.tapText("Cancel"));
        EXPECT_EQ(check.outcome(), LAError::userCancel);
        EXPECT_FALSE(host.isShowing("Login with Touch ID"));
    }
    cw::removeTouchIDPrompt();
    Bundle::main().setInfoDictionaryValue("CFBundleDisplayName", nullptr);
    cw::setBiometricAnswers({});
}
