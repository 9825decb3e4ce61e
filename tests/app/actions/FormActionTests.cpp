// One action, one write, and a new action for every change: a form sent again unchanged after a lost
// answer (its head arrived, then the connection reset), and clicked again once quickly answered, is
// stored once; a form changed and changed back is sent as the new action it is, as is the same text
// sent again on purpose; the password change waits for its answer with nothing live. The application
// talks to the demo server through a front that passes every request on and can hold or cut the
// answers to one path.

#include "tests/app/posts/PostsFixture.h"

#include "Controllers/Account/MyAccountViewController.h"
#include "Controllers/Account/MyPartnersViewController.h"
#include "Controllers/Account/PasswordUpdateViewController.h"
#include "Controllers/Baby/MyBabyViewController.h"
#include "Controllers/Journey/JourneyAddViewController.h"
#include "Controllers/Journey/JourneyEditViewController.h"
#include "Controllers/Posts/CommentTableViewController.h"
#include "Services/AuthenticationContext.h"
#include "Services/BaseHTTPService.h"
#include "foundation/dispatch/RunLoop.h"
#include "kits/banners/GSMessage.h"
#include "net/NSURLSessionDataTask.h"
#include "tests/support/Forwarding.h"
#include "tests/support/Gate.h"
#include "tests/support/RecordingServer.h"
#include "uikit/controls/UIEvent.h"
#include "uikit/controls/UIKeyboard.h"

#include <atomic>
#include <set>

namespace cw::test {
namespace {

class FormActions : public PostsScreenTest {
protected:
    void SetUp() override {
        PostsScreenTest::SetUp();
        front.setHandler(
            [this, upstream = demo->baseUrl()](const RecordedRequest& request, httplib::Response& response) {
                forwardRequest(upstream, request, response);
                if (request.path != watched) return;
                if (holding) gate->wait();
                // The server did it; its answer's head arrives with half the body, then the connection
                // resets.
                if (cuts.fetch_sub(1) > 0) {
                    const std::string body = std::exchange(response.body, std::string());
                    response.set_content_provider(body.size(), "application/json",
                                                  [body](size_t, size_t, httplib::DataSink& sink) {
                                                      sink.write(body.data(), body.size() / 2);
                                                      return false;
                                                  });
                }
            });
        prepareBundle(*environment, front.base(), "org.cradleway.posts-tests");
        signInAndLaunch();
    }
    void TearDown() override {
        gate->open();
        front.stop();
        PostsScreenTest::TearDown();
    }
    template <class T> std::shared_ptr<T> openFromMenu(const std::string& row) {
        if (auto screen = std::dynamic_pointer_cast<T>(top())) return screen;
        // A banner over the bar goes by itself first.
        host->advance(3.5);
        EXPECT_TRUE(host->tapIdentifier("hamburgerButton") && host->tapText(row));
        host->settle();
        return std::dynamic_pointer_cast<T>(top());
    }
    // Back on the feed's tab, nothing presented or pushed.
    void home() {
        host->settle();
        if (auto shown = navigation()->presentedViewController(); shown && !shown->isBeingDismissed())
            navigation()->dismiss(false);
        navigation()->popToRootViewController(false);
        host->settle();
        host->tapText("Home");
    }
    // She ends the session from the side menu, back on the sign-in screen.
    void signOut() {
        home();
        host->advance(3.5);
        ASSERT_TRUE(host->tapIdentifier("hamburgerButton") && host->tapText("Logout") &&
                    host->pickAlertAction("OK"));
        ASSERT_TRUE(waitFor([&] { return host->isShowing("Create Account"); }));
    }
    // The field's text replaced as a finger and keys do it.
    void retype(const std::shared_ptr<UIView>& field, const std::string& text) {
        auto line = std::dynamic_pointer_cast<UITextField>(field);
        const auto length = line ? line->text().value_or("").size()
                                 : std::static_pointer_cast<UITextView>(field)->text().size();
        ASSERT_TRUE(host->tap(field) && host->deleteBackward(static_cast<int>(length)) && host->type(text));
    }
    // Her finger on the form's button: where the keyboard lies over it, she first drags the form up
    // above the keys.
    bool press(const std::string& title) {
        for (int drags = 0; drags < 8; ++drags) {
            if (host->tapText(title)) return true;
            const auto& keyboard = Keyboard::shared();
            if (!keyboard.isVisible() || !host->isShowing(title)) return false;
            const CGFloat top = keyboard.frame().minY();
            host->drag({160, top - 20}, {160, top - 120});
            host->settle();
        }
        return false;
    }
    // The `count`th request to the watched path has been answered, and its answer taken.
    bool answered(std::size_t count) {
        return waitFor([&] {
            return front.requestCount(watched) == count && NSURLSessionDataTask::tasksInFlight() == 0;
        });
    }
    // Whatever was sent so far has arrived once a request sent after it has.
    void settleRequests() {
        const std::size_t before = front.requestCount("/m/api/sentinel/");
        BaseHTTPService("sentinel").post("", JSON(), nullptr, nullptr);
        ASSERT_TRUE(waitFor([&] { return front.requestCount("/m/api/sentinel/") == before + 1; }));
        host->settle();
    }
    // Two quick clicks at `at` once the answer on its way has been taken, before anything moves (the
    // application's clock stands until a settle). The platform takes no touch while screens change,
    // which would hide whether a form that leaves on its answer holds by itself: that pause is
    // lifted for these clicks. A form whose answer starts a session has left the window with the
    // whole signed-out interface by then: the clicks land on what replaced it.
    void clickAsTheAnswerIsTaken(UIView& button, CGPoint at) {
        ASSERT_TRUE(RunLoop::main().runUntil([] { return NSURLSessionDataTask::tasksInFlight() == 0; }, 10));
        RunLoop::main().runUntilIdle();
        resetIgnoringInteractionEvents();
        const auto hit = host->viewUnderFinger(at);
        const bool onTheButton =
            hit && (hit.get() == &button || hit->isDescendant(&button) || button.isDescendant(hit.get()));
        ASSERT_TRUE(!button.window() || onTheButton)
            << "the click would land on " << (hit ? describeView(*hit) : std::string("nothing"));
        for (int click = 0; click < 2; ++click) {
            sendTouch(host->window(), at, UITouchPhase::began);
            sendTouch(host->window(), at, UITouchPhase::ended);
        }
    }
    std::set<std::string> keysSent() const {
        std::set<std::string> keys;
        for (const auto& request : front.requestsAt(watched))
            keys.insert(request.header("Idempotency-Key").value_or(""));
        return keys;
    }
    std::optional<std::string> text(const std::string& sql) const { return queryText(*demo, sql); }

