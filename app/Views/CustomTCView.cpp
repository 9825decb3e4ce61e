#include "Views/CustomTCView.h"

#include "Extensions/UIColor+Palette.h"
#include "Extensions/UIView+Autolayout.h"

CustomTCView::CustomTCView(std::optional<std::string> title, std::optional<std::string> subTitle)
    : UIView(CGRect::zero()), title(std::move(title)), subTitle(std::move(subTitle)) {
    updateConstraints();
}

CustomTCView::CustomTCView(NSCoder&) {}

std::shared_ptr<UILabel> CustomTCView::makeLabel(const char* identifier,
                                                 const std::optional<std::string>& text, const char* fontName,
                                                 CGFloat size) {
    auto label = std::make_shared<UILabel>();
    label->setAccessibilityIdentifier(identifier);
    label->setText(text);
    // A face the platform lacks leaves the label's own font.
    if (auto font = UIFont::named(fontName, size)) label->setFont(*font);
    label->setTextColor(UIColorWithHex("#434244", 1));
    label->setNumberOfLines(0);
    label->setLineBreakMode(NSLineBreakMode::byWordWrapping);
    label->setTranslatesAutoresizingMaskIntoConstraints(false);
    addSubview(label);
    return label;
}

std::shared_ptr<UILabel> CustomTCView::titleLabel() {
    if (!titleLabel_) titleLabel_ = makeLabel("cellTitle", title, "Avenir-Medium", 16);
    return titleLabel_;
}

std::shared_ptr<UILabel> CustomTCView::subTitleLabel() {
    if (!subTitleLabel_) subTitleLabel_ = makeLabel("cellSubTitle", subTitle, "Avenir", 14);
    return subTitleLabel_;
}

void CustomTCView::updateConstraints() {
    if (!didUpdateConstraints) {
        didUpdateConstraints = true;
        auto titleView = titleLabel();
        auto subTitleView = subTitleLabel();
        lyt_layoutHorizontalWithMargin(*titleView, 0);
        lyt_layoutHorizontalWithMargin(*subTitleView, 0);
        addConstraints(
            NSLayoutConstraint::constraints("V:|-10-[titleLabel]-5-[subTitleLabel]-10-|", 0, {},
                                            {{"titleLabel", titleView}, {"subTitleLabel", subTitleView}}));
    }
    UIView::updateConstraints();
}
