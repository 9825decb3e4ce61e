#include "App/SideNavigationHeaderView.h"

SideNavigationHeaderView::SideNavigationHeaderView(const CGRect& frame) : UIView(frame) {
    setup();
}

void SideNavigationHeaderView::setup() {
    for (const auto& v : std::vector<std::shared_ptr<UIView>>{backgroundImageView, userImageView, userNameLabel}) {
        v->setTranslatesAutoresizingMaskIntoConstraints(false);
        addSubview(v);
    }
    NSLayoutConstraint::activate({
        backgroundImageView->leadingAnchor().constraintEqualTo(leadingAnchor()),
        backgroundImageView->topAnchor().constraintEqualTo(topAnchor()),
        backgroundImageView->trailingAnchor().constraintEqualTo(trailingAnchor()),
        backgroundImageView->bottomAnchor().constraintEqualTo(bottomAnchor()),
        userImageView->heightAnchor().constraintEqualToConstant(90),
        userImageView->widthAnchor().constraintEqualToConstant(90),
        userImageView->topAnchor().constraintEqualTo(topAnchor(), 48),
        userImageView->centerXAnchor().constraintEqualTo(centerXAnchor()),
        userNameLabel->topAnchor().constraintEqualTo(userImageView->bottomAnchor(), 18),
        userNameLabel->bottomAnchor().constraintEqualTo(bottomAnchor(), 0),
        userNameLabel->centerXAnchor().constraintEqualTo(centerXAnchor()),
        // A name longer than the menu is wide ends in an ellipsis instead of running off its sides.
        userNameLabel->leadingAnchor().constraintGreaterThanOrEqualTo(leadingAnchor(), 16),
        userNameLabel->trailingAnchor().constraintLessThanOrEqualTo(trailingAnchor(), -16),
    });
    userNameLabel->setContentCompressionResistancePriority(UILayoutPriorityRequired, UILayoutConstraintAxis::vertical);
    backgroundImageView->setImage(UIImage::named("hamburger-header-background"));
    userImageView->layer()->cornerRadius = 45;
    userImageView->setClipsToBounds(true);
    userNameLabel->setFont(UIFont::systemFont(17, UIFont::Weight::semibold));
    userNameLabel->setTextColor(UIColor::blackColor());
}
