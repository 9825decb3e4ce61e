#pragma once

// The top of the side menu: a background picture, the member's round picture (90 points) and
// name under it.

#include "uikit/view/UIImageView.h"
#include "uikit/view/UILabel.h"

class SideNavigationHeaderView : public UIView {
public:
    SideNavigationHeaderView() : SideNavigationHeaderView(CGRect{}) {}
    explicit SideNavigationHeaderView(const CGRect& frame);

    std::string className() const override { return "SideNavigationHeaderView"; }
    void setup();

    const std::shared_ptr<UIImageView> userImageView = std::make_shared<UIImageView>();
    const std::shared_ptr<UILabel> userNameLabel = std::make_shared<UILabel>();
    const std::shared_ptr<UIImageView> backgroundImageView = std::make_shared<UIImageView>();
};
