#include "Views/BasicTableCell.h"
#include "Views/CustomTCView.h"
#include "Views/DatePickerCell.h"
#include "Views/FakeHeaderCell.h"
#include "Views/ToggleCell.h"
#include "foundation/archive/NSKeyedArchiver.h"
#include "uikit/controls/UINib.h"
#include "uikit/controls/UITableView.h"

#include <gtest/gtest.h>

TEST(SimpleCells, ABasicCellHandsOutItsConnectedViewsAndOtherwiseTheStandardOnes) {
    // Made in code: the standard views.
    auto plain = std::make_shared<BasicTableCell>(UITableViewCellStyle::subtitle, "basic");
    auto standardText = plain->textLabel();
    ASSERT_TRUE(standardText);
    EXPECT_EQ(standardText->superview(), plain->contentView());
    EXPECT_TRUE(plain->detailTextLabel());

    // An interface file that connects all three.
    auto cell = std::make_shared<BasicTableCell>(UITableViewCellStyle::subtitle, "basic");
    auto image = std::make_shared<UIImageView>(CGRect(10, 10, 40, 40));
    auto text = std::make_shared<UILabel>(CGRect(60, 8, 200, 20));
    auto detail = std::make_shared<UILabel>(CGRect(60, 30, 200, 16));
    for (const std::shared_ptr<UIView>& v :
         {std::static_pointer_cast<UIView>(image), std::static_pointer_cast<UIView>(text),
          std::static_pointer_cast<UIView>(detail)})
        cell->contentView()->addSubview(v);
    cell->setImageViewOutlet(image);
    cell->setTextLabelOutlet(text);
    cell->setDetailTextLabelOutlet(detail);
    UITableViewCell& asCell = *cell;
    EXPECT_EQ(asCell.imageView(), image);
    EXPECT_EQ(asCell.textLabel(), text);
    EXPECT_EQ(asCell.detailTextLabel(), detail);

    // A file that connects only the text label.
    auto partly = std::make_shared<BasicTableCell>(UITableViewCellStyle::subtitle, "basic");
    auto own = std::make_shared<UILabel>();
    partly->contentView()->addSubview(own);
    partly->setTextLabelOutlet(own);
    EXPECT_EQ(partly->textLabel(), own);
    EXPECT_NE(partly->imageView(), nullptr);
    EXPECT_NE(partly->detailTextLabel(), own);
    // A connected view that is gone leaves the standard one.
    own->removeFromSuperview();
    own.reset();
    EXPECT_NE(partly->textLabel(), nullptr);
    EXPECT_EQ(partly->textLabel()->superview(), partly->contentView());
}

TEST(SimpleCells, TheSettingsRowsComeFromTheirNibsWithTheirControlsConnected) {
    auto table = std::make_shared<UITableView>(CGRect(0, 0, 375, 600));
    table->registerNib(UINib::nibWithName("DatePickerCell"), DatePickerCell::defaultReuseIdentifier);
    table->registerNib(UINib::nibWithName("ToggleCell"), ToggleCell::defaultReuseIdentifier);
    auto picker = table->dequeueReusableCell<DatePickerCell>("TimePicker", IndexPath(0, 0));
    ASSERT_TRUE(picker && picker->datePicker());
    EXPECT_EQ(picker->datePicker()->superview(), picker->contentView());
    auto toggle = table->dequeueReusableCell<ToggleCell>("ToggleCell", IndexPath(0, 1));
    ASSERT_TRUE(toggle && toggle->toggle());
    toggle->setFrame(CGRect(0, 0, 375, 44));
    toggle->layoutIfNeeded();
    EXPECT_EQ(toggle->toggle()->frame().maxX(), 375 - 15);

    // Made in code, the outlets are empty.
    EXPECT_FALSE(std::make_shared<ToggleCell>(UITableViewCellStyle::default_, "ToggleCell")->toggle());
    EXPECT_FALSE(
        std::make_shared<DatePickerCell>(UITableViewCellStyle::default_, "TimePicker")->datePicker());
    auto fake = std::make_shared<FakeHeaderCell>(UITableViewCellStyle::default_, "fake");
    EXPECT_FALSE(fake->headerLabel());
}

