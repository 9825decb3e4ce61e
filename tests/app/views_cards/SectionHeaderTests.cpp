#include "tests/app/toolkit_screen/ScreenHost.h"

#include "Extensions/UIColor+Palette.h"
#include "Views/HeaderLabel.h"
#include "Views/RoundedSectionFooterView.h"
#include "Views/RoundedSectionHeaderView.h"
#include "Views/RoundedSectionHeaderViewTwo.h"
#include "uikit/controls/UITableView.h"
#include "uikit/view/ViewRendering.h"

#include <gtest/gtest.h>

#include <set>

namespace {

bool sameImage(const std::shared_ptr<UIImage>& a, const std::shared_ptr<UIImage>& b) {
    return a && b && a->pngData() == b->pngData();
}

// A journey-like list: sections between rounded headers and footers; a tap on a header toggles
// its section.
class SectionList : public UITableViewDataSource, public UITableViewDelegate {
public:
    std::string headerNib = "RoundedSectionHeaderView";
    std::vector<bool> expanded{true, false, true};
    std::vector<int> taps{0, 0, 0};
    std::set<UIView*> headersMade;

    void install(UITableView& table) {
        table.registerHeaderFooterNib(UINib::nibWithName(headerNib), "header");
        table.registerHeaderFooterNib(UINib::nibWithName("RoundedSectionFooterView"), "footer");
        table.registerCellClass<UITableViewCell>("row");
    }
    long numberOfSections(UITableView*) override { return 3; }
    long numberOfRowsInSection(UITableView*, long section) override { return expanded[section] ? 2 : 0; }
    std::shared_ptr<UITableViewCell> cellForRowAt(UITableView* table, const IndexPath& ip) override {
        auto cell = table->dequeueReusableCell("row", ip);
        cell->textLabel()->setText("Milestone " + std::to_string(ip.row + 1));
        return cell;
    }
    CGFloat heightForHeaderInSection(UITableView*, long) override { return 60; }
    CGFloat heightForFooterInSection(UITableView*, long) override { return 20; }
    std::shared_ptr<UIView> viewForHeaderInSection(UITableView* table, long section) override {
        auto header = std::dynamic_pointer_cast<RoundedSectionHeaderBase>(
            table->dequeueReusableHeaderFooterView("header"));
        if (!header) return nullptr;
        headersMade.insert(header.get());
        header->onButtonTapped = [this, section] { ++taps[section]; };
        header->titleLabel()->setText("Week " + std::to_string(section + 1));
        header->setButtonImageFor(expanded[section]);
        return header;
    }
    std::shared_ptr<UIView> viewForFooterInSection(UITableView* table, long) override {
        return table->dequeueReusableHeaderFooterView("footer");
    }
};

struct ListScreen {
    cw::test::ScreenHost screen;
    std::shared_ptr<UITableView> table = std::make_shared<UITableView>(CGRect(0, 0, 375, 667));
    std::shared_ptr<SectionList> list = std::make_shared<SectionList>();

    explicit ListScreen(const std::string& headerNib = "RoundedSectionHeaderView") {
        list->headerNib = headerNib;
        list->install(*table);
        table->setDataSource(list);
        table->setDelegate(list);
        table->setBackgroundColor(UIColorPalette::tableViewBackground());
        table->separatorStyle = UITableViewCellSeparatorStyle::none;
        screen.screen()->addSubview(table);
        screen.host().settle();
    }
    std::shared_ptr<RoundedSectionHeaderBase> header(long section) const {
        return std::dynamic_pointer_cast<RoundedSectionHeaderBase>(table->headerView(section));
    }
    CGPoint inWindow(UIView& view, CGPoint p) const { return view.convert(p, screen.window().get()); }
};

} // namespace

