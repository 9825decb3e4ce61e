// The system's sheets show what an application gives them, whether it gives it before their view
// loaded, after (a caller that touched the view first, to tint it), or while they are shown; the
// mail composer's Send only sends a mail that goes to someone, telling its delegate so; and on the
// smallest phone a sheet's title, however long, stays between its bar's buttons.

#include "host/HeadlessHost.h"
#include "uikit/controllers/MFMailComposeViewController.h"
#include "uikit/controllers/UIActivityViewController.h"
#include "uikit/controllers/UIAlertController.h"
#include "uikit/controllers/UIApplication.h"
#include "uikit/controllers/UIImagePickerController.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

class MailListener : public MFMailComposeViewControllerDelegate {
public:
    void didFinishWith(MFMailComposeViewController& mail, MFMailComposeResult result,
                       const std::optional<NSError>&) override {
        results.push_back(result);
        mail.dismiss(true);
    }
    std::vector<MFMailComposeResult> results;
};

// One sheet: how it is made, what it is given, and what it then shows (and must not show); then what
// it is given while shown, and what it shows after that.
struct Sheet {
    std::string name;
    std::function<UIViewControllerPtr()> make;
    std::function<void(UIViewController&)> give;
    std::vector<std::string> shows, hides;
    std::function<void(UIViewController&)> giveWhileShown;
    std::vector<std::string> showsAfter;
};

std::vector<Sheet> sheets() {
    return {
        {"mail composer", [] { return std::make_shared<MFMailComposeViewController>(); },
         [](UIViewController& c) {
             auto& mail = static_cast<MFMailComposeViewController&>(c);
             mail.setToRecipients({"care@example.org"});
             mail.setCcRecipients({"nurse@example.org"});
             mail.setSubject("Feedback for the ward");
             mail.setMessageBody("Thank you for the night shift", false);
         },
         {"To: care@example.org", "Cc: nurse@example.org", "Subject: Feedback for the ward",
          "Feedback for the ward", "Thank you for the night shift"},
         {"New Message"},
         [](UIViewController& c) { static_cast<MFMailComposeViewController&>(c).setSubject("Thanks"); },
         {"Subject: Thanks", "Thanks"}},
        {"share sheet",
         [] { return std::make_shared<UIActivityViewController>(std::vector<std::any>{std::string("Noah's day")}); },
         [](UIViewController& c) {
             auto& share = static_cast<UIActivityViewController&>(c);
             share.setValue(std::string("A picture of Noah"), "subject");
             share.excludedActivityTypes = {UIActivityTypePrint, UIActivityTypePostToTwitter};
         },
         {"A picture of Noah", "Noah's day", "Mail", "Copy"},
         {"Print", "Twitter"},
         [](UIViewController& c) {
             static_cast<UIActivityViewController&>(c).setValue(std::string("Noah at one month"), "subject");
         },
         {"Noah at one month"}},
        {"alert",
         [] { return UIAlertController::make(std::nullopt, std::nullopt, UIAlertControllerStyle::alert); },
         [](UIViewController& c) {
             auto& alert = static_cast<UIAlertController&>(c);
             alert.setTitle("Logout");
             alert.setMessage("Are you sure you want to logout?");
             alert.addAction(UIAlertAction::make("Cancel", UIAlertActionStyle::cancel));
             alert.addAction(UIAlertAction::make("OK", UIAlertActionStyle::default_));
         },
         {"Logout", "Are you sure you want to logout?", "Cancel", "OK"},
         {},
         [](UIViewController& c) {
             auto& alert = static_cast<UIAlertController&>(c);
             alert.setTitle("Sign out");
             alert.setMessage("You will need your password again.");
         },
         {"Sign out", "You will need your password again."}},
        {"action sheet",
         [] { return UIAlertController::make(std::nullopt, std::nullopt, UIAlertControllerStyle::actionSheet); },
         [](UIViewController& c) {
             auto& sheet = static_cast<UIAlertController&>(c);
             sheet.setMessage("Add a picture");
             sheet.addAction(UIAlertAction::make("Take Photo", UIAlertActionStyle::default_));
             sheet.addAction(UIAlertAction::make("Cancel", UIAlertActionStyle::cancel));
         },
         {"Add a picture", "Take Photo", "Cancel"},
         {},
         [](UIViewController& c) {
             static_cast<UIAlertController&>(c).addAction(
                 UIAlertAction::make("Choose Photo", UIAlertActionStyle::default_));
         },
         {"Choose Photo"}},
    };
}

