#include "Views/LinkCell.h"

#include "Extensions/UIView+Autolayout.h"
#include "Views/FormCellSupport.h"

LinkCell::LinkCell(UITableViewCellStyle, const std::string& reuseIdentifier)
    : UITableViewCell(UITableViewCellStyle::default_, reuseIdentifier) {
    setup();
}

LinkCell::LinkCell(NSCoder&) : UITableViewCell(UITableViewCellStyle::default_, std::string()) {
    setup();
}

void LinkCell::awakeFromNib() {
    UITableViewCell::awakeFromNib();
    setup();
}

void LinkCell::setup() {
    const UIFont caption = UIFont::preferredFont(UIFontTextStyle::caption1);
    if (auto title = textLabel()) title->setFont(caption);
    cw::detail::removeTaggedInput(*this);
    label_->setFont(caption);
    label_->setTag(cw::detail::formInputTag);
    label_->setTranslatesAutoresizingMaskIntoConstraints(false);
    addSubview(label_);
    cw::detail::removeKeptConstraints(*this, layout_);
    cw::detail::keep(layout_, addConstraintsWithFormat(*this, "V:|-3-[v0]-3-|", {label_}));
    cw::detail::keep(layout_, addConstraintsWithFormat(*this, "H:|-100-[v0]-35-|", {label_}));
    label_->setTextAlignment(NSTextAlignment::right);
    setAccessoryType(UITableViewCellAccessoryType::disclosureIndicator);
    editingAccessoryType = UITableViewCellAccessoryType::none;
}
