#include "foundation/dispatch/RunLoop.h"
#include "foundation/time/Clock.h"
#include "tests/support/SelfSizingTextCell.h"
#include "uikit/controls/UIButton.h"
#include "uikit/controls/UIEvent.h"
#include "uikit/controls/UITableView.h"

#include <gtest/gtest.h>

namespace {

// The self-sizing cell, counting its reuses; a reused cell shows no text until it is given one.
class TextCell : public cw::test::SelfSizingTextCell {
public:
    using SelfSizingTextCell::SelfSizingTextCell;
    void prepareForReuse() override {
        ++reuses;
        label->setText(std::nullopt);
    }
    int reuses = 0;
};

struct Source : UITableViewDataSource, UITableViewDelegate {
    std::vector<std::string> texts;
    std::vector<std::string> events;
    long numberOfRowsInSection(UITableView*, long) override { return static_cast<long>(texts.size()); }
    std::shared_ptr<UITableViewCell> cellForRowAt(UITableView* t, const IndexPath& ip) override {
        auto cell = t->dequeueReusableCell<TextCell>("text", ip);
        cell->label->setText(texts[ip.row]);
        return cell;
    }
    void didSelectRowAt(UITableView*, const IndexPath& ip) override {
        events.push_back("select " + std::to_string(ip.row));
    }
    void didDeselectRowAt(UITableView*, const IndexPath& ip) override {
        events.push_back("deselect " + std::to_string(ip.row));
    }
};

std::shared_ptr<UITableView> makeTable(Source& source) {
    auto table = std::make_shared<UITableView>(CGRect(0, 0, 320, 480));
    table->registerCellClass<TextCell>("text");
    table->estimatedRowHeight = 60;
    table->setDataSource(&source);
    table->setDelegate(&source);
    return table;
}

TEST(TableView, SelfSizingRowsFollowTheirText) {
    Source source;
    source.texts = {"One line", std::string(400, 'w') + " " + std::string(10, 'x'), "Short"};
    for (std::string& t : source.texts)
        if (t.size() > 100) {
            t.clear();
            for (int i = 0; i < 60; ++i)
                t += "word ";
        }
    auto table = makeTable(source);
    table->layoutIfNeeded();
    const CGRect r0 = table->rectForRow(IndexPath(0, 0));
    const CGRect r1 = table->rectForRow(IndexPath(1, 0));
    const CGRect r2 = table->rectForRow(IndexPath(2, 0));
    const CGFloat line = std::ceil(UIFont::systemFont(17).lineHeight());
    EXPECT_NEAR(r0.size.height, line + 20, 1.5);
    EXPECT_GT(r1.size.height, 3 * line + 20);
    EXPECT_EQ(r1.origin.y, r0.maxY());
    EXPECT_EQ(r2.origin.y, r1.maxY());
    EXPECT_EQ(table->contentSize().height, r2.maxY());
    auto cell = std::static_pointer_cast<TextCell>(table->cellForRow(IndexPath(1, 0)));
    ASSERT_TRUE(cell);
    EXPECT_EQ(cell->frame(), r1);

    // Changing the text and asking again through begin/end updates re-measures the row.
    cell->label->setText("Now short");
    table->beginUpdates();
    table->endUpdates();
    EXPECT_NEAR(table->rectForRow(IndexPath(1, 0)).size.height, line + 20, 1.5);
}

TEST(TableView, TenThousandRowsKeepAScreenfulOfCells) {
    Source source;
    for (int i = 0; i < 10000; ++i)
        source.texts.push_back(i % 7 == 0 ? "A longer row whose text wraps onto a second line of the cell"
                                          : "Row");
    auto table = makeTable(source);
    table->layoutIfNeeded();
    std::size_t peak = 0;
    for (int step = 0; step < 2000 && table->contentOffset().y < table->contentSize().height - 480; ++step) {
        table->setContentOffset({0, table->contentOffset().y + 300});
        peak = std::max(peak, table->visibleCells().size());
    }
    table->scrollToRow(IndexPath(9999, 0), UITableViewScrollPosition::bottom, false);
    ASSERT_TRUE(table->cellForRow(IndexPath(9999, 0)));
    EXPECT_LE(table->cellsCreated(), 20u);
    EXPECT_LE(peak, 20u);
    const CGRect last = table->rectForRow(IndexPath(9999, 0));
    EXPECT_NEAR(last.maxY(), table->contentOffset().y + 480, 0.5);
}

TEST(TableView, AReloadLeavesTheRowsOnScreenWhereTheyWere) {
    // As a feed is fetched again when its screen comes back: rows of several lines, far taller than
    // their estimate, scrolled past one screenful at a time and then reloaded as they are, twice (the
    // screen reloads as it comes back, and again as its fetch comes in: as found, the second reload
    // took the rows above back to their estimates, and her place moved by what they differ).
    Source source;
    for (int i = 0; i < 30; ++i) {
        std::string text = "Row " + std::to_string(i);
        for (int w = 0; w < 12 + (i % 5) * 10; ++w)
            text += " word";
        source.texts.push_back(text);
    }
    auto table = makeTable(source);
    table->layoutIfNeeded();
    for (int screen = 0; screen < 8; ++screen)
        table->setContentOffset({0, table->contentOffset().y + 400});
    const CGFloat offset = table->contentOffset().y;
    const auto shown = table->indexPathsForVisibleRows();
    ASSERT_FALSE(shown.empty());
    const IndexPath top = shown.front();
    ASSERT_GT(top.row, 10);
    const CGRect before = table->rectForRow(top);

    for (int reload = 1; reload <= 2; ++reload) {
        table->reloadData();
        table->layoutIfNeeded();
        EXPECT_EQ(table->contentOffset().y, offset) << reload;
        EXPECT_EQ(table->rectForRow(top), before) << reload;
        auto cell = std::static_pointer_cast<TextCell>(table->cellForRow(top));
        ASSERT_TRUE(cell) << reload;
        EXPECT_EQ(cell->label->text(), source.texts[static_cast<std::size_t>(top.row)]) << reload;
    }
}

TEST(TableView, FixedHeightsAndIndexPathLookup) {
    Source source;
    for (int i = 0; i < 100; ++i)
        source.texts.push_back("Row " + std::to_string(i));
    auto table = makeTable(source);
    table->rowHeight = 60;
    table->setTableHeaderView(std::make_shared<UIView>(CGRect(0, 0, 10, 100)));
    table->layoutIfNeeded();
    EXPECT_EQ(table->rectForRow(IndexPath(3, 0)), CGRect(0, 280, 320, 60));
    EXPECT_EQ(table->indexPathForRow({10, 285}), IndexPath(3, 0));
    EXPECT_EQ(table->indexPathForRow({10, 50}), std::nullopt); // the header
    EXPECT_EQ(table->contentSize().height, 100 + 6000);
    EXPECT_EQ(table->tableHeaderView()->frame(), CGRect(0, 0, 320, 100));
    // Rows 0..6 are in view (100 + 7 * 60 > 480).
    EXPECT_EQ(table->indexPathsForVisibleRows().size(), 7u);
}

// Assigning the header in place again, as a header whose height changed is taken up, keeps it
// where it is with the constraints above the table that name what it holds.
TEST(TableView, TheSameHeaderAssignedAgainKeepsTheConstraintsThatNameItsSubviews) {
    Source source;
    source.texts = {"a"};
    auto root = std::make_shared<UIView>(CGRect(0, 0, 414, 600));
    auto table = makeTable(source);
    table->rowHeight = 50;
    table->setTranslatesAutoresizingMaskIntoConstraints(false);
    root->addSubview(table);
    root->addConstraints({
        NSLayoutConstraint::make(table, NSLayoutAttribute::width, NSLayoutRelation::equal, root,
                                 NSLayoutAttribute::width, 1, 0),
        NSLayoutConstraint::make(table, NSLayoutAttribute::height, NSLayoutRelation::equal, root,
                                 NSLayoutAttribute::height, 1, 0),
    });
    auto header = std::make_shared<UIView>(CGRect(0, 0, 375, 100));
    auto page = std::make_shared<UIView>();
    page->setTranslatesAutoresizingMaskIntoConstraints(false);
    header->addSubview(page);
    table->setTableHeaderView(header);
    header->addConstraints({
        NSLayoutConstraint::make(page, NSLayoutAttribute::top, NSLayoutRelation::equal, header,
                                 NSLayoutAttribute::top, 1, 0),
        NSLayoutConstraint::make(page, NSLayoutAttribute::bottom, NSLayoutRelation::equal, header,
                                 NSLayoutAttribute::bottom, 1, 0),
        NSLayoutConstraint::make(page, NSLayoutAttribute::leading, NSLayoutRelation::equal, header,
                                 NSLayoutAttribute::leading, 1, 0),
    });
    // As wide as the screen's view, which holds the table.
    auto wide = NSLayoutConstraint::make(page, NSLayoutAttribute::width, NSLayoutRelation::equal, root,
                                         NSLayoutAttribute::width, 1, 0);
    root->addConstraint(wide);
    root->layoutIfNeeded();
    EXPECT_EQ(page->frame(), CGRect(0, 0, 414, 100));

    header->setFrame(CGRect(0, 0, 414, 207));
    table->setTableHeaderView(header);
    root->layoutIfNeeded();
    EXPECT_EQ(header->superview(), table);
    EXPECT_TRUE(wide->isActive());
    EXPECT_EQ(page->frame(), CGRect(0, 0, 414, 207));
    EXPECT_EQ(table->rectForRow(IndexPath(0, 0)), CGRect(0, 207, 414, 50));

    // Another header takes the old one out, and with it what named it.
    table->setTableHeaderView(std::make_shared<UIView>(CGRect(0, 0, 10, 40)));
    EXPECT_EQ(header->superview(), nullptr);
    EXPECT_FALSE(wide->isActive());
}

TEST(TableView, TapSelectsAndSelectionMovesWithDelegateCalls) {
    ManualClock clock;
    Source source;
    source.texts = {"a", "b", "c"};
    auto table = makeTable(source);
    table->rowHeight = 50;
    auto root = std::make_shared<UIView>(CGRect(0, 0, 320, 480));
    root->addSubview(table);
    root->layoutIfNeeded();
    cw::TouchDelivery touches(root);
    touches.tap({100, 75});
    EXPECT_EQ(table->indexPathForSelectedRow(), IndexPath(1, 0));
    EXPECT_TRUE(table->cellForRow(IndexPath(1, 0))->isSelected());
    clock.advance(1);
    touches.tap({100, 125});
    EXPECT_EQ(table->indexPathForSelectedRow(), IndexPath(2, 0));
    EXPECT_EQ(source.events, (std::vector<std::string>{"select 1", "deselect 1", "select 2"}));
    // Dragging the table is a scroll, not a tap.
    clock.advance(1);
    touches.drag({100, 25}, {100, 5});
    EXPECT_EQ(table->indexPathForSelectedRow(), IndexPath(2, 0));
    EXPECT_EQ(source.events.size(), 3u);
    table->deselectRow(IndexPath(2, 0), false);
    EXPECT_EQ(table->indexPathForSelectedRow(), std::nullopt);
}

class NibHeader : public UITableViewHeaderFooterView {
public:
    using UITableViewHeaderFooterView::UITableViewHeaderFooterView;
    void awakeFromNib() override { awoken = true; }
    bool awoken = false;
};

struct Sections : UITableViewDataSource, UITableViewDelegate {
    long numberOfSections(UITableView*) override { return 3; }
    long numberOfRowsInSection(UITableView*, long) override { return 2; }
    std::shared_ptr<UITableViewCell> cellForRowAt(UITableView* t, const IndexPath& ip) override {
        auto cell = t->dequeueReusableCell("plain", ip);
        cell->textLabel()->setText("Row " + std::to_string(ip.row));
        return cell;
    }
    std::shared_ptr<UIView> viewForHeaderInSection(UITableView* t, long) override {
        return t->dequeueReusableHeaderFooterView("header");
    }
    CGFloat heightForHeaderInSection(UITableView*, long) override { return 40; }
    std::optional<std::string> titleForFooterInSection(UITableView*, long s) override {
        return s == 1 ? std::optional<std::string>("Footer") : std::nullopt;
    }
};

TEST(TableView, HeadersFromANibAreAwokenAndReused) {
    UINib::registerNib("TestSectionHeader", std::function<std::shared_ptr<UIView>()>([] {
                           auto header = std::make_shared<NibHeader>(CGRect(0, 0, 320, 40));
                           header->setBackgroundColor(UIColor::redColor());
                           return header;
                       }));
    Sections source;
    auto table = std::make_shared<UITableView>(CGRect(0, 0, 320, 200), UITableViewStyle::plain);
    table->registerNib(std::make_shared<UINib>(UINib::Factory{}, ""), "unused");
    table->registerCell("plain", [](const std::string& id) {
        return std::make_shared<UITableViewCell>(UITableViewCellStyle::value1, id);
    });
    table->registerHeaderFooterNib(UINib::nibWithName("TestSectionHeader"), "header");
    table->rowHeight = 44;
    table->setDataSource(&source);
    table->setDelegate(&source);
    table->layoutIfNeeded();
    auto header0 = std::dynamic_pointer_cast<NibHeader>(table->headerView(0));
    ASSERT_TRUE(header0);
    EXPECT_TRUE(header0->awoken);
    EXPECT_EQ(header0->frame(), CGRect(0, 0, 320, 40));
    EXPECT_EQ(table->rectForFooterInSection(1).size.height, 28);
    auto header1 = table->headerView(1);
    ASSERT_TRUE(header1);
    // Scrolled past sections 0 and 1, their headers go back to the queue and serve section 2.
    table->setContentOffset({0, 212});
    EXPECT_FALSE(table->headerView(0));
    auto header2 = table->headerView(2);
    EXPECT_TRUE(header2 == header0 || header2 == header1);
    // Unknown identifiers give no cell rather than a crash.
    EXPECT_FALSE(table->dequeueReusableCell("nothing"));
    EXPECT_FALSE(UINib::nibWithName("NoSuchNib")->instantiateFirst<UIView>());
}

TEST(TableViewCell, StylesPlaceTheirLabels) {
    UITableViewCell value1(UITableViewCellStyle::value1, "v");
    value1.setFrame(CGRect(0, 0, 320, 44));
    value1.textLabel()->setText("Title");
    value1.detailTextLabel()->setText("Detail");
    value1.setAccessoryType(UITableViewCellAccessoryType::disclosureIndicator);
    value1.layoutIfNeeded();
    EXPECT_LT(value1.contentView()->frame().size.width, 320);
    EXPECT_EQ(value1.textLabel()->frame().origin.x, 15);
    EXPECT_NEAR(value1.detailTextLabel()->frame().maxX(), value1.contentView()->frame().maxX() - 15, 0.5);
    UITableViewCell plain(UITableViewCellStyle::default_, "d");
    EXPECT_FALSE(plain.detailTextLabel());
    UITableViewCell subtitle(UITableViewCellStyle::subtitle, "s");
    subtitle.textLabel()->setText("Title");
    subtitle.detailTextLabel()->setText("Sub");
    EXPECT_GT(subtitle.sizeThatFits({320, 0}).height, 43);
}

} // namespace

