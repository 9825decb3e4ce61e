#include "Controllers/Account/FamilyAndFriendsTableViewCell.h"

#include "Extensions/UIColor+Palette.h"
#include "Extensions/UIFont+Avenir.h"
#include "Extensions/UIFont+Named.h"
#include "Extensions/UIView+ConstraintSubviews.h"

std::shared_ptr<FamilyAndFriendsTableViewCell>
FamilyAndFriendsTableViewCell::prototype(const std::string& reuseIdentifier) {
    auto cell = std::make_shared<FamilyAndFriendsTableViewCell>(UITableViewCellStyle::default_, reuseIdentifier);
    cell->setFrame({0, 0, 375, kRowHeight});
    const auto& content = cell->contentView();

    auto picture = std::make_shared<UIImageView>();
    picture->setContentMode(UIViewContentMode::scaleAspectFill);
    picture->setClipsToBounds(true);
    picture->layer()->cornerRadius = 25;
    auto name = std::make_shared<UILabel>();
    name->setFont(UIFontNamed::avenirMedium(17).value_or(UIFont::systemFont(17, UIFont::Weight::medium)));
    name->setTextColor(UIColorPalette::textColor());
    auto details = std::make_shared<UILabel>();
    details->setFont(cw::avenirFont(14));

    const std::map<std::string, std::shared_ptr<UIView>> views{{"picture", picture}, {"name", name}, {"details", details}};
    cw::addSubviewsForConstraints(*content, views);
    content->addConstraints(NSLayoutConstraint::constraints("H:|-16-[picture(50)]-12-[name]-16-|", 0, {}, views));
    content->addConstraints(NSLayoutConstraint::constraints("H:[picture]-12-[details]-16-|", 0, {}, views));
    content->addConstraints(NSLayoutConstraint::constraints("V:[picture(50)]", 0, {}, views));
    content->addConstraint(picture->centerYAnchor().constraintEqualTo(content->centerYAnchor()));
    content->addConstraint(name->bottomAnchor().constraintEqualTo(content->centerYAnchor(), -1));
    content->addConstraint(details->topAnchor().constraintEqualTo(content->centerYAnchor(), 3));

    cell->personImageView_ = picture;
    cell->nameLabel_ = name;
    cell->detailsLabel_ = details;
    return cell;
}

void FamilyAndFriendsTableViewCell::awakeFromNib() {
    UITableViewCell::awakeFromNib();
    if (auto details = detailsLabel()) details->setTextColor(UIColorPalette::contentColor1());
}
