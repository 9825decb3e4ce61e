#include "uikit/controls/UITableView.h"

#include <gtest/gtest.h>

namespace {

// A cell laid out by an interface file hands out its own label where code asks for the standard one.
class OwnLabelCell : public UITableViewCell {
public:
    using UITableViewCell::UITableViewCell;
    std::weak_ptr<UILabel> ownLabel;
    std::shared_ptr<UILabel> textLabel() override {
        if (auto l = ownLabel.lock()) return l;
        return UITableViewCell::textLabel();
    }
};

} // namespace

TEST(CellViewOverride, CodeWrittenForTheStandardLabelReachesTheCellsOwn) {
    auto cell = std::make_shared<OwnLabelCell>(UITableViewCellStyle::default_, "row");
    auto own = std::make_shared<UILabel>(CGRect(200, 5, 100, 20));
    cell->contentView()->addSubview(own);
    cell->ownLabel = own;
    UITableViewCell& asCell = *cell;
    asCell.textLabel()->setText("Quiet hours");
    EXPECT_EQ(own->text(), "Quiet hours");
    cell->setFrame(CGRect(0, 0, 320, 44));
    cell->layoutIfNeeded();
    // The standard layout leaves the cell's own label where its file put it.
    EXPECT_EQ(own->frame(), CGRect(200, 5, 100, 20));

    own->removeFromSuperview();
    own.reset();
    EXPECT_NE(asCell.textLabel(), nullptr);
    EXPECT_EQ(asCell.textLabel()->text(), std::nullopt);
}

TEST(CellViewOverride, AStandardLabelHandedToConstraintsStaysWhereTheyPutIt) {
    auto cell = std::make_shared<UITableViewCell>(UITableViewCellStyle::default_, "row");
    auto label = cell->textLabel();
    label->setText("Name");
    label->setTranslatesAutoresizingMaskIntoConstraints(false);
    cell->addConstraints(NSLayoutConstraint::constraints("H:|-5-[label(90)]", 0, {}, {{"label", label}}));
    cell->addConstraint(NSLayoutConstraint::make(label, NSLayoutAttribute::centerY, NSLayoutRelation::equal,
                                                 cell, NSLayoutAttribute::centerY, 1, 0));
    for (const CGRect frame : {CGRect(0, 0, 320, 44), CGRect(0, 0, 320, 44), CGRect(0, 0, 414, 60)}) {
        cell->setFrame(frame);
        cell->setNeedsLayout();
        cell->layoutIfNeeded();
        EXPECT_EQ(label->frame().minX(), 5);
        EXPECT_EQ(label->frame().width(), 90);
        EXPECT_NEAR(label->frame().midY(), frame.height() / 2, 0.5);
    }
}

TEST(CellViewOverride, TheContentViewFollowsTheCellsSizeAtOnce) {
    auto cell = std::make_shared<UITableViewCell>(UITableViewCellStyle::default_, "row");
    cell->setFrame(CGRect(0, 0, 375, 54));
    // Before any layout pass: constraints between the cell and its content view see one size.
    EXPECT_EQ(cell->contentView()->frame(), CGRect(0, 0, 375, 54));
    cell->setAccessoryType(UITableViewCellAccessoryType::disclosureIndicator);
    cell->layoutIfNeeded();
    EXPECT_EQ(cell->contentView()->frame().width(), 375 - cell->accessoryWidth());
    cell->setFrame(CGRect(0, 0, 414, 54));
    EXPECT_EQ(cell->contentView()->frame().width(), 414 - cell->accessoryWidth());
}