TEST(SectionHeaders, HeadersAndFootersComeFromTheirNibsAndAreReused) {
    {
        ListScreen s;
        auto header = std::dynamic_pointer_cast<RoundedSectionHeaderView>(s.table->headerView(0));
        ASSERT_TRUE(header);
        ASSERT_TRUE(header->cardView() && header->baseView() && header->button() && header->titleLabel() &&
                    header->iconImageView());
        EXPECT_TRUE(header->clipsToBounds());
        EXPECT_EQ(header->baseView()->backgroundColor(), UIColorPalette::tableViewBackground());
        EXPECT_EQ(header->titleLabel()->text(), "Week 1");
        EXPECT_TRUE(
            sameImage(header->button()->image(UIControlStateNormal), UIImage::named("chevron-up-journey")));
        EXPECT_TRUE(sameImage(s.header(1)->button()->image(UIControlStateNormal),
                              UIImage::named("chevron-down-journey")));
        EXPECT_FALSE(sameImage(UIImage::named("chevron-up-journey"), UIImage::named("chevron-down-journey")));
        // The card runs past the header's bottom (clipped), where the section's rows continue it.
        EXPECT_GT(header->cardView()->frame().maxY(), header->bounds().height());
        auto footer = std::dynamic_pointer_cast<RoundedSectionFooterView>(s.table->footerView(0));
        ASSERT_TRUE(footer && footer->cardView() && footer->baseView());
        EXPECT_TRUE(footer->clipsToBounds());
        EXPECT_EQ(footer->baseView()->backgroundColor(), UIColorPalette::tableViewBackground());
        EXPECT_LT(footer->cardView()->frame().minY(), 0);

        // Reloading hands the same headers out again; the reused one keeps showing what it is given.
        const auto made = s.list->headersMade;
        EXPECT_EQ(made.size(), 3u);
        s.list->expanded[1] = true;
        s.table->reloadData();
        s.screen.host().settle();
        EXPECT_EQ(s.list->headersMade, made);
        EXPECT_TRUE(sameImage(s.header(1)->button()->image(UIControlStateNormal),
                              UIImage::named("chevron-up-journey")));
        s.header(1)->setButtonImageFor(true);
        EXPECT_TRUE(sameImage(s.header(1)->button()->image(UIControlStateNormal),
                              UIImage::named("chevron-up-journey")));
    }
    // The second header has no icon.
    ListScreen journey("RoundedSectionHeaderViewTwo");
    auto two = std::dynamic_pointer_cast<RoundedSectionHeaderViewTwo>(journey.table->headerView(0));
    ASSERT_TRUE(two && two->cardView() && two->button() && two->titleLabel());
    EXPECT_EQ(two->titleLabel()->text(), "Week 1");
}

TEST(SectionHeaders, ATapOnTheCardOrTheChevronReportsOnceAndAnUnsetOwnerHearsNothing) {
    ListScreen s;
    auto header = s.header(0);
    auto card = header->cardView();
    s.screen.tap(s.inWindow(*card, {60, 25}));
    EXPECT_EQ(s.list->taps, (std::vector<int>{1, 0, 0}));
    // On the title (which lies on the card) it is the card's tap.
    s.screen.host().advance(1);
    s.screen.tap(s.inWindow(*header->titleLabel(), {5, 5}));
    EXPECT_EQ(s.list->taps, (std::vector<int>{2, 0, 0}));
    s.screen.host().advance(1);
    auto chevron = header->button();
    s.screen.tap(s.inWindow(*chevron, {22, 22}));
    EXPECT_EQ(s.list->taps, (std::vector<int>{3, 0, 0})) << "the chevron's touch-up, not the card's tap too";
    s.screen.host().advance(1);
    s.screen.tap(s.inWindow(*s.header(2)->cardView(), {60, 25}));
    EXPECT_EQ(s.list->taps, (std::vector<int>{3, 0, 1}));

    header->onButtonTapped = nullptr;
    s.screen.host().advance(1);
    s.screen.tap(s.inWindow(*card, {60, 25}));
    header->buttonTapped();
    EXPECT_EQ(s.list->taps, (std::vector<int>{3, 0, 1}));
}

TEST(SectionHeaders, AHeaderLabelMeasuresAndDrawsItsTextInsideItsInsets) {
    auto plain = std::make_shared<UILabel>();
    auto label = std::make_shared<HeaderLabel>();
    for (UILabel* l : {static_cast<UILabel*>(plain.get()), static_cast<UILabel*>(label.get())}) {
        l->setFont(label->font());
        l->setText("Filter by baby");
    }
    EXPECT_EQ(label->backgroundColor(), UIColorWithHex("#A3DBC6", 1));
    EXPECT_EQ(label->textColor(), UIColor::whiteColor());
    EXPECT_EQ(label->font().fontName(), "Avenir-Medium");
    EXPECT_EQ(label->font().pointSize(), 20);
    EXPECT_EQ(label->intrinsicContentSize(), plain->intrinsicContentSize()) << "zero insets: a plain label";

    label->setTextInsets({10, 16, 10, 16});
    const CGSize text = plain->intrinsicContentSize();
    EXPECT_EQ(label->intrinsicContentSize(), CGSize(text.width + 32, text.height + 20));
    label->setFrame(CGRect({0, 0}, label->intrinsicContentSize()));

    // Every white text pixel lies inside the rectangle 16 in from the sides and 10 from top and bottom.
    auto image = cw::renderView(*label, 2);
    int minX = image->pixelWidth(), maxX = -1, minY = image->pixelHeight(), maxY = -1;
    for (int y = 0; y < image->pixelHeight(); ++y)
        for (int x = 0; x < image->pixelWidth(); ++x)
            if (image->pixelColor(x, y).red() > 0.9) {
                minX = std::min(minX, x), maxX = std::max(maxX, x);
                minY = std::min(minY, y), maxY = std::max(maxY, y);
            }
    ASSERT_GE(maxX, 0) << "text was drawn";
    EXPECT_GE(minX, 2 * 16);
    EXPECT_LT(maxX, image->pixelWidth() - 2 * 16);
    EXPECT_GE(minY, 2 * 10);
    EXPECT_LT(maxY, image->pixelHeight() - 2 * 10);
}
