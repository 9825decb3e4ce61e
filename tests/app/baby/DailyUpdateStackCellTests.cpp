#include "Controllers/Baby/DailyUpdateStackCell.h"
#include "Controllers/Baby/DailyUpdateViewController.h"

#include "foundation/time/DeviceSettingsGuard.h"
#include "host/HeadlessHost.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

DailyUpdateItem itemWith(std::optional<std::string> title, std::size_t subItems, std::vector<std::string> data = {}) {
    DailyUpdateItem item;
    item.title = std::move(title);
    if (subItems > 0) {
        item.subItems.emplace();
        for (std::size_t i = 0; i < subItems; ++i)
            item.subItems->push_back({"Row " + std::to_string(i), "Value " + std::to_string(i)});
    }
    if (!data.empty()) item.data = std::move(data);
    return item;
}

std::shared_ptr<DailyUpdateStackCell> makeCell() {
    auto cell = std::make_shared<DailyUpdateStackCell>(UITableViewCellStyle::default_, DailyUpdateStackCell::kReuseIdentifier);
    cell->awakeFromNib();
    return cell;
}

// "row", "separator" or "line" for each arranged view of the stack.
std::vector<std::string> kinds(const DailyUpdateStackCell& cell) {
    std::vector<std::string> result;
    for (const auto& v : cell.stackView->arrangedSubviews()) {
        if (auto row = std::dynamic_pointer_cast<UIStackView>(v)) {
            EXPECT_EQ(row->axis(), UILayoutConstraintAxis::horizontal);
            EXPECT_EQ(row->distribution(), UIStackViewDistribution::fillProportionally);
            result.push_back("row");
        } else if (std::dynamic_pointer_cast<UILabel>(v)) {
            result.push_back("line");
        } else {
            EXPECT_EQ(v->backgroundColor(), UIColor(0xe6 / 255.0, 0xe6 / 255.0, 0xe6 / 255.0));
            result.push_back("separator");
        }
    }
    return result;
}

TEST(DailyUpdateStackCell, StacksRowsWithHairlinesBetweenThenTheDataLines) {
    cw::HeadlessHost host;
    auto cell = makeCell();
    cell->configureWithDailyUpdate(itemWith("Breathing", 3, {"Breast milk", "No fortifier yet"}));
    EXPECT_EQ(kinds(*cell),
              (std::vector<std::string>{"row", "separator", "row", "separator", "row", "line", "line"}));
    EXPECT_EQ(cell->interStackConstraint->constant(), 18);
    const auto row = std::dynamic_pointer_cast<UIStackView>(cell->stackView->arrangedSubviews()[2]);
    const auto title = std::dynamic_pointer_cast<UILabel>(row->arrangedSubviews()[0]);
    const auto value = std::dynamic_pointer_cast<UILabel>(row->arrangedSubviews()[1]);
    EXPECT_EQ(title->text(), "Row 1");
    EXPECT_EQ(title->font(), UIFont::systemFont(15));
    EXPECT_EQ(value->text(), "Value 1");
    EXPECT_EQ(value->font(), UIFont::systemFont(15, UIFont::Weight::medium));
    EXPECT_EQ(value->textAlignment(), NSTextAlignment::right);
    EXPECT_EQ(value->minimumScaleFactor(), 0.5);
    const auto line = std::dynamic_pointer_cast<UILabel>(cell->stackView->arrangedSubviews()[6]);
    EXPECT_EQ(line->text(), "No fortifier yet");
    EXPECT_EQ(line->numberOfLines(), 0);
    EXPECT_EQ(line->font(), UIFont::preferredFont(UIFontTextStyle::callout));

    // Laid out, the column stands under the subtitle, one view under the other, hairlines 1 point high.
    cell->setFrame({0, 0, 375, 400});
    cell->layoutIfNeeded();
    const auto& arranged = cell->stackView->arrangedSubviews();
    EXPECT_EQ(arranged[1]->frame().height(), 1);
    for (std::size_t i = 1; i < arranged.size(); ++i)
        EXPECT_GE(arranged[i]->frame().minY(), arranged[i - 1]->frame().maxY()) << i;
    EXPECT_NEAR(cell->stackView->frame().minY(), cell->subtitleLabel->frame().maxY() + 18, 0.5);

    // Only data lines; then nothing at all.
    auto lines = makeCell();
    lines->configureWithDailyUpdate(itemWith("Feeding", 0, {"Breast milk"}));
    EXPECT_EQ(kinds(*lines), std::vector<std::string>{"line"});
    EXPECT_EQ(lines->interStackConstraint->constant(), 18);
    auto empty = makeCell();
    empty->configureWithDailyUpdate(itemWith("Temperature", 0));
    EXPECT_TRUE(empty->stackView->arrangedSubviews().empty());
    EXPECT_EQ(empty->interStackConstraint->constant(), 0);
}