class Sheets : public ::testing::Test {
protected:
    explicit Sheets(CGSize screen = {414, 896}) : host(screen) { host.launch(app); }
    cw::HeadlessHost host;
    std::shared_ptr<cw::WhiteScreenApplication> app = std::make_shared<cw::WhiteScreenApplication>();
};

TEST_F(Sheets, ShowWhatTheyAreGivenBeforeTheirViewLoadedAfterItAndWhileShown) {
    for (const bool loadedFirst : {false, true}) {
        for (const auto& sheet : sheets()) {
            SCOPED_TRACE(sheet.name + (loadedFirst ? ", view loaded first" : ", given first"));
            auto controller = sheet.make();
            if (loadedFirst) controller->view()->setTintColor(UIColor(0.2, 0.7, 0.5, 1));
            sheet.give(*controller);
            app->root->present(controller, true);
            host.settle();
            ASSERT_EQ(host.topViewController(), controller);
            for (const auto& text : sheet.shows)
                EXPECT_TRUE(host.isShowing(text)) << "missing \"" << text << "\" in: "
                                                  << ::testing::PrintToString(host.visibleTexts());
            for (const auto& text : sheet.hides)
                EXPECT_FALSE(host.isShowing(text)) << "shows \"" << text << "\"";
            sheet.giveWhileShown(*controller);
            host.settle();
            for (const auto& text : sheet.showsAfter)
                EXPECT_TRUE(host.isShowing(text)) << "missing \"" << text << "\" in: "
                                                  << ::testing::PrintToString(host.visibleTexts());
            app->root->dismiss(false);
            host.settle();
        }
    }
}

TEST_F(Sheets, TheMailComposersBarTakesItsTintAndSendsOnlyAMailThatGoesToSomeone) {
    auto listener = std::make_shared<MailListener>();
    auto mail = std::make_shared<MFMailComposeViewController>();
    const UIColor green(0.2, 0.7, 0.5, 1);
    mail->view()->setTintColor(green);
    mail->setMailComposeDelegate(listener);
    mail->setSubject("No one to send to");
    app->root->present(mail, true);
    host.settle();
    auto send = std::dynamic_pointer_cast<UILabel>(host.findByText("Send"));
    ASSERT_TRUE(send);
    EXPECT_EQ(send->textColor(), green);
    EXPECT_EQ(std::dynamic_pointer_cast<UILabel>(host.findByText("Cancel"))->textColor(), green);
    host.tapText("Send");
    EXPECT_THAT(listener->results, IsEmpty()) << "a mail to no one was sent";
    EXPECT_EQ(host.topViewController(), mail);

    // Addressed while shown: Send sends it, and the delegate hears so.
    mail->setToRecipients({"care@example.org"});
    host.settle();
    ASSERT_TRUE(host.tapText("Send"));
    EXPECT_THAT(listener->results, ElementsAre(MFMailComposeResult::sent));
    EXPECT_EQ(host.topViewController(), app->root);
}

// The smallest phone's sheets: each with the title it is given, the bar's buttons, and how the title
// shows between them: centred, whole (smaller if it must, off the middle if it must), or too long
// even drawn smaller, and so cut; of one at the edge of fitting, only that it stays between them.
enum class TitleShown { centred, whole, cut, betweenButtons };

struct SheetBar {
    std::string name;
    std::function<UIViewControllerPtr()> make;
    std::string title;
    std::vector<std::string> buttons;
    TitleShown shown;
};

