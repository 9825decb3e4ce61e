#include "uikit/controls/UITableView.h"

#include <gtest/gtest.h>

namespace {

// Rows whose heights the delegate decides, and whose cells count how often they were asked for.
struct CountedRows : UITableViewDataSource, UITableViewDelegate {
    std::vector<long> perSection{20, 5};
    std::vector<CGFloat> heights; // per row of section 0; others 44
    std::map<IndexPath, int> asked;
    bool giveNoCell = false;
    long numberOfSections(UITableView*) override { return static_cast<long>(perSection.size()); }
    long numberOfRowsInSection(UITableView*, long s) override { return perSection[s]; }
    std::shared_ptr<UITableViewCell> cellForRowAt(UITableView* t, const IndexPath& ip) override {
        ++asked[ip];
        if (giveNoCell) return nullptr;
        auto cell = t->dequeueReusableCell("cell", ip);
        cell->textLabel()->setText(std::to_string(ip.section) + ":" + std::to_string(ip.row));
        return cell;
    }
    CGFloat heightForRowAt(UITableView*, const IndexPath& ip) override {
        return ip.section == 0 && ip.row < static_cast<long>(heights.size()) ? heights[ip.row] : 44;
    }
};

std::shared_ptr<UITableView> table(CountedRows& rows) {
    auto t = std::make_shared<UITableView>(CGRect(0, 0, 320, 200));
    t->registerCell("cell", [](const std::string& id) {
        return std::make_shared<UITableViewCell>(UITableViewCellStyle::default_, id);
    });
    t->setDataSource(&rows);
    t->setDelegate(&rows);
    t->layoutIfNeeded();
    return t;
}

TEST(TableUpdates, ReloadRowsAsksAgainForThoseRowsOnly) {
    CountedRows rows;
    auto t = table(rows);
    const int before0 = rows.asked[IndexPath(0, 0)];
    const int before1 = rows.asked[IndexPath(1, 0)];
    rows.heights = {100};
    t->reloadRows({IndexPath(0, 0), IndexPath(99, 0)}, UITableViewRowAnimation::automatic); // 99: no such row
    EXPECT_EQ(rows.asked[IndexPath(0, 0)], before0 + 1);
    EXPECT_EQ(rows.asked[IndexPath(1, 0)], before1);
    EXPECT_EQ(t->rectForRow(IndexPath(1, 0)).origin.y, 100);
    EXPECT_EQ(t->cellForRow(IndexPath(1, 0))->frame().origin.y, 100);
}

TEST(TableUpdates, ReloadDataPicksUpNewCountsAndScrollToRowLandsExactly) {
    CountedRows rows;
    auto t = table(rows);
    rows.perSection = {3, 40};
    t->reloadData();
    t->layoutIfNeeded();
    EXPECT_EQ(t->numberOfRows(1), 40);
    EXPECT_EQ(t->contentSize().height, 43 * 44);
    t->scrollToRow(IndexPath(10, 1), UITableViewScrollPosition::top, false);
    EXPECT_EQ(t->contentOffset().y, 13 * 44);
    ASSERT_TRUE(t->cellForRow(IndexPath(10, 1)));
    EXPECT_EQ(t->indexPathsForVisibleRows().front(), IndexPath(10, 1));
    t->scrollToRow(IndexPath(39, 1), UITableViewScrollPosition::top, false); // can only go as far as the end
    EXPECT_EQ(t->contentOffset().y, 43 * 44 - 200);
    t->selectRow(IndexPath(2, 0), false, UITableViewScrollPosition::middle);
    EXPECT_EQ(t->indexPathForSelectedRow(), IndexPath(2, 0));
    EXPECT_EQ(t->contentOffset().y, 10); // row 2 (88 to 132) centred in the 200-point view
    t->reloadData();
    EXPECT_EQ(t->indexPathForSelectedRow(), std::nullopt);
}

TEST(TableUpdates, BadAnswersFromTheDataSourceDoNotBreakTheTable) {
    CountedRows rows;
    rows.perSection = {-5, 3};
    rows.giveNoCell = true;
    auto t = table(rows);
    EXPECT_EQ(t->numberOfRows(0), 0);
    ASSERT_EQ(t->visibleCells().size(), 3u); // empty rows stand in for missing cells
    EXPECT_EQ(t->rectForRow(IndexPath(5, 7)), CGRect::zero());
    EXPECT_EQ(t->cellForRow(IndexPath(5, 7)), nullptr);
    t->scrollToRow(IndexPath(5, 7), UITableViewScrollPosition::top, false);
    EXPECT_EQ(t->contentOffset().y, 0);
    t->setDataSource(nullptr);
    t->reloadData();
    t->layoutIfNeeded();
    EXPECT_EQ(t->numberOfSections(), 0);
    EXPECT_TRUE(t->visibleCells().empty());
}

TEST(TableUpdates, ReloadSectionsAndSeparators) {
    CountedRows rows;
    auto t = table(rows);
    t->separatorInset = {0, 10, 0, 10};
    rows.perSection = {2, 5};
    t->reloadSections({0}, UITableViewRowAnimation::fade);
    EXPECT_EQ(t->numberOfRows(0), 2);
    EXPECT_EQ(t->rectForRow(IndexPath(0, 1)).origin.y, 88);
    auto cell = t->cellForRow(IndexPath(0, 1));
    ASSERT_TRUE(cell);
    const auto& subviews = cell->subviews();
    const auto& separator = subviews.back(); // drawn over the content
    EXPECT_EQ(separator->frame(), CGRect(10, 43.5, 300, 0.5));
    t->separatorStyle = UITableViewCellSeparatorStyle::none;
    t->reloadData();
    t->layoutIfNeeded();
    EXPECT_TRUE(t->cellForRow(IndexPath(0, 1))->subviews().back()->isHidden());
}

} // namespace

