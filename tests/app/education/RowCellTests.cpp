// The two row cells of the library, laid out on their own.

#include "Controllers/Education/EducationFeedViewCell.h"
#include "Controllers/Education/RecommendedFeedTableViewCell.h"
#include "host/HeadlessHost.h"
#include "tests/support/AppEnvironment.h"
#include "tests/support/WhiteScreenApp.h"
#include "uikit/controls/UINib.h"
#include "uikit/graphics/UIImage.h"

#include <gtest/gtest.h>

namespace cw::test {
namespace {

class Recorder : public EducationFeedViewCellDelegate {
public:
    void bookmarkContentTapped(EducationFeedViewCell& cell) override { bookmarks.push_back(&cell); }
    void shareTapped(EducationFeedViewCell& cell) override { shares.push_back(&cell); }
    std::vector<EducationFeedViewCell*> bookmarks, shares;
};

class RowCellTest : public ::testing::Test {
protected:
    void SetUp() override {
        UIImage::setResourceDirectory(generatedResourcesDirectory());
        app = std::make_shared<WhiteScreenApp>();
        host.launch(app);
    }
    void place(const std::shared_ptr<UIView>& cell, CGFloat height) {
        cell->setFrame({0, 100, 375, height});
        app->root->view()->addSubview(cell);
        host.settle();
    }
    cw::HeadlessHost host;
    std::shared_ptr<WhiteScreenApp> app;
};

TEST_F(RowCellTest, ASearchRowSizesItsPartsByTheScreenAndReportsItsButtons) {
    auto cell = std::make_shared<EducationFeedViewCell>(UITableViewCellStyle::default_, "EducationFeedViewCell");
    cell->titleLabel->setText(std::string("Kangaroo care: skin to skin, and what it does for your baby and for you, day after "
                                          "day, in the unit and at home"));
    place(cell, 140);
    EXPECT_EQ(cell->imageWidthHeight, 86.25);
    EXPECT_EQ(cell->fontSize, 19.125);
    EXPECT_EQ(cell->titleLabel->font().pointSize(), 19.125);
    const CGRect thumbnail = cell->thumbnailImageView->frame();
    EXPECT_NEAR(thumbnail.width(), 86.25, 0.5);
    EXPECT_NEAR(thumbnail.height(), 86.25, 0.5);
    EXPECT_NEAR(thumbnail.maxX(), 365, 0.5);
    EXPECT_EQ(cell->titleLabel->frame().origin.x, 13);
    EXPECT_EQ(cell->titleLabel->frame().origin.y, 10);
    EXPECT_EQ(cell->bookmarkButton->frame().origin.x, 15);
    EXPECT_EQ(cell->shareButton->frame().origin.x, cell->bookmarkButton->frame().maxX() + 15);
    EXPECT_EQ(cell->bookmarkButton->frame().maxY(), 130);
    EXPECT_EQ(cell->shareButton->center().y, cell->bookmarkButton->center().y);
    EXPECT_LE(cell->titleLabel->frame().maxX(), thumbnail.origin.x - 10);
    // A long title shows three lines at most, at its own size.
    EXPECT_LE(cell->titleLabel->frame().height(), 3 * cell->titleLabel->font().lineHeight() + 1);

    cell->hideThumbnail();
    host.settle();

    EXPECT_EQ(cell->thumbnailImageView->frame().width(), 0);
    EXPECT_LE(cell->titleLabel->frame().maxX(), 355);
    cell->showThumbnail();
    host.settle();
    EXPECT_NEAR(cell->thumbnailImageView->frame().width(), 86.25, 0.5);

    // Without a delegate a tap does nothing; with one, the delegate hears of this very cell.
    ASSERT_TRUE(host.tap(cell->shareButton));
    auto recorder = std::make_shared<Recorder>();
    cell->delegate = recorder;
    ASSERT_TRUE(host.tap(cell->shareButton));
    ASSERT_TRUE(host.tap(cell->bookmarkButton));
    EXPECT_EQ(recorder->shares, std::vector<EducationFeedViewCell*>{cell.get()});
    EXPECT_EQ(recorder->bookmarks, std::vector<EducationFeedViewCell*>{cell.get()});
}

TEST_F(RowCellTest, TheRecommendedRowComesFromItsNibWithItsOutletsAndReportsItsStar) {
    auto cell = UINib::nibWithName("RecommendedFeedTableViewCell")->instantiateFirst<RecommendedFeedTableViewCell>();
    ASSERT_TRUE(cell);
    ASSERT_TRUE(cell->contentImageView() && cell->bookmarkButton() && cell->contentLabel());
    EXPECT_EQ(cell->contentImageView()->layer()->cornerRadius, 10);
    EXPECT_TRUE(cell->contentImageView()->clipsToBounds());
    place(cell, 82);
    int taps = 0;
    ASSERT_TRUE(host.tap(cell->bookmarkButton()));
    cell->onButtonTapped = [&] { ++taps; };
    ASSERT_TRUE(host.tap(cell->bookmarkButton()));
    EXPECT_EQ(taps, 1);
    // A cell made in code has no outlets.
    EXPECT_FALSE(RecommendedFeedTableViewCell(UITableViewCellStyle::default_, "cell").bookmarkButton());
}

} // namespace
} // namespace cw::test
