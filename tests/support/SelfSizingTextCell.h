#pragma once

// A table cell whose label is pinned to the content view's edges, 16 points in from the sides and
// 10 from top and bottom, so that its height follows its text: the plainest self-sizing row, for
// the table tests and the scrolling benchmark alike.

#include "uikit/controls/UITableViewCell.h"
#include "uikit/view/NSLayoutConstraint.h"
#include "uikit/view/UILabel.h"

#include <memory>
#include <string>

namespace cw::test {

class SelfSizingTextCell : public UITableViewCell {
public:
    SelfSizingTextCell(UITableViewCellStyle style, std::string id) : UITableViewCell(style, std::move(id)) {
        label = std::make_shared<UILabel>();
        label->setNumberOfLines(0);
        label->setTranslatesAutoresizingMaskIntoConstraints(false);
        contentView()->addSubview(label);
        NSLayoutConstraint::activate(
            {label->leadingAnchor().constraintEqualTo(contentView()->leadingAnchor(), 16),
             label->trailingAnchor().constraintEqualTo(contentView()->trailingAnchor(), -16),
             label->topAnchor().constraintEqualTo(contentView()->topAnchor(), 10),
             label->bottomAnchor().constraintEqualTo(contentView()->bottomAnchor(), -10)});
    }
    std::shared_ptr<UILabel> label;
};

} // namespace cw::test
