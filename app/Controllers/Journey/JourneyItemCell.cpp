#include "Controllers/Journey/JourneyItemCell.h"

#include "Extensions/UIColor+Palette.h"
#include "Extensions/UIFont+Named.h"
#include "Extensions/UIView+Autolayout.h"
#include "uikit/controls/UINib.h"
#include "uikit/view/NSLayoutConstraint.h"

#include <map>

JourneyItemCell::JourneyItemCell(UITableViewCellStyle style, std::string reuseIdentifier)
    : UITableViewCell(style, std::move(reuseIdentifier)) {}

JourneyItemCell::JourneyItemCell(NSCoder&) : UITableViewCell() {}

void JourneyItemCell::awakeFromNib() {
    UITableViewCell::awakeFromNib();
    contentView()->setBackgroundColor(UIColorPalette::tableViewBackground());
}

void JourneyItemCell::layoutSubviews() {
    UITableViewCell::layoutSubviews();
    setSeparatorInset(UIEdgeInsets{0, contentView()->bounds().size.width, 0, 0});
}

std::shared_ptr<UITableViewCell> JourneyItemCell::makePrototype(const std::string& reuseIdentifier) {
    auto cell = std::make_shared<JourneyItemCell>(UITableViewCellStyle::default_, reuseIdentifier);
    cell->selectionStyle = UITableViewCellSelectionStyle::none;
    const auto& content = cell->contentView();

    // The section's card runs through the row: white between the header's and the footer's edges,
    // with the timeline's line down its left side.
    auto card = std::make_shared<UIView>();
    card->setBackgroundColor(UIColor::whiteColor());
    auto line = std::make_shared<UIView>();
    line->setBackgroundColor(UIColorPalette::separatorColor());
    auto dot = std::make_shared<UIImageView>();
    auto title = std::make_shared<UILabel>();
    title->setTextColor(UIColorPalette::textColor());
    if (auto font = UIFontNamed::avenirMedium(16)) title->setFont(*font);
    auto date = std::make_shared<UILabel>();
    date->setTextColor(UIColorPalette::contentColor2());
    if (auto font = UIFontNamed::avenirMedium(13)) date->setFont(*font);

    card->setTranslatesAutoresizingMaskIntoConstraints(false);
    content->addSubview(card);
    lyt_attachToSuperviewWithInsets(*card, UIEdgeInsets{0, 10, 0, 10});
    const std::map<std::string, std::shared_ptr<UIView>> views{
        {"line", line}, {"dot", dot}, {"title", title}, {"date", date}};
    for (const auto& [name, v] : views) {
        v->setTranslatesAutoresizingMaskIntoConstraints(false);
        card->addSubview(v);
    }
    card->addConstraints(NSLayoutConstraint::constraints("H:|-25-[line(2)]", 0, {}, views));
    card->addConstraints(NSLayoutConstraint::constraints("V:|[line]|", 0, {}, views));
    card->addConstraints(NSLayoutConstraint::constraints("H:|-19-[dot(14)]-17-[title]-16-|", 0, {}, views));
    card->addConstraints(NSLayoutConstraint::constraints("H:[dot]-17-[date]-16-|", 0, {}, views));
    card->addConstraints(NSLayoutConstraint::constraints("V:[dot(14)]", 0, {}, views));
    card->addConstraint(dot->centerYAnchor().constraintEqualTo(card->centerYAnchor()));
    card->addConstraints(NSLayoutConstraint::constraints("V:|-11-[title]-2-[date]", 0, {}, views));

    cell->_imageView = dot;
    cell->titleLabel = title;
    cell->descriptionLabel = date;
    cw::awakeFromNib(*cell);
    return cell;
}
