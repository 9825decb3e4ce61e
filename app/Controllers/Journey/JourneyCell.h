#pragma once

// A stage row of the stage journey (the prototype "JourneyCell"): the bubble on the line that runs
// from stage to stage, with a button over it, and the stage's title and a date beside it. The
// bubble starts in the default grey; the list brings it to the stage's state.

#include "uikit/controls/UIButton.h"
#include "uikit/controls/UITableViewCell.h"

#include <memory>
#include <string>

class NSCoder;

class JourneyCell : public UITableViewCell {
public:
    static constexpr const char* reuseIdentifier = "JourneyCell";
    static constexpr CGFloat bubbleSize = 24;

    JourneyCell(UITableViewCellStyle style, std::string reuseIdentifier);
    explicit JourneyCell(NSCoder& coder);
    std::string className() const override { return "JourneyCell"; }

    // The grey of a bubble whose stage is not complete (white 0.8), shared by every row.
    static const UIColor& defaultIndicatorColor();
    static void setDefaultIndicatorColor(const UIColor& color);

    // Outlets, connected by the prototype.
    std::weak_ptr<UIView> indicator;
    std::weak_ptr<UIButton> indicatorButton;
    std::weak_ptr<UILabel> titleLabel;
    std::weak_ptr<UILabel> descriptionLabel;
    std::weak_ptr<UIView> topPath;
    std::weak_ptr<UIView> bottomPath;

    // Paints the bubble in the default grey.
    void awakeFromNib() override;

    // The prototype: a cell with its views laid out and connected, awoken.
    static std::shared_ptr<UITableViewCell> makePrototype(const std::string& reuseIdentifier);
};