TEST(DailyUpdateStackCell, TitlesAreCapitalizedWithAndLoweredOnlyAsAWord) {
    DeviceSettingsGuard device("en_US", "UTC");
    auto cell = makeCell();
    auto title = [&](std::optional<std::string> text) {
        cell->prepareForReuse();
        cell->configureWithDailyUpdate(itemWith(std::move(text), 0));
        return cell->titleLabel->text();
    };
    EXPECT_EQ(title("blood pressure AND heart rate"), "Blood Pressure and Heart Rate");
    EXPECT_EQ(title("photo of the day"), "Photo Of The Day");
    EXPECT_EQ(title("android tablet"), "Android Tablet");
    EXPECT_EQ(title("and"), "and");
    EXPECT_EQ(title("bread andes AND\tsand"), "Bread Andes and\tSand");
    EXPECT_EQ(title(std::nullopt), std::nullopt);
    DeviceSettingsGuard turkish("tr_TR", "UTC");
    EXPECT_EQ(title("ilik"), "İlik");
}

TEST(DailyUpdateStackCell, SubtitleMarkerAndReuse) {
    cw::HeadlessHost host;
    auto cell = makeCell();

    DailyUpdateItem weight = itemWith("Weight", 0);
    weight.subtitle = "Up about 20 g since yesterday";
    weight.formattedText = "not shown";
    weight.isUpdate = true;
    cell->configureWithDailyUpdate(weight);
    EXPECT_EQ(cell->subtitleLabel->text(), "Up about 20 g since yesterday");
    EXPECT_FALSE(cell->indicator->isHidden());
    EXPECT_EQ(cell->indicator->layer()->cornerRadius, 3);
    EXPECT_EQ(cell->contentView()->backgroundColor(), UIColor(0xFB / 255.0, 0xFB / 255.0, 0xFB / 255.0));

    // Reused for an item with sub-items and no subtitle: none of the weight's texts or rows remain.
    cell->prepareForReuse();
    EXPECT_TRUE(cell->stackView->arrangedSubviews().empty());
    EXPECT_TRUE(cell->stackView->subviews().empty());
    DailyUpdateItem breathing = itemWith("Breathing", 1);
    breathing.formattedText = "not shown either";
    cell->configureWithDailyUpdate(breathing);
    EXPECT_EQ(cell->subtitleLabel->text(), std::nullopt);
    EXPECT_TRUE(cell->indicator->isHidden());
    EXPECT_EQ(kinds(*cell), std::vector<std::string>{"row"});

    // No subtitle and no sub-items: the formatted text, or nothing.
    cell->prepareForReuse();
    DailyUpdateItem feeding = itemWith("Feeding", 0);
    feeding.subItems.emplace();
    feeding.formattedText = "Olivia is taking 224 ml a day.";
    cell->configureWithDailyUpdate(feeding);
    EXPECT_EQ(cell->subtitleLabel->text(), "Olivia is taking 224 ml a day.");
    cell->prepareForReuse();
    cell->configureWithDailyUpdate(itemWith("Temperature", 0));
    EXPECT_EQ(cell->subtitleLabel->text(), std::nullopt);

    // The picture view is the cell's own; without an address it is cleared.
    EXPECT_EQ(cell->imageView(), cell->_imageView);
    cell->_imageView->setImage(UIImage::named("card_default_baby"));
    cell->configureWithDailyUpdate(itemWith("Photo of the day", 0));
    EXPECT_FALSE(cell->_imageView->image());

    // The table's separator is pushed out of sight at each layout.
    cell->setFrame({0, 0, 320, 80});
    cell->layoutIfNeeded();
    EXPECT_EQ(cell->separatorInset().left, 320);
}

TEST(TextHeights, MeasureTextInLinesWithinAWidth) {
    const UIFont font = UIFont::systemFont(13);
    const CGFloat one = heightWithWidth("Babies are weighed every night.", 260, font);
    EXPECT_GT(one, 10);
    EXPECT_LT(one, 20);
    EXPECT_GT(heightWithWidth("Babies are weighed every night at the 10 pm care time, and again after "
                              "each feed when the team asks for it; the scale is zeroed before each weighing.",
                              260, font),
              2 * one);
    UILabel label;
    EXPECT_EQ(textHeightWithWidth(label, 260), 0);
    EXPECT_EQ(attributedTextHeightWithWidth(label, 260), 0);
    label.setFont(font);
    label.setText("Babies are weighed every night.");
    EXPECT_EQ(textHeightWithWidth(label, 260), one);
    label.setAttributedText(NSAttributedString("Babies are weighed every night.", {.font = font}));
    EXPECT_EQ(attributedTextHeightWithWidth(label, 260), one);
}

} // namespace
