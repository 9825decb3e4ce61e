#include "uikit/controls/UITableView.h"

#include <gtest/gtest.h>

namespace {

class NibCell : public UITableViewCell {
public:
    NibCell() : UITableViewCell(UITableViewCellStyle::default_, "") {
        badge = std::make_shared<Badge>();
        contentView()->addSubview(badge);
    }
    struct Badge : UIView {
        int awoken = 0;
        void awakeFromNib() override { ++awoken; }
    };
    void awakeFromNib() override {
        ++awoken;
        badgeAwokeFirst = badge->awoken == 1;
    }
    std::shared_ptr<Badge> badge;
    int awoken = 0;
    bool badgeAwokeFirst = false;
};

struct Feed : UITableViewDataSource {
    long numberOfRowsInSection(UITableView*, long) override { return 200; }
    std::shared_ptr<UITableViewCell> cellForRowAt(UITableView* t, const IndexPath& ip) override {
        return t->dequeueReusableCell<NibCell>("FeedCell", ip);
    }
};

TEST(NibCells, AwokenOnceWhenMadeNotWhenReused) {
    UINib::registerNib("FeedCellNib",
                       std::function<std::shared_ptr<UIView>()>([] { return std::make_shared<NibCell>(); }));
    Feed feed;
    UITableView table(CGRect(0, 0, 320, 480));
    table.registerNib(UINib::nibWithName("FeedCellNib"), "FeedCell");
    table.rowHeight = 60;
    table.setDataSource(&feed);
    table.layoutIfNeeded();
    for (int i = 0; i < 50; ++i)
        table.setContentOffset({0, table.contentOffset().y + 100});
    ASSERT_FALSE(table.visibleCells().empty());
    for (const auto& c : table.visibleCells()) {
        auto cell = std::static_pointer_cast<NibCell>(c);
        EXPECT_EQ(cell->awoken, 1);
        EXPECT_TRUE(cell->badgeAwokeFirst); // the views inside are awoken before their owner
        EXPECT_EQ(cell->reuseIdentifier(), "FeedCell");
    }
    EXPECT_LE(table.cellsCreated(), 10u);
}

TEST(ScrollInsets, SafeAreaAndBehaviourDecideTheAdjustedInsetAndTheOffsetRange) {
    auto root = std::make_shared<UIView>(CGRect(0, 0, 375, 667));
    root->setSafeAreaInsets({64, 0, 34, 0});
    auto scroll = std::make_shared<UIScrollView>(CGRect(0, 0, 375, 667));
    root->addSubview(scroll);
    scroll->setContentSize({375, 2000});
    scroll->setContentInset({10, 0, 0, 0});
    EXPECT_EQ(scroll->adjustedContentInset(), (UIEdgeInsets{74, 0, 34, 0}));
    EXPECT_EQ(scroll->minimumContentOffset(), (CGPoint{0, -74}));
    EXPECT_EQ(scroll->maximumContentOffset(), (CGPoint{0, 2000 + 34 - 667}));
    scroll->setContentInsetAdjustmentBehavior(UIScrollViewContentInsetAdjustmentBehavior::never);
    EXPECT_EQ(scroll->adjustedContentInset(), (UIEdgeInsets{10, 0, 0, 0}));
    // Content that fits sideways takes no side insets, and scrolling a rectangle into view moves
    // only as far as needed.
    scroll->scrollRectToVisible(CGRect(0, 1000, 10, 50), false);
    EXPECT_EQ(scroll->contentOffset(), (CGPoint{0, 1050 - 667}));
    scroll->scrollRectToVisible(CGRect(0, 500, 10, 50), false);
    EXPECT_EQ(scroll->contentOffset(), (CGPoint{0, 1050 - 667}));
}

} // namespace
