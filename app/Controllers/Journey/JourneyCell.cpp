#include "Controllers/Journey/JourneyCell.h"

#include "Controllers/Journey/JourneyViewSupport.h"
#include "Extensions/UIColor+Palette.h"
#include "Extensions/UIFont+Named.h"
#include "Extensions/UIView+Autolayout.h"
#include "Extensions/UIView+ConstraintSubviews.h"
#include "uikit/controls/UINib.h"
#include "uikit/view/NSLayoutConstraint.h"

#include <map>

namespace {

UIColor& indicatorColor() {
    static UIColor color(0.8, 0.8, 0.8, 1);
    return color;
}

} // namespace

JourneyCell::JourneyCell(UITableViewCellStyle style, std::string reuseIdentifier)
    : UITableViewCell(style, std::move(reuseIdentifier)) {}

JourneyCell::JourneyCell(NSCoder&) : UITableViewCell() {}

const UIColor& JourneyCell::defaultIndicatorColor() {
    return indicatorColor();
}

void JourneyCell::setDefaultIndicatorColor(const UIColor& color) {
    indicatorColor() = color;
}

void JourneyCell::awakeFromNib() {
    UITableViewCell::awakeFromNib();
    if (auto bubble = indicator.lock()) bubble->setBackgroundColor(defaultIndicatorColor());
}

std::shared_ptr<UITableViewCell> JourneyCell::makePrototype(const std::string& reuseIdentifier) {
    auto cell = std::make_shared<JourneyCell>(UITableViewCellStyle::default_, reuseIdentifier);
    cell->selectionStyle = UITableViewCellSelectionStyle::none;
    cell->setBackgroundColor(UIColorPalette::tableViewBackground());
    const auto& content = cell->contentView();
    content->setBackgroundColor(UIColorPalette::tableViewBackground());

    auto top = std::make_shared<UIView>();
    auto bottom = std::make_shared<UIView>();
    for (const auto& line : {top, bottom}) line->setBackgroundColor(JourneyCell::defaultIndicatorColor());
    auto bubble = std::make_shared<UIView>();
    bubble->layer()->cornerRadius = bubbleSize / 2;
    auto button = std::make_shared<UIButton>(UIButtonType::custom);
    auto title = std::make_shared<UILabel>();
    title->setTextColor(UIColorPalette::textColor());
    if (auto font = UIFontNamed::avenirHeavy(15)) title->setFont(*font);
    auto date = std::make_shared<UILabel>();
    date->setTextColor(UIColorPalette::contentColor2());
    if (auto font = UIFontNamed::avenirMedium(13)) date->setFont(*font);

    const std::map<std::string, std::shared_ptr<UIView>> views{{"top", top},       {"bottom", bottom},
                                                               {"bubble", bubble}, {"button", button},
                                                               {"title", title},   {"date", date}};
    cw::addSubviewsForConstraints(*content, views);
    // The bubble stays above the lines, and the button above the bubble.
    content->bringSubviewToFront(bubble);
    content->bringSubviewToFront(button);
    content->addConstraints(NSLayoutConstraint::constraints("H:|-38-[bubble(24)]-22-[title]-16-|", 0, {}, views));
    content->addConstraints(NSLayoutConstraint::constraints("H:[bubble]-22-[date]-16-|", 0, {}, views));
    content->addConstraints(NSLayoutConstraint::constraints("V:[bubble(24)]", 0, {}, views));
    content->addConstraint(bubble->centerYAnchor().constraintEqualTo(content->centerYAnchor()));
    content->addConstraints(NSLayoutConstraint::constraints("V:|-20-[title]-3-[date]", 0, {}, views));
    for (const auto& line : {top, bottom}) {
        lyt_setWidth(*line, 3);
        content->addConstraint(line->centerXAnchor().constraintEqualTo(bubble->centerXAnchor()));
    }
    content->addConstraint(top->topAnchor().constraintEqualTo(content->topAnchor()));
    content->addConstraint(top->bottomAnchor().constraintEqualTo(bubble->centerYAnchor()));
    content->addConstraint(bottom->topAnchor().constraintEqualTo(bubble->centerYAnchor()));
    content->addConstraint(bottom->bottomAnchor().constraintEqualTo(content->bottomAnchor()));
    lyt_setWidth(*button, 44);
    lyt_setHeight(*button, 44);
    content->addConstraint(button->centerXAnchor().constraintEqualTo(bubble->centerXAnchor()));
    content->addConstraint(button->centerYAnchor().constraintEqualTo(bubble->centerYAnchor()));

    cell->indicator = bubble;
    cell->indicatorButton = button;
    cell->titleLabel = title;
    cell->descriptionLabel = date;
    cell->topPath = top;
    cell->bottomPath = bottom;
    cw::awakeFromNib(*cell);
    return cell;
}
