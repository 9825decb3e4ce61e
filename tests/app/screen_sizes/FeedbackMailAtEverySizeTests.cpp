// The feedback mail, from the floating menu's FEEDBACK and from Settings › Send Feedback, on a small
// phone, a middle one and a tall one, against the embedded demo server: it opens addressed, with its
// subject and its text, its bar in the app's green, the subject as its title between Cancel and Send
// (never over them), and Send sends it and closes it.

#include "Extensions/UIColor+Palette.h"
#include "tests/app/feed/FeedDemoFixture.h"
#include "uikit/controllers/MFMailComposeViewController.h"

#include <gtest/gtest.h>

namespace cw::test {
namespace {

class FeedbackMail : public FeedScreenTest, public ::testing::WithParamInterface<CGSize> {
protected:
    void SetUp() override {
        screen = GetParam();
        FeedScreenTest::SetUp();
        demo->answerFeedQuestions();
        MFMailComposeViewController::setCanSendMail(true);
    }
    std::shared_ptr<MFMailComposeViewController> composer() const {
        return std::dynamic_pointer_cast<MFMailComposeViewController>(host->topViewController());
    }
};

TEST_P(FeedbackMail, OpensAddressedWithItsSubjectAndTextFromBothEntriesAndSendSendsIt) {
    ASSERT_NO_FATAL_FAILURE(signInAsTheMother());
    // The steps to the mail, and the screen it leaves her on.
    const std::pair<std::string, std::string> entries[] = {
        {"tap #floatingActionButton\n", "FEEDBACK"},
        {"tap #hamburgerButton\ntap \"Settings\"\ntap \"Send Feedback\"\n", ""},
    };
    for (const auto& [steps, item] : entries) {
        SCOPED_TRACE(steps);
        ASSERT_NO_FATAL_FAILURE(runScript(*host, "tap \"Home\"\n" + steps, environment.directory()));
        // A menu item answers on its disc, beside its title.
        if (auto title = item.empty() ? nullptr : host->findByText(item)) {
            ASSERT_TRUE(host->tap(std::static_pointer_cast<UIView>(title->superviewPointer()->shared_from_this())));
        }
        auto mail = composer();
        ASSERT_TRUE(mail) << ::testing::PrintToString(host->visibleTexts());
        const auto behind = mail->presentingViewController();
        for (const char* text : {"To: feedback@cradleway.test", "Subject: Feedback for CRADLEWAY app",
                                 "Feedback for CRADLEWAY app",
                                 "Please share your comments if you have suggestions to improve our app or "
                                 "the education content"}) {
            const auto shown = host->findByText(text);
            EXPECT_TRUE(shown && isVisibleOnScreen(*shown))
                << "missing \"" << text << "\" in: " << ::testing::PrintToString(host->visibleTexts());
        }
        auto send = std::dynamic_pointer_cast<UILabel>(host->findByText("Send"));
        ASSERT_TRUE(send);
        EXPECT_EQ(send->textColor(), UIColorPalette::cwy_mountainMeadow());
        // The subject, as the sheet's title, stays between Cancel and Send, and both take their taps.
        const auto title = host->findByText("Feedback for CRADLEWAY app");
        ASSERT_TRUE(title);
        const CGRect drawn = title->convert(title->bounds(), nullptr);
        for (const char* name : {"Cancel", "Send"}) {
            const auto label = host->findByText(name);
            ASSERT_TRUE(label);
            const auto button = std::static_pointer_cast<UIView>(label->superviewPointer()->shared_from_this());
            const CGRect frame = button->convert(button->bounds(), nullptr);
            EXPECT_FALSE(drawn.intersects(frame)) << "the title, drawn at x " << drawn.minX() << "..." << drawn.maxX()
                                                  << ", runs over " << name << " at x " << frame.minX() << "..."
                                                  << frame.maxX();
            EXPECT_EQ(host->coverOf(*button), std::nullopt) << "a tap on " << name << " does not reach it";
        }

        ASSERT_TRUE(host->tapText("Send"));
        EXPECT_FALSE(composer()) << "Send left the mail on the screen";
        EXPECT_EQ(host->topViewController(), behind);
        if (!item.empty()) {
            ASSERT_NO_FATAL_FAILURE(runScript(*host, "expect \"Home\"\n", environment.directory()));
        } else {
            ASSERT_TRUE(host->isShowing("Send Feedback"));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Phones, FeedbackMail,
                         ::testing::Values(CGSize{320, 568}, CGSize{375, 667}, CGSize{414, 896}),
                         [](const ::testing::TestParamInfo<CGSize>& info) {
                             return std::to_string(static_cast<int>(info.param.width)) + "x" +
                                    std::to_string(static_cast<int>(info.param.height));
                         });

} // namespace
} // namespace cw::test