TEST(SimpleCells, ATitleOverASubtitleKeepsItsGapsAndOneSetOfConstraints) {
    auto view = std::make_shared<CustomTCView>(
        std::string("Quiet hours"),
        std::string("No notifications reach you between these times, except those from the care team."));
    EXPECT_TRUE(view->didUpdateConstraints);
    ASSERT_EQ(view->subviews().size(), 2u);
    EXPECT_EQ(view->subviews()[0], view->titleLabel());
    EXPECT_EQ(view->titleLabel()->accessibilityIdentifier(), "cellTitle");
    EXPECT_EQ(view->subTitleLabel()->accessibilityIdentifier(), "cellSubTitle");
    EXPECT_EQ(view->titleLabel()->font().fontName(), "Avenir-Medium");
    EXPECT_EQ(view->subTitleLabel()->font().fontName(), "Avenir");
    EXPECT_EQ(view->titleLabel()->numberOfLines(), 0);
    const std::size_t installed = view->constraints().size();
    EXPECT_GT(installed, 0u);

    // In a 200-point column: as tall as its texts, with gaps of 10, 5 and 10.
    auto column = std::make_shared<UIView>(CGRect(0, 0, 200, 600));
    column->addSubview(view);
    view->setTranslatesAutoresizingMaskIntoConstraints(false);
    column->addConstraints(NSLayoutConstraint::constraints("H:|[v]|", 0, {}, {{"v", view}}));
    column->addConstraints(NSLayoutConstraint::constraints("V:|[v]", 0, {}, {{"v", view}}));
    for (int pass = 0; pass < 3; ++pass) {
        view->setNeedsUpdateConstraints();
        column->layoutIfNeeded();
    }
    EXPECT_EQ(view->constraints().size(), installed) << "installed once";
    const CGRect title = view->titleLabel()->frame(), sub = view->subTitleLabel()->frame();
    EXPECT_EQ(title.minY(), 10);
    EXPECT_EQ(sub.minY(), title.maxY() + 5);
    EXPECT_EQ(view->frame().height(), sub.maxY() + 10);
    EXPECT_EQ(title.width(), 200);
    EXPECT_GT(sub.height(), 2 * view->subTitleLabel()->font().lineHeight()) << "the subtitle wraps";

    // A long title pushes the subtitle down.
    auto longer = std::make_shared<CustomTCView>(std::string("Quiet hours on weekdays and on weekends alike"),
                                                 std::string("Short"));
    column->addSubview(longer);
    longer->setTranslatesAutoresizingMaskIntoConstraints(false);
    column->addConstraints(NSLayoutConstraint::constraints("H:|[l]|", 0, {}, {{"l", longer}}));
    column->addConstraints(NSLayoutConstraint::constraints("V:[v][l]", 0, {}, {{"v", view}, {"l", longer}}));
    column->layoutIfNeeded();
    EXPECT_GT(longer->titleLabel()->frame().height(), 1.5 * longer->titleLabel()->font().lineHeight());
    EXPECT_EQ(longer->subTitleLabel()->frame().minY(), longer->titleLabel()->frame().maxY() + 5);

    // From an interface file: no texts and no labels until the platform asks for constraints.
    auto coder = NSCoder::empty();
    auto decoded = std::make_shared<CustomTCView>(coder);
    EXPECT_FALSE(decoded->didUpdateConstraints);
    EXPECT_TRUE(decoded->subviews().empty());
    decoded->setFrame(CGRect(0, 0, 200, 40));
    decoded->layoutIfNeeded();
    EXPECT_TRUE(decoded->didUpdateConstraints);
    ASSERT_EQ(decoded->subviews().size(), 2u);
    EXPECT_EQ(view->titleLabel()->text(), "Quiet hours");
    EXPECT_EQ(decoded->titleLabel()->text(), std::nullopt);
}
