#include "App/SideNavigationCustomCell.h"

#include "Extensions/UIView+Autolayout.h"

SideNavigationCustomCell::SideNavigationCustomCell(UITableViewCellStyle style, std::string reuseIdentifier)
    : UITableViewCell(style, std::move(reuseIdentifier)) {
    setBackgroundColor(UIColor::whiteColor());
    addLabelConstraints();
}

const std::shared_ptr<UILabel>& SideNavigationCustomCell::label() {
    if (!label_) {
        label_ = std::make_shared<UILabel>();
        label_->setTextColor(UIColor::blackColor());
        label_->setFont(UIFont::systemFont(15, UIFont::Weight::regular));
        label_->setTranslatesAutoresizingMaskIntoConstraints(false);
        contentView()->addSubview(label_);
    }
    return label_;
}

const std::shared_ptr<UIView>& SideNavigationCustomCell::redDot() {
    if (!redDot_) {
        redDot_ = std::make_shared<UIView>();
        redDot_->setAccessibilityIdentifier("redDotView");
        redDot_->setTranslatesAutoresizingMaskIntoConstraints(false);
        contentView()->addSubview(redDot_);
        lyt_setWidth(*redDot_, 8);
        lyt_setHeight(*redDot_, 8);
        redDot_->setHidden(true);
        redDot_->setBackgroundColor(UIColor::redColor());
        redDot_->layer()->cornerRadius = 4;
    }
    return redDot_;
}

void SideNavigationCustomCell::addLabelConstraints() {
    const auto& content = contentView();
    const auto& l = label();
    // The trailing edge lies 24 points past the content's: the titles are short, and the label
    // may run under the cell's right edge.
    NSLayoutConstraint::activate({
        l->leadingAnchor().constraintEqualTo(content->leadingAnchor(), 24),
        l->trailingAnchor().constraintEqualTo(content->trailingAnchor(), 24),
        l->centerYAnchor().constraintEqualTo(content->centerYAnchor()),
    });
}

void SideNavigationCustomCell::layoutSubviews() {
    UITableViewCell::layoutSubviews();
    setSeparatorInset({0, 24, 0, 0});
}

void SideNavigationCustomCell::configure(SideNavMenuItem item, bool hideRedDot) {
    label()->setText(title(item));
    redDot()->setHidden(hideRedDot);
}
