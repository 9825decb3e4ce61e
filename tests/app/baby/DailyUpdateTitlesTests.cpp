// The daily update's item titles as the demo mother reads them through the calendar: whichever day
// she picks, and however often, every title keeps the width its text needs on one line, and stays
// inside its row.
#include "BabyScreenFixture.h"

#include "Controllers/Baby/CalendarPopoverViewController.h"
#include "Controllers/Baby/DailyUpdateStackCell.h"
#include "Controllers/Baby/DailyUpdateViewController.h"
#include "foundation/time/DateFormatter.h"
#include "uikit/controllers/UINavigationController.h"

#include <algorithm>

namespace cw::test {
namespace {

class DailyUpdateTitles : public BabyScreenTest {
protected:
    // The item rows on screen, top to bottom.
    std::vector<std::shared_ptr<DailyUpdateStackCell>> shownRows() {
        std::vector<std::shared_ptr<DailyUpdateStackCell>> rows;
        std::vector<std::shared_ptr<UIView>> stack{host->window()};
        while (!stack.empty()) {
            auto v = stack.back();
            stack.pop_back();
            if (auto row = std::dynamic_pointer_cast<DailyUpdateStackCell>(v); row && isVisibleOnScreen(*row))
                rows.push_back(row);
            for (const auto& s : v->subviews())
                stack.push_back(s);
        }
        std::sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) {
            return a->convert(a->bounds(), nullptr).minY() < b->convert(b->bounds(), nullptr).minY();
        });
        return rows;
    }

    // The page of the baby on screen.
    std::shared_ptr<DailyUpdateViewController> shownPage() {
        std::vector<std::shared_ptr<UIView>> stack{host->window()};
        while (!stack.empty()) {
            auto v = stack.back();
            stack.pop_back();
            if (auto page = std::dynamic_pointer_cast<DailyUpdateViewController>(v->owner());
                page && isVisibleOnScreen(*v))
                return page;
            for (const auto& s : v->subviews())
                stack.push_back(s);
        }
        return nullptr;
    }

    // Every shown title is one line as wide as its text, inside its row and clear of the picture.
    void expectTitlesWhole(const std::string& when) {
        host->window()->layoutIfNeeded();
        const auto rows = shownRows();
        ASSERT_FALSE(rows.empty()) << when;
        for (const auto& row : rows) {
            const auto& title = *row->titleLabel;
            const std::string text = title.text().value_or("");
            SCOPED_TRACE(when + ": \"" + text + "\"");
            if (text.empty()) continue;
            const CGSize oneLine = title.sizeThatFits({0, 0});
            EXPECT_EQ(title.frame().size.width, oneLine.width);
            // It may stand taller than its text (the row is at least as tall as its picture), never
            // wrapped.
            EXPECT_EQ(title.sizeThatFits({title.frame().size.width, 0}).height, oneLine.height);
            EXPECT_GE(title.frame().size.height, oneLine.height);
            const CGRect inRow = title.convert(title.bounds(), row.get());
            EXPECT_LE(inRow.maxX(), row->imageView()->convert(row->imageView()->bounds(), row.get()).minX());
            EXPECT_LE(inRow.maxY(), row->bounds().maxY());
        }
    }

    // Opens the calendar and picks the day of `date`, paging back a month when it lies in the last.
    void pick(const Date& date, const DailyUpdateViewController& page) {
        ASSERT_TRUE(host->tapIdentifier("calendarButton"));
        ASSERT_TRUE(page.presentedViewController());
        DateFormatter identifier;
        identifier.setDateFormat("yyyy-MM-dd");
        if (!host->findByIdentifier(identifier.string(date))) {
            auto navigation = std::dynamic_pointer_cast<UINavigationController>(page.presentedViewController());
            ASSERT_TRUE(navigation);
            auto calendar =
                std::dynamic_pointer_cast<CalendarPopoverViewController>(navigation->viewControllers().front());
            ASSERT_TRUE(calendar);
            const auto& days = calendar->calendarView();
            const CGRect f = days->convert(days->bounds(), nullptr);
            host->drag({f.minX() + 10, f.midY()}, {f.maxX() - 10, f.midY()});
        }
        ASSERT_TRUE(host->tapIdentifier(identifier.string(date)));
        ASSERT_TRUE(waitFor([&] { return !page.presentedViewController(); }));
    }
};

TEST_F(DailyUpdateTitles, TitlesKeepTheirWholeWidthAfterEachDayPickedInTheCalendar) {
    signInAndLaunch();
    ASSERT_TRUE(host->tapText("Update"));
    ASSERT_TRUE(showsSoon("Photo Of The Day"));
    auto page = shownPage();
    ASSERT_TRUE(page);
    ASSERT_TRUE(waitFor([&] { return page->dailyUpdateResponse.has_value(); }));
    expectTitlesWhole("latest");

    const auto& entries = page->dailyUpdateResponse->dailyUpdates;
    ASSERT_GE(entries.size(), 4u);
    pick(entries[entries.size() - 3].updatedAt, *page);
    EXPECT_TRUE(showsSoon("Photo Of The Day"));
    expectTitlesWhole("first pick");
    pick(entries[entries.size() - 2].updatedAt, *page);
    expectTitlesWhole("second pick");
}

} // namespace
} // namespace cw::test