namespace {

struct Titled : CountedRows {
    std::optional<std::string> titleForHeaderInSection(UITableView*, long s) override {
        return "Section " + std::to_string(s);
    }
};

TEST(TableUpdates, PlainTableHeadersStayOnTopUntilTheirSectionEnds) {
    Titled rows;
    rows.perSection = {10, 10};
    auto t = table(rows);
    // Sections: header 28 + 10 rows of 44 = 468 points each.
    t->setContentOffset({0, 100});
    EXPECT_EQ(t->headerView(0)->frame().origin.y, 100);
    t->setContentOffset({0, 450});
    EXPECT_EQ(t->headerView(0)->frame().origin.y, 468 - 28); // pushed up by the next section
    EXPECT_EQ(t->headerView(1)->frame().origin.y, 468);
    EXPECT_EQ(t->rectForHeaderInSection(0).origin.y, 0); // the section's own place does not move
    auto grouped = std::make_shared<UITableView>(CGRect(0, 0, 320, 200), UITableViewStyle::grouped);
    grouped->registerCell("cell", [](const std::string& id) {
        return std::make_shared<UITableViewCell>(UITableViewCellStyle::default_, id);
    });
    grouped->setDataSource(&rows);
    grouped->setDelegate(&rows);
    grouped->layoutIfNeeded();
    grouped->setContentOffset({0, 100});
    EXPECT_FALSE(grouped->headerView(0)); // scrolled away with its rows
}

struct TitledWithFooters : Titled {
    std::optional<std::string> titleForFooterInSection(UITableView*, long s) override {
        return "End of " + std::to_string(s);
    }
};

TEST(TableUpdates, PlainTableFootersStayAtTheBottomButNeverOverTheirHeader) {
    TitledWithFooters rows;
    rows.perSection = {10, 0};
    auto t = table(rows);
    const CGFloat footerHeight = t->rectForFooterInSection(0).size.height;
    ASSERT_GT(footerHeight, 0);
    // The first section runs past the bottom: its footer waits at the bottom of the view.
    EXPECT_EQ(t->footerView(0)->frame().origin.y, 200 - footerHeight);
    // The second, without rows, ends below a bottom inset: its footer stays under its header.
    t->setContentInset(UIEdgeInsets{0, 0, 150, 0});
    t->setContentOffset({0, t->rectForHeaderInSection(1).origin.y - 60});
    t->layoutIfNeeded();
    const CGRect header = t->headerView(1)->frame();
    EXPECT_EQ(t->footerView(1)->frame().origin.y, header.maxY());
}

} // namespace
