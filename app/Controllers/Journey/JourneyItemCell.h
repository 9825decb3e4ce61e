#pragma once

// A milestone row of the journey timeline (the prototype "ItemCell" of the timeline's table): the
// dot, the milestone's label and its date, on the section's card. The standard image view is the
// dot, so setting the cell's image sets the dot. The row draws no separator line.

#include "uikit/controls/UITableViewCell.h"

#include <memory>
#include <string>

class NSCoder;

class JourneyItemCell : public UITableViewCell {
public:
    static constexpr const char* reuseIdentifier = "ItemCell";

    JourneyItemCell(UITableViewCellStyle style, std::string reuseIdentifier);
    explicit JourneyItemCell(NSCoder& coder);
    std::string className() const override { return "JourneyItemCell"; }

    // Outlets, connected by the prototype.
    std::weak_ptr<UIImageView> _imageView;
    std::weak_ptr<UILabel> titleLabel;
    std::weak_ptr<UILabel> descriptionLabel;

    // The dot.
    std::shared_ptr<UIImageView> imageView() override { return _imageView.lock(); }

    void awakeFromNib() override;
    // The separator is pushed past the row's right edge.
    void layoutSubviews() override;

    // The prototype: a cell with its views laid out and connected, awoken.
    static std::shared_ptr<UITableViewCell> makePrototype(const std::string& reuseIdentifier);
};
