#pragma once

// The bottom of the side menu: the logo and the application's version ("Build: 1.4-27").

#include "foundation/bundle/Bundle.h"
#include "uikit/view/UIImageView.h"
#include "uikit/view/UILabel.h"

class SideNavigationFooterView : public UIView {
public:
    SideNavigationFooterView() : SideNavigationFooterView(CGRect{}) {}
    explicit SideNavigationFooterView(const CGRect& frame);

    std::string className() const override { return "SideNavigationFooterView"; }
    void setup();

    // "Build: " + short version + "-" + build number of the bundle; each "Unknown" when it is not a
    // text there.
    static std::string buildText(const Bundle& bundle);
    // The least height that shows the logo and, below it, the build whole, with their margins.
    CGFloat fittingHeight() const;

    const std::shared_ptr<UIImageView> imageView = std::make_shared<UIImageView>(UIImage::named("cwy_menulogo"));
    const std::shared_ptr<UILabel> label = std::make_shared<UILabel>();
};
