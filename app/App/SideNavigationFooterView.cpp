#include "App/SideNavigationFooterView.h"

#include "Extensions/UIColor+Palette.h"

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
    // The logo's bottom lies 16 points below the label's top: the label's text sits inside the
    // logo's lower margin.
    NSLayoutConstraint::activate({
        imageView->centerXAnchor().constraintEqualTo(centerXAnchor()),
        imageView->topAnchor().constraintEqualTo(topAnchor(), 16),
        imageView->bottomAnchor().constraintEqualTo(label->topAnchor(), 16),
        imageView->heightAnchor().constraintEqualToConstant(44),
        label->bottomAnchor().constraintEqualTo(bottomAnchor(), -30),
        label->centerXAnchor().constraintEqualTo(centerXAnchor()),
    });
    label->setFont(UIFont::systemFont(12, UIFont::Weight::regular));
    label->setTextColor(UIColorPalette::contentColor2());
    label->setText(buildText(Bundle::main()));
}
