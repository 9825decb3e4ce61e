#include "Views/TextCell.h"

#include "Extensions/UIColor+Palette.h"
#include "Extensions/UIView+Autolayout.h"
#include "Views/FormCellSupport.h"

TextCell::TextCell(UITableViewCellStyle, const std::string& reuseIdentifier)
    : UITableViewCell(UITableViewCellStyle::default_, reuseIdentifier) {
    setup();
}

TextCell::TextCell(NSCoder&) : UITableViewCell(UITableViewCellStyle::default_, std::string()) {
    setup();
}

void TextCell::awakeFromNib() {
    UITableViewCell::awakeFromNib();
    setup();
}

void TextCell::setup() {
    auto title = textLabel();
    if (title) {
        if (auto font = UIFont::named("Avenir-Book", 18)) title->setFont(*font);
        title->setTextColor(UIColor::blackColor());
        title->setTranslatesAutoresizingMaskIntoConstraints(false);
        title->setLineBreakMode(NSLineBreakMode::byWordWrapping);
        title->setNumberOfLines(0);
    }
    cw::detail::removeTaggedInput(*this);
    textField_->setTag(cw::detail::formInputTag);
    if (auto font = UIFont::named("Avenir-Roman", 18)) textField_->setFont(*font);
    textField_->setTextColor(UIColorWithHex("#939693", 1.0));
    textField_->setTextAlignment(NSTextAlignment::left);
    textField_->setTranslatesAutoresizingMaskIntoConstraints(false);
    addSubview(textField_);

    cw::detail::removeKeptConstraints(*this, layout_);
    auto trailing = NSLayoutConstraint::make(textField_, NSLayoutAttribute::trailing, NSLayoutRelation::equal,
                                             this, NSLayoutAttribute::trailing, 1.0, -5.0);
    addConstraint(trailing);
    layout_.push_back(trailing);
    if (title) {
        auto centred =
            NSLayoutConstraint::make(textField_, NSLayoutAttribute::centerY, NSLayoutRelation::equal, title,
                                     NSLayoutAttribute::centerY, 1.0, 0);
        addConstraint(centred);
        layout_.push_back(centred);
        cw::detail::keep(layout_,
                         addConstraintsWithFormat(*this, "H:|-5-[v1(90)]-5-[v0]->=5-|", {textField_, title}));
    }
    cw::detail::keep(layout_, addConstraintsWithFormat(*this, "V:|-10-[v0]-10-|", {textField_}));
}

void TextCell::touchesBegan(const TouchSet&, const UIEvent*) {
    textField_->becomeFirstResponder();
}
