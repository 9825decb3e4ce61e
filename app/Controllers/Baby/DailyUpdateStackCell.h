#pragma once

// One item of a daily update (prototype "DailyUpdateStackCell" of the scene
// "DailyUpdateViewController"): its title, its subtitle or formatted text, a change marker, its
// picture, the disclosure button the screen wires to the item's explanation, and below them a
// column of one title/value row per sub-item (parted by hairlines) and one line per data text.
//
// The screen configures each dequeued cell once; a cell handed out again drops its rows first.
// Main thread only.

#include "Models/DailyUpdateData.h"
#include "uikit/controls/UIButton.h"
#include "uikit/controls/UIStackView.h"
#include "uikit/controls/UITableViewCell.h"
#include "uikit/view/NSLayoutConstraint.h"

#include <memory>
#include <optional>
#include <string>

class DailyUpdateStackCell : public UITableViewCell {
public:
    static constexpr const char* kReuseIdentifier = "DailyUpdateStackCell";
    static constexpr CGFloat kStackSpacing = 18;

    // As the prototype makes it (then awakeFromNib).
    DailyUpdateStackCell(UITableViewCellStyle style, std::string reuseIdentifier);
    std::string className() const override { return "DailyUpdateStackCell"; }

    // The outlets of the prototype.
    std::shared_ptr<UIImageView> _imageView;
    std::shared_ptr<UIStackView> stackView;
    std::shared_ptr<UILabel> titleLabel;
    std::shared_ptr<UILabel> subtitleLabel;
    std::shared_ptr<UIView> indicator;
    std::shared_ptr<UIButton> detailButton;
    // Between the subtitle and the stack: 18 when the stack holds anything, else 0.
    NSLayoutConstraintPtr interStackConstraint;
    // A spare label, made on first use; no row uses it.
    const std::shared_ptr<UILabel>& valueLabel();

    void awakeFromNib() override;
    void layoutSubviews() override;
    // The item's picture view (the inherited one when the prototype has none).
    std::shared_ptr<UIImageView> imageView() override;
    void prepareForReuse() override;

    // Fills the cell from one item; expects an empty stack.
    void configureWithDailyUpdate(const DailyUpdateItem& item);
    // One sub-item row: the title in grey on the left, the value in medium weight on the right.
    std::shared_ptr<UIStackView> makeTitleValueRow(const std::optional<std::string>& title,
                                                  const std::optional<std::string>& value);

private:
    std::shared_ptr<UILabel> valueLabel_;
};
