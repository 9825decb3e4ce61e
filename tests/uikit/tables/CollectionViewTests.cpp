#include "foundation/time/Clock.h"
#include "uikit/controls/UICollectionView.h"
#include "uikit/controls/UIEvent.h"

#include <gtest/gtest.h>

namespace {

struct Items : UICollectionViewDataSource, UICollectionViewDelegateFlowLayout {
    long count = 100;
    std::vector<IndexPath> selected;
    std::optional<CGSize> wide;
    long numberOfItemsInSection(UICollectionView*, long) override { return count; }
    std::shared_ptr<UICollectionViewCell> cellForItemAt(UICollectionView* cv, const IndexPath& ip) override {
        return cv->dequeueReusableCell("item", ip);
    }
    void didSelectItemAt(UICollectionView*, const IndexPath& ip) override { selected.push_back(ip); }
    std::optional<CGSize> sizeForItemAt(UICollectionView*, const IndexPath& ip) override {
        return ip.item() == 0 ? wide : std::nullopt;
    }
};

std::shared_ptr<UICollectionView> grid(Items& items, std::shared_ptr<UICollectionViewFlowLayout> layout) {
    layout->itemSize = {100, 100};
    auto cv = std::make_shared<UICollectionView>(CGRect(0, 0, 320, 480), layout);
    cv->registerCellClass<UICollectionViewCell>("item");
    cv->setDataSource(&items);
    cv->setDelegate(&items);
    cv->layoutIfNeeded();
    return cv;
}

TEST(CollectionView, FlowLayoutFillsLinesAndReusesCells) {
    Items items;
    auto layout = std::make_shared<UICollectionViewFlowLayout>();
    auto cv = grid(items, layout);
    // Three to a line, spread to both edges; lines 10 apart.
    EXPECT_EQ(cv->layoutAttributesForItem(IndexPath::forItem(4, 0))->frame, CGRect(110, 110, 100, 100));
    EXPECT_EQ(cv->contentSize(), (CGSize{320, 34 * 100 + 33 * 10}));
    // The last line (one item) sits in the middle.
    EXPECT_EQ(cv->layoutAttributesForItem(IndexPath::forItem(99, 0))->frame.origin.x, 110);
    EXPECT_EQ(cv->visibleCells().size(), 15u);
    for (int i = 0; i < 40; ++i)
        cv->setContentOffset({0, cv->contentOffset().y + 90});
    EXPECT_LE(cv->cellsCreated(), 21u);
    EXPECT_EQ(cv->indexPathForItem({150, cv->contentOffset().y + 5}).has_value(), true);
}

TEST(CollectionView, DelegateSizesInsetsAndSideways) {
    Items items;
    items.count = 5;
    items.wide = CGSize{300, 50};
    auto layout = std::make_shared<UICollectionViewFlowLayout>();
    layout->sectionInset = {20, 10, 20, 10};
    auto cv = grid(items, layout);
    EXPECT_EQ(cv->layoutAttributesForItem(IndexPath::forItem(0, 0))->frame, CGRect(10, 20, 300, 50));
    // 300 wide of room: two items of 100 and the minimum spacing fit, spread apart.
    EXPECT_EQ(cv->layoutAttributesForItem(IndexPath::forItem(2, 0))->frame, CGRect(210, 80, 100, 100));

    Items row;
    row.count = 6;
    auto side = std::make_shared<UICollectionViewFlowLayout>();
    side->scrollDirection = UICollectionViewScrollDirection::horizontal;
    auto strip = grid(row, side);
    // Columns of four down a 480-point height, moving right.
    EXPECT_EQ(strip->layoutAttributesForItem(IndexPath::forItem(4, 0))->frame.origin.x, 110);
    EXPECT_EQ(strip->contentSize().width, 210);
}

TEST(CollectionView, TapSelectsAnItem) {
    ManualClock clock;
    Items items;
    auto cv = grid(items, std::make_shared<UICollectionViewFlowLayout>());
    auto root = std::make_shared<UIView>(CGRect(0, 0, 320, 480));
    root->addSubview(cv);
    cw::tap(root, {150, 150});
    ASSERT_EQ(items.selected.size(), 1u);
    EXPECT_EQ(items.selected[0], IndexPath::forItem(4, 0));
    EXPECT_TRUE(cv->cellForItem(IndexPath::forItem(4, 0))->isSelected());
    EXPECT_EQ(cv->indexPathsForSelectedItems(), std::vector<IndexPath>{IndexPath::forItem(4, 0)});
}

} // namespace