namespace {

TEST(TableView, InsideASidewaysPagingScrollViewEachDragGoesItsOwnWay) {
    ManualClock clock;
    Source source;
    for (int i = 0; i < 50; ++i)
        source.texts.push_back("Row");
    auto root = std::make_shared<UIView>(CGRect(0, 0, 320, 480));
    auto pager = std::make_shared<UIScrollView>(CGRect(0, 0, 320, 480));
    pager->isPagingEnabled = true;
    pager->setContentSize({640, 480});
    root->addSubview(pager);
    auto table = makeTable(source);
    table->rowHeight = 44;
    pager->addSubview(table);
    root->layoutIfNeeded();
    cw::TouchDelivery touches(root);
    touches.drag({300, 200}, {60, 205}, 8); // sideways: the pager turns the page
    pager->finishScrolling();
    EXPECT_EQ(pager->contentOffset(), (CGPoint{320, 0}));
    EXPECT_EQ(table->contentOffset(), (CGPoint{0, 0}));
    pager->setContentOffset({0, 0});
    clock.advance(1);
    touches.drag({100, 400}, {105, 200}, 8); // upwards: the table scrolls
    table->finishScrolling();
    EXPECT_EQ(pager->contentOffset(), (CGPoint{0, 0}));
    EXPECT_EQ(table->contentOffset().y, 200);
    EXPECT_TRUE(source.events.empty());
}

TEST(TableView, TapOnADisabledButtonInARowSelectsTheRow) {
    ManualClock clock;
    Source source;
    source.texts = {"a", "b"};
    auto table = makeTable(source);
    table->rowHeight = 50;
    auto root = std::make_shared<UIView>(CGRect(0, 0, 320, 480));
    root->addSubview(table);
    root->layoutIfNeeded();
    auto button = std::make_shared<UIButton>(CGRect(200, 5, 100, 40));
    button->setEnabled(false);
    table->cellForRow(IndexPath(1, 0))->contentView()->addSubview(button);
    cw::tap(root, {250, 75});
    EXPECT_EQ(source.events, (std::vector<std::string>{"select 1"}));
    // Enabled, the button keeps its tap.
    button->setEnabled(true);
    int taps = 0;
    button->addAction([&](UIControl*) { ++taps; }, UIControlEventTouchUpInside);
    clock.advance(1);
    cw::tap(root, {250, 25 + 50});
    EXPECT_EQ(taps, 1);
    EXPECT_EQ(source.events.size(), 1u);
}

} // namespace