std::vector<SheetBar> sheetBars() {
    const auto mail = [](std::string subject) {
        return [subject] {
            auto mail = std::make_shared<MFMailComposeViewController>();
            mail->setToRecipients({"care@example.org"});
            if (!subject.empty()) mail->setSubject(subject);
            return std::static_pointer_cast<UIViewController>(mail);
        };
    };
    const auto picker = [](UIImagePickerControllerSourceType source) {
        return [source] {
            auto picker = std::make_shared<UIImagePickerController>();
            picker->sourceType = source;
            return std::static_pointer_cast<UIViewController>(picker);
        };
    };
    return {
        {"mail, no subject", mail(""), "New Message", {"Cancel", "Send"}, TitleShown::centred},
        // Whole only off the middle: centred, the room beside Send would be lost to it.
        {"mail, a subject that fits drawn smaller beside Cancel", mail("Feedback for the night nurses"),
         "Feedback for the night nurses", {"Cancel", "Send"}, TitleShown::whole},
        // The app's feedback subject, at the very edge of fitting: only kept between the buttons.
        {"mail, the app's feedback subject", mail("Feedback for CRADLEWAY app"), "Feedback for CRADLEWAY app",
         {"Cancel", "Send"}, TitleShown::betweenButtons},
        {"mail, a subject too long for the bar",
         mail("Questions about Noah's feeding plan and the visiting hours on the ward"),
         "Questions about Noah's feeding plan and the visiting hours on the ward", {"Cancel", "Send"},
         TitleShown::cut},
        {"share sheet",
         [] { return std::make_shared<UIActivityViewController>(std::vector<std::any>{std::string("Noah's day")}); },
         "Share", {"Cancel"}, TitleShown::centred},
        {"photo library", picker(UIImagePickerControllerSourceType::photoLibrary), "Photos", {"Cancel"},
         TitleShown::centred},
        {"camera", picker(UIImagePickerControllerSourceType::camera), "Camera", {"Cancel"}, TitleShown::centred},
    };
}

// How wide the label's text is drawn at `scale` of its font's size.
CGFloat textWidthAt(const UILabel& label, CGFloat scale) {
    UILabel measure;
    measure.setFont(label.font().withSize(label.font().pointSize() * scale));
    measure.setText(label.text());
    return measure.intrinsicContentSize().width;
}

class SheetsOnASmallPhone : public Sheets {
protected:
    SheetsOnASmallPhone() : Sheets({320, 568}) {}
};

TEST_F(SheetsOnASmallPhone, KeepTheirTitleBetweenTheirBarButtonsWhichStillTakeTheirTaps) {
    UIApplication::shared().hostSettings().hasCamera = true;
    auto listener = std::make_shared<MailListener>();
    for (const auto& sheet : sheetBars()) {
        SCOPED_TRACE(sheet.name);
        auto controller = sheet.make();
        if (auto mail = std::dynamic_pointer_cast<MFMailComposeViewController>(controller))
            mail->setMailComposeDelegate(listener);
        app->root->present(controller, true);
        host.settle();
        ASSERT_EQ(host.topViewController(), controller);
        auto title = std::dynamic_pointer_cast<UILabel>(host.findByText(sheet.title));
        ASSERT_TRUE(title) << ::testing::PrintToString(host.visibleTexts());
        const CGRect drawn = title->convert(title->bounds(), nullptr);
        if (sheet.shown == TitleShown::centred) {
            EXPECT_NEAR(drawn.midX(), 160, 0.5) << "not centred on the bar";
        }
        EXPECT_GE(drawn.minX(), 0);
        EXPECT_LE(drawn.maxX(), 320);
        for (const auto& name : sheet.buttons) {
            SCOPED_TRACE(name);
            auto label = host.findByText(name);
            ASSERT_TRUE(label);
            const auto button = std::static_pointer_cast<UIView>(label->superviewPointer()->shared_from_this());
            const CGRect frame = button->convert(button->bounds(), nullptr);
            EXPECT_FALSE(drawn.intersects(frame))
                << "the title, drawn at x " << drawn.minX() << "..." << drawn.maxX() << ", runs over " << name
                << " at x " << frame.minX() << "..." << frame.maxX();
            EXPECT_EQ(host.coverOf(*button), std::nullopt) << "a tap on " << name << " does not reach it";
        }
        // A title that fits is drawn whole (smaller, if it must); one that does not, at the smallest
        // size it may take and cut at its end.
        if (sheet.shown == TitleShown::cut) {
            EXPECT_GT(textWidthAt(*title, title->minimumScaleFactor()), drawn.width());
            EXPECT_NEAR(title->actualScaleFactor(), title->minimumScaleFactor(), 0.01);
            EXPECT_EQ(title->lineBreakMode(), NSLineBreakMode::byTruncatingTail);
        } else if (sheet.shown != TitleShown::betweenButtons) {
            EXPECT_LE(textWidthAt(*title, title->actualScaleFactor()), drawn.width() + 0.5)
                << "cut to " << drawn.width() << " points";
        }
        // And Cancel still closes the sheet.
        ASSERT_TRUE(host.tapText(sheet.buttons.front()));
        host.settle();
        EXPECT_EQ(host.topViewController(), app->root) << sheet.buttons.front() << " left the sheet shown";
        if (host.topViewController() != app->root) {
            app->root->dismiss(false);
            host.settle();
        }
    }
}

} // namespace
