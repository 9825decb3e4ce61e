#include "Views/BasicTableCell.h"
#include "Views/DatePickerCell.h"
#include "Views/FakeHeaderCell.h"
#include "Views/ToggleCell.h"
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
