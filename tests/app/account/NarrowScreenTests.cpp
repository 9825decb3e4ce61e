// The mother's screens on the narrowest phone (320 x 568), where texts and buttons used to be cut,
// and her invitation made with a finger on the relationship wheel.

#include "AccountFixture.h"

#include "Controllers/Account/InviteFamilyViewController.h"
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

} // namespace cw::test
