// What the milestone form and the timeline show where a person looks: the field being edited clear
// of its wheel and the Done bar, the wheel's rows inside the wheel, and a week opened low on the
// screen showing its first milestone.

#include "JourneyDemoFixture.h"

#include "Controllers/Journey/JourneyAddViewController.h"
#include "uikit/controls/UIKeyboard.h"
#include "uikit/view/ViewRendering.h"

namespace cw::journeytest {

namespace {

// Where a view stands in the window.
CGRect inWindow(const UIView& view, const UIWindow& window) {
    return view.convert(view.bounds(), &window);
}

class MilestoneFormOnASmallPhone : public JourneyDemoTest {
protected:
    MilestoneFormOnASmallPhone() { screenSize = {320, 568}; }
};

} // namespace

TEST_F(JourneyDemoTest, TheMilestoneDateBeingEditedStandsClearOfItsWheelAndTheWheelsRowsStayInIt) {
    openTimeline("Olivia Hart");
    ASSERT_TRUE(host->tapText("Add Milestone"));
    auto add = topAs<JourneyAddViewController>();
    ASSERT_TRUE(add);
    ASSERT_TRUE(waitForText("First time holding me"));
    auto window = host->window();

    // The date, low on the form, comes up above the Done bar over its wheels.
    ASSERT_TRUE(host->tap(add->dateField.lock()));
    auto& keyboard = Keyboard::shared();
    ASSERT_TRUE(keyboard.areKeysShown());
    EXPECT_LE(inWindow(*add->dateField.lock(), *window).maxY(), keyboard.frame().minY());
    EXPECT_TRUE(host->tapText("Done"));

    // The kind's wheel turned to its last row, with rows taller than the date's, draws none of the
    // rows above it over the Done bar: the bar looks the same with the wheel hidden.
    ASSERT_TRUE(host->tapText("First time holding me"));
    ASSERT_TRUE(host->turnPicker("Something else"));
    auto done = host->findByText("Done");
    ASSERT_TRUE(done);
    const CGRect bar = inWindow(*done->superviewPointer(), *window);
    auto withWheel = renderView(*window, 1);
    auto wheel = add->milestonePicker();
    wheel->setHidden(true);
    auto withoutWheel = renderView(*window, 1);
    wheel->setHidden(false);
    ASSERT_TRUE(withWheel && withoutWheel);
    int stray = 0;
    for (int y = std::max(0, static_cast<int>(bar.minY()) - 20); y < static_cast<int>(bar.maxY()); ++y)
        for (int x = 0; x < static_cast<int>(bar.maxX()); ++x)
            if (!(withWheel->pixelColor(x, y) == withoutWheel->pixelColor(x, y))) ++stray;
    EXPECT_EQ(stray, 0) << "the wheel's rows are drawn over the bar and the form";
}

TEST_F(MilestoneFormOnASmallPhone, TheMilestoneKindBeingEditedStandsClearOfItsWheel) {
    openTimeline("Olivia Hart");
    ASSERT_TRUE(host->tapText("Add Milestone"));
    auto add = topAs<JourneyAddViewController>();
    ASSERT_TRUE(add);
    ASSERT_TRUE(waitForText("First time holding me"));
    ASSERT_TRUE(host->tapText("First time holding me"));
    ASSERT_TRUE(Keyboard::shared().areKeysShown());
    EXPECT_LE(inWindow(*add->milestoneField.lock(), *host->window()).maxY(), Keyboard::shared().frame().minY());
    // Turned by a finger to its own title, the form takes the title too.
    ASSERT_TRUE(host->turnPicker("Something else"));
    EXPECT_TRUE(host->isShowing("Title"));
}

TEST_F(JourneyDemoTest, AWeekOpenedLowOnTheScreenShowsItsFirstMilestone) {
    auto timeline = openTimeline("Olivia Hart");
    ASSERT_TRUE(timeline);
    ASSERT_TRUE(host->tapText("Week 2"));
    ASSERT_TRUE(waitForText("Grandma Ruth came"));
    auto title = host->findByText("Grandma Ruth came");
    ASSERT_TRUE(title);
    // What a finger on the milestone's title touches is the milestone's row, not the card's
    // bottom floating over it.
    auto touched = host->viewUnderFinger(host->tapPointOf(*title));
    ASSERT_TRUE(touched);
    auto row = rowShowing(*timeline, "Grandma Ruth came");
    ASSERT_TRUE(row);
    bool inRow = false;
    for (UIView* v = touched.get(); v; v = v->superviewPointer())
        if (v == row.get()) inRow = true;
    EXPECT_TRUE(inRow) << "covered by " << touched->className();
}

} // namespace cw::journeytest
