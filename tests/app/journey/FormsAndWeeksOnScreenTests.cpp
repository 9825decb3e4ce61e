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

class TimelineOnASmallPhone : public JourneyDemoTest {
protected:
    TimelineOnASmallPhone() { screenSize = {320, 568}; }

    // Whether a finger on the title meets the milestone's own row: the title stands in the list's
    // open part (not under the add button below it) and what the finger touches there is the row.
    // Titles out of sight pass.
    ::testing::AssertionResult fingerMeetsRow(const JourneyViewController& timeline, const std::string& title) const {
        auto label = host->findByText(title);
        auto row = rowShowing(timeline, title);
        auto table = timeline.tableView.lock();
        auto add = timeline.addButton.lock();
        if (!label || !row || !table || !add) return ::testing::AssertionSuccess();
        const auto window = host->window();
        const CGPoint at = host->tapPointOf(*label);
        const CGRect list = inWindow(*table, *window);
        if (at.y <= list.minY() || at.y >= std::min(list.maxY(), inWindow(*add, *window).minY()))
            return ::testing::AssertionSuccess();
        auto touched = host->viewUnderFinger(at);
        for (UIView* v = touched.get(); v; v = v->superviewPointer())
            if (v == row.get()) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "\"" << title << "\" at y " << at.y << " is covered by "
                                             << (touched ? touched->className() : std::string("nothing"));
    }
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

// A week with more milestones than the small screen shows keeps its card whole as the list moves
// under a finger: its closed bottom stays below its last milestone instead of floating over the
// ones in between, and its title stays above its first.
TEST_F(TimelineOnASmallPhone, AWeekTallerThanTheScreenKeepsItsCardWholeAsTheListMoves) {
    auto timeline = openTimeline("Olivia Hart");
    ASSERT_TRUE(timeline);
    // The older weeks' titles lie under the add button: their chevrons, beside it, open them. The
    // second week, opened first, brings the first into view.
    auto second = header(*timeline, 2);
    ASSERT_TRUE(second && second->titleLabel() && second->titleLabel()->text() == "Week 2");
    ASSERT_TRUE(host->tap(second->button()));
    ASSERT_TRUE(waitForText("Grandma Ruth came"));
    auto oldest = header(*timeline, 3);
    ASSERT_TRUE(oldest && oldest->titleLabel() && oldest->titleLabel()->text() == "Week 1");
    ASSERT_TRUE(host->tap(oldest->button()));
    ASSERT_TRUE(waitForText("My first feed"));
    auto table = timeline->tableView.lock();
    ASSERT_TRUE(table);
    const std::vector<std::string> week{"Arrived in the NICU", "First time holding me", "My first feed",
                                        "First kangaroo care"};
    const CGRect list = inWindow(*table, *host->window());
    const CGFloat middle = list.midX();
    for (int move = 0; move < 6; ++move) {
        SCOPED_TRACE("after " + std::to_string(move) + " moves of the finger");
        for (const auto& title : week)
            EXPECT_TRUE(fingerMeetsRow(*timeline, title));
        // A slow finger moves the list up a little, then back down at the end.
        const CGFloat by = move < 4 ? -30 : 45;
        ASSERT_TRUE(host->drag({middle, list.midY()}, {middle, list.midY() + by}, 20));
    }
}

} // namespace cw::journeytest
