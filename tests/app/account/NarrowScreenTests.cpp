// The mother's screens on the narrowest phone (320 x 568), where texts and buttons used to be cut,
// and her invitation made with a finger on the relationship wheel.

#include "AccountFixture.h"

#include "Controllers/Account/InviteFamilyViewController.h"
#include "Controllers/Account/NotificationSettingsViewController.h"
#include "Views/DatePickerCell.h"
#include "foundation/time/DateFormatter.h"
#include "foundation/time/DeviceSettingsGuard.h"
#include "uikit/controls/UIDatePicker.h"
#include "uikit/controls/UISwitch.h"
#include "uikit/view/UILabel.h"
#include "uikit/view/ViewRendering.h"

namespace cw::test {

namespace {

// Whether the label draws its whole text in its bounds (smaller, where it shrinks to fit).
bool drawnWhole(const UILabel& label) {
    return label.intrinsicContentSize().width * label.actualScaleFactor() <= label.bounds().size.width + 0.5;
}

class NarrowScreen : public AccountTest {
protected:
    void SetUp() override {
        AccountTest::SetUp();
        host.reset();
        host = std::make_unique<cw::HeadlessHost>(CGSize{320, 568});
    }
};

} // namespace

TEST_F(NarrowScreen, TheInvitationShowsItsWholeTitleAndSendInviteAndItsWheelHidesTheFormBehindIt) {
    launchAsMother();
    openFromMenu("Family & Friends");
    ASSERT_TRUE(waitForText("Ruth Hart")) << screenTexts();
    ASSERT_TRUE(host->tapIdentifier("add_baby"));
    auto invite = shownScreen<InviteFamilyViewController>();
    ASSERT_TRUE(invite) << screenTexts();
    auto window = host->window();

    auto title = std::dynamic_pointer_cast<UILabel>(host->findByText("Invite Family & Friends"));
    ASSERT_TRUE(title);
    EXPECT_TRUE(drawnWhole(*title)) << "cut to " << title->bounds().size.width << " points";
    auto send = invite->sendInviteButton();
    const CGRect sendFrame = send->convert(send->bounds(), window.get());
    EXPECT_GE(sendFrame.minX(), 0);
    EXPECT_LE(sendFrame.maxX(), 320);
    // Narrower than it was made (as wide as the form), it stays a pill: its right end is as round
    // as its left, not cut square at the form's edge.
    {
        auto drawn = renderView(*window, 2);
        ASSERT_TRUE(drawn);
        const auto at = [&](CGFloat x, CGFloat y) { return drawn->pixelColor(static_cast<int>(x * 2), static_cast<int>(y * 2)); };
        const UIColor ground = at(sendFrame.maxX() + 6, sendFrame.midY());
        const UIColor face = at(sendFrame.midX(), sendFrame.minY() + 4);
        ASSERT_GT(std::abs(face.green() - ground.green()) + std::abs(face.red() - ground.red()), 0.1);
        for (const CGFloat x : {sendFrame.minX() + 2, sendFrame.maxX() - 2}) {
            SCOPED_TRACE(x);
            EXPECT_EQ(at(x, sendFrame.minY() + 2), ground) << "a corner of the pill is rounded off";
            EXPECT_EQ(at(x, sendFrame.maxY() - 2), ground);
            EXPECT_EQ(at(x, sendFrame.midY()), face) << "the pill reaches its end at its middle";
        }
    }

    // The wheel's ground is its own: nothing of the form shows through beside its rows.
    ASSERT_TRUE(host->tapText("Relationship with baby"));
    auto picker = invite->relationPickerView();
    const CGRect wheel = picker->convert(picker->bounds(), window.get());
    auto picture = renderView(*window, 1);
    ASSERT_TRUE(picture);
    int notWhite = 0;
    for (int y = static_cast<int>(wheel.minY()) + 1; y < static_cast<int>(wheel.maxY()) - 1; ++y)
        if (std::abs(y - wheel.midY()) > 20 && picture->pixelColor(3, y).white() < 0.99) ++notWhite;
    EXPECT_EQ(notWhite, 0);

    // Typed text does not reach the relationship; a finger dragging the wheel up two rows does,
    // and a tap on the row below the middle turns it on to that row.
    EXPECT_FALSE(host->type("Uncle"));
    EXPECT_EQ(invite->relationshipTextField()->text().value_or(""), "");
    const CGPoint middle = host->tapPointOf(*picker);
    ASSERT_TRUE(host->drag(middle, {middle.x, middle.y - 64}, 60));
    EXPECT_EQ(invite->relationshipTextField()->text(), "Father");
    ASSERT_TRUE(host->tapPoint({middle.x, middle.y + 32}));
    EXPECT_EQ(invite->relationshipTextField()->text(), "Grand Parent");
    ASSERT_TRUE(host->turnPicker("Father"));
    EXPECT_EQ(invite->relationshipTextField()->text(), "Father");
}

TEST_F(NarrowScreen, TheCareTeamShowsEachRoleWhole) {
    launchAsMother();
    ASSERT_TRUE(host->tapText("Team"));
    ASSERT_TRUE(waitForText("Respiratory Therapist")) << screenTexts();
    for (const char* role : {"Respiratory Therapist", "Lactation Consultant", "Nurse Practitioner"}) {
        auto label = std::dynamic_pointer_cast<UILabel>(host->findByText(role));
        ASSERT_TRUE(label) << role;
        EXPECT_TRUE(drawnWhole(*label)) << role << " cut to " << label->bounds().size.width << " points";
    }
}

// The quiet time's wheels open under their rows near the bottom of the list: the list brings each
// wheel wholly into view, below the bar, and a finger turns it there.
TEST_F(NarrowScreen, EachQuietTimeWheelOpensInViewAndTurnsUnderAFinger) {
    DeviceSettingsGuard device("en_US", "America/Chicago");
    launchAsMother();
    openFromMenu("Settings");
    ASSERT_TRUE(host->tapText("Notifications"));
    auto screen = shownScreen<NotificationSettingsViewController>();
    ASSERT_TRUE(screen) << screenTexts();
    const auto scheduled = host->findByText("Scheduled");
    ASSERT_TRUE(scheduled);
    // The switch of the Scheduled row, where a finger finds it: at the row's right end.
    const CGPoint row = host->tapPointOf(*scheduled);
    ASSERT_TRUE(host->tapPoint({320 - 40, row.y}));
    ASSERT_TRUE(waitForText("From")) << screenTexts();

    auto window = host->window();
    const auto table = screen->tableView();
    const CGFloat barBottom = 64;
    DateFormatter wallClock;
    wallClock.setDateFormat("yyyy-MM-dd HH:mm");
    for (const auto& [title, time, shown] : {std::tuple{"From", "2020-09-13 22:30", "10:30 PM"},
                                             std::tuple{"To", "2020-09-13 06:15", "06:15 AM"}}) {
        SCOPED_TRACE(title);
        if (!host->isShowing(title)) {
            ASSERT_TRUE(host->scroll(table, {0, -200}));
        }
        ASSERT_TRUE(host->tapText(title));
        host->settle();
        std::shared_ptr<UIDatePicker> wheel;
        for (const auto& cell : table->visibleCells())
            if (auto picker = std::dynamic_pointer_cast<DatePickerCell>(cell)) wheel = picker->datePicker();
        ASSERT_TRUE(wheel) << "no wheel opened";
        const CGRect frame = wheel->convert(wheel->bounds(), window.get());
        EXPECT_GE(frame.minY(), barBottom) << "the wheel lies under the bar";
        EXPECT_LE(frame.maxY(), 568) << "the wheel opens below the bottom of the screen";
        const auto label = host->findByText(title);
        ASSERT_TRUE(label) << "the row tapped left the screen";
        EXPECT_GE(label->convert(label->bounds(), window.get()).minY(), barBottom);
        ASSERT_TRUE(host->turnDatePicker(*wallClock.date(time)));
        EXPECT_TRUE(host->isShowing(shown)) << screenTexts();
    }

    // The list moved up under the translucent bar: the bar blurs it, as the platform's does, so no
    // row's text shows through it sharp (along the strip above the bar's title and back button).
    ASSERT_GT(table->contentOffset().y + table->adjustedContentInset().top, 64) << "nothing lies under the bar";
    const auto picture = renderView(*window, 2);
    ASSERT_TRUE(picture);
    double sharpest = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x + 1 < 640; ++x) {
            const UIColor a = picture->pixelColor(x, y), b = picture->pixelColor(x + 1, y);
            sharpest = std::max(sharpest, std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) +
                                              std::abs(a.blue() - b.blue()));
        }
    EXPECT_LT(sharpest, 0.05) << "the rows under the bar show through it sharp";
}

} // namespace cw::test