    std::string watched;
    std::atomic<bool> holding = false;
    std::atomic<int> cuts = 0;
    std::shared_ptr<Gate> gate = std::make_shared<Gate>();
    RecordingServer front;
};

// A form whose text is edited from `first` to `second` and back: the path its save goes to, its
// button, the field (its screen opened when it is not on top), and what the server and the
// application then hold.
struct EditedForm {
    std::string path, button, first, second;
    std::function<std::shared_ptr<UIView>()> field;
    std::function<void(const std::string& first, const std::string& second)> holds;
};

TEST_F(FormActions, AnEditUndoneAfterALostAnswerAndTheSameTextAgainOnPurposeAreEachStored) {
    const std::vector<EditedForm> forms = {
        {"/m/api/member/update/", "Update", "Emma Rose", "Emma Jane",
         [this] {
             return openFromMenu<MyAccountViewController>("My Account")->formView()->fullNameTextField();
         },
         [this](const std::string& first, const std::string&) {
             EXPECT_EQ(text("SELECT full_name FROM members WHERE email = 'demo@cradleway.test'"), first);
             EXPECT_EQ(AuthenticationContext::shared().user()->fullName(), first)
                 << "the menu says otherwise";
         }},
        {"/m/api/baby/update", "Save", "Olivia Rose", "Olivia May",
         [this] { return openFromMenu<MyBabyViewController>("My Baby")->formAt(0)->babyfullNameTextField(); },
         [this](const std::string& first, const std::string&) {
             const auto baby = AuthenticationContext::shared().babies().front();
             EXPECT_EQ(text("SELECT full_name FROM babies WHERE id = " + std::to_string(*baby->babyId())),
                       first);
             EXPECT_EQ(baby->fullName(), first) << "the phone says otherwise";
         }},
        {"/m/api/comments/new", "Post", "Thank you", "Lovely",
         [this] {
             auto list = std::dynamic_pointer_cast<CommentTableViewController>(top());
             if (!list) list = openComments(card(kHeldNoah), "2 Comments");
             return list->commentTextInputView()->textView();
         },
         [this](const std::string& first, const std::string& second) {
             EXPECT_EQ(count("SELECT COUNT(*) FROM comments WHERE comment_text = '" + first + "'"), 3);
             EXPECT_EQ(count("SELECT COUNT(*) FROM comments WHERE comment_text = '" + second + "'"), 1);
             EXPECT_TRUE(host->isShowing("6 Comments")) << "the list shown is an older answer";
         }},
    };
    for (const auto& form : forms) {
        SCOPED_TRACE(form.path);
        watched = form.path;
        cuts = 1;
        GSMessage::clearHistory();
        std::size_t sent = 0;
        for (const auto& typed : {form.first, form.second, form.first, form.first}) {
            ASSERT_NO_FATAL_FAILURE(retype(form.field(), typed));
            ASSERT_TRUE(press(form.button));
            ASSERT_TRUE(answered(++sent));
        }
        EXPECT_FALSE(GSMessage::history().empty()) << "the lost answer was not said";
        EXPECT_EQ(keysSent().size(), 4u);
        form.holds(form.first, form.second);
        home();
    }
}

// A form filled in: the path its request goes to, its button, how it is opened and filled, and the
// query that counts what it stores.
struct FilledForm {
    std::string path, button;
    std::function<void()> fill;
    std::string stored;
};

TEST_F(FormActions, AFormSentAgainAfterItsAnswerWasCutAndClickedOnceAnsweredIsStoredOnce) {
    const std::vector<FilledForm> forms = {
        {"/m/api/invite/", "Send Invite",
         [this] {
             openFromMenu<MyPartnersViewController>("Family & Friends");
             ASSERT_TRUE(waitSettling(
                 *host, [&] { return host->isShowing("Invited") && !showsActivityOverlay(top()); }));
             ASSERT_TRUE(host->tapIdentifier("add_baby") && host->tapText("Full Name"));
             ASSERT_TRUE(host->type("Nora Bell\nnora@cradleway.test\n"));
             ASSERT_TRUE(host->turnPicker("Grand Parent") && host->tapText("Done"));
         },
         "SELECT COUNT(*) FROM invitations WHERE email = 'nora@cradleway.test'"},
        {"/m/api/post/", "Submit",
         [this] {
             openComposer();
             ASSERT_TRUE(host->type("Kangaroo care"));
         },
         "SELECT COUNT(*) FROM posts WHERE post_text = 'Kangaroo care'"},
        {"/m/api/member/update/", "Update",
         [this] {
             retype(openFromMenu<MyAccountViewController>("My Account")->formView()->fullNameTextField(),
                    "Emma R. Hart");
         },
         "SELECT COUNT(*) FROM members WHERE full_name = 'Emma R. Hart'"},
        {"/m/api/baby/update", "Save",
         [this] {
             retype(openFromMenu<MyBabyViewController>("My Baby")->formAt(0)->babyfullNameTextField(),
                    "Olivia J. Hart");
         },
         "SELECT COUNT(*) FROM babies WHERE full_name = 'Olivia J. Hart'"},
        {"/m/api/baby/nicu_journey_add", "Save",
         [this] {
             ASSERT_TRUE(host->tapText("Journey") &&
                         waitFor([&] { return host->isShowing("Add Milestone"); }));
             ASSERT_TRUE(host->tapText("Add Milestone"));
             // Its kind's picture shown, as she sees it before she saves.
             auto form = std::dynamic_pointer_cast<JourneyAddViewController>(
                 host->topViewController()->childViewControllers().front());
             ASSERT_TRUE(form && waitFor([&] { return form->imageView.lock()->image() != nullptr; }));
         },
         "SELECT COUNT(*) FROM journey_items"},
        // An edit stores no new row: what counts is the actions the server did once for their key.
        {"/m/api/baby/nicu_journey_edit", "Save",
         [this] {
             ASSERT_TRUE(host->tapText("Journey") && waitFor([&] { return host->isShowing("My first bath"); }));
             ASSERT_TRUE(host->tapText("My first bath"));
             ASSERT_TRUE(waitFor([&] { return host->findByIdentifier("card_menu") != nullptr; }));
             ASSERT_TRUE(host->tapIdentifier("card_menu") && host->pickAlertAction("Edit"));
             std::shared_ptr<JourneyEditViewController> form;
             ASSERT_TRUE(waitFor([&] {
                 for (auto shown : {top(), host->topViewController()}) {
                     if (!form) form = std::dynamic_pointer_cast<JourneyEditViewController>(shown);
                     for (const auto& child : shown ? shown->childViewControllers() : std::vector<UIViewControllerPtr>{})
                         if (!form) form = std::dynamic_pointer_cast<JourneyEditViewController>(child);
                 }
                 return form != nullptr;
             })) << ::testing::PrintToString(host->visibleTexts());
             ASSERT_TRUE(waitFor([&] { return form->imageView.lock()->image() != nullptr; }));
         },
         "SELECT COUNT(*) FROM request_replays"},
        // The invited member's registration road to its end: "No" (no more babies) makes her account.
        {"/m/api/signup/", "No",
         [this] {
             ASSERT_NO_FATAL_FAILURE(signOut());
             ASSERT_TRUE(host->tapText("Create Account"));
             ASSERT_TRUE(host->tapIdentifier("inviterNameTextField") && host->type("sarah@cradleway.test"));
             ASSERT_TRUE(host->tapIdentifier("securityCodeTextField") && host->type("424242"));
             ASSERT_TRUE(host->tapText("Submit"));
             ASSERT_TRUE(waitFor([&] { return host->findByIdentifier("passwordTextField") != nullptr; }));
             ASSERT_TRUE(host->tapIdentifier("passwordTextField") && host->type("sarah-family-1\n"));
             ASSERT_TRUE(host->tapText("Continue"));
             // The terms are read to their end before they are accepted.
             ASSERT_TRUE(waitFor([&] {
                 return host->isShowing("\t\u2022\tDo not share your password. You can change it at any time "
                                        "under My Account.");
             }));
             ASSERT_TRUE(host->tapText("I Accept"));
             ASSERT_TRUE(host->tapIdentifier("mrnTextField") && host->type("CW200001"));
             ASSERT_TRUE(host->tapText("Search"));
             ASSERT_TRUE(waitFor([&] { return host->isShowing("Mia Lopez"); }));
             ASSERT_TRUE(host->tapText("Continue") && waitFor([&] { return host->isShowing("No"); }));
         },
         "SELECT COUNT(*) FROM members WHERE email = 'sarah@cradleway.test'"},
    };
    for (const auto& form : forms) {
        SCOPED_TRACE(form.path);
        watched = form.path;
        cuts = 1;
        const auto before = count(form.stored);
        ASSERT_NO_FATAL_FAILURE(form.fill());
        ASSERT_TRUE(press(form.button));
        ASSERT_TRUE(answered(1));
        // Tried again as it stands; two quick clicks land on the button as that answer is taken,
        // before the form has gone, and two more once the screens have settled.
        gate = std::make_shared<Gate>();
        holding = true;
        ASSERT_TRUE(press(form.button));
        ASSERT_TRUE(RunLoop::main().runUntil([&] { return front.requestCount(watched) == 2; }, 10));
        const auto button = host->findByText(form.button);
        ASSERT_TRUE(button);
        const CGPoint at = host->tapPointOf(*button);
        holding = false;
        gate->open();
        ASSERT_NO_FATAL_FAILURE(clickAsTheAnswerIsTaken(*button, at));
        press(form.button);
        press(form.button);
        ASSERT_NO_FATAL_FAILURE(settleRequests());
        EXPECT_EQ(front.requestCount(watched), 2u) << "a click after the answer sent it again";
        EXPECT_EQ(keysSent().size(), 1u) << "the try after the cut was taken for a new action";
        EXPECT_EQ(count(form.stored), before + 1);
        home();
    }
}

TEST_F(FormActions, APasswordChangeDoubleTappedWhileItsAnswerIsHeldIsSentOnceAndTheScreenWaitsForIt) {
    watched = "/m/api/member/update_pass/";
    holding = true;
    auto account = openFromMenu<MyAccountViewController>("My Account");
    ASSERT_TRUE(account && host->tap(account->formView()->passwordField()));
    auto screen = std::dynamic_pointer_cast<PasswordUpdateViewController>(top());
    ASSERT_TRUE(screen);
    for (const auto& [field, typed] :
         {std::pair{screen->currentPasswordTextField(), "cradleway-demo"},
          std::pair{screen->newPasswordTextField(), "a-new-long-password"},
          std::pair{screen->retypeNewPasswordTextField(), "a-new-long-password\n"}})
        ASSERT_TRUE(host->tap(field) && host->type(typed));
    ASSERT_TRUE(host->tapText("Save Password"));
    ASSERT_TRUE(waitFor([&] { return front.requestCount(watched) == 1; }));
    host->tapText("Save Password");
    host->tapIdentifier("cwy_backp");
    host->advance(1);
    EXPECT_EQ(top(), UIViewControllerPtr(screen)) << "she left before hearing whether it changed";
    EXPECT_TRUE(showsActivityOverlay(screen));
    gate->open();
    ASSERT_TRUE(waitFor([&] { return top() == account; }));
    ASSERT_NO_FATAL_FAILURE(settleRequests());
    EXPECT_EQ(front.requestCount(watched), 1u) << "the second tap sent it again";
}

} // namespace
} // namespace cw::test
