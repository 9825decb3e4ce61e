#include "App/SideNavigationFooterView.h"

#include "Extensions/UIColor+Palette.h"

namespace {

constexpr CGFloat kLogoTop = 16;
constexpr CGFloat kLogoHeight = 44;
// How far the label's top lies above the logo's bottom.
constexpr CGFloat kLabelOverLogo = 16;
constexpr CGFloat kLabelBottom = 30;

} // namespace

SideNavigationFooterView::SideNavigationFooterView(const CGRect& frame) : UIView(frame) {
    setup();
}

std::string SideNavigationFooterView::buildText(const Bundle& bundle) {
    const std::string version = bundle.stringForInfoDictionaryKey("CFBundleShortVersionString").value_or("Unknown");
    const std::string build = bundle.stringForInfoDictionaryKey("CFBundleVersion").value_or("Unknown");
    return "Build: " + version + "-" + build;
}

void SideNavigationFooterView::setup() {
    setBackgroundColor(UIColorPalette::whiteFive());
    for (const auto& v : std::vector<std::shared_ptr<UIView>>{imageView, label}) {
        v->setTranslatesAutoresizingMaskIntoConstraints(false);
        addSubview(v);
    }
    // The logo's bottom lies 16 points below the label's top; the label reaches down to 30 points
    // above the footer's foot, its text in its middle.
    NSLayoutConstraint::activate({
        imageView->centerXAnchor().constraintEqualTo(centerXAnchor()),
        imageView->topAnchor().constraintEqualTo(topAnchor(), kLogoTop),
        imageView->bottomAnchor().constraintEqualTo(label->topAnchor(), kLabelOverLogo),
        imageView->heightAnchor().constraintEqualToConstant(kLogoHeight),
        label->bottomAnchor().constraintEqualTo(bottomAnchor(), -kLabelBottom),
        label->centerXAnchor().constraintEqualTo(centerXAnchor()),
    });
    label->setFont(UIFont::systemFont(12, UIFont::Weight::regular));
    label->setTextColor(UIColorPalette::contentColor2());
    label->setText(buildText(Bundle::main()));
}

CGFloat SideNavigationFooterView::fittingHeight() const {
    // The label's text stands in the middle of its height: the label runs as far below its text as
    // it starts above the logo's bottom, so that the text clears the logo.
    return kLogoTop + kLogoHeight + kLabelOverLogo + label->intrinsicContentSize().height + kLabelBottom;
}
