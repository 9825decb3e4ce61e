#pragma once

// One page of the onboarding tutorial, loaded from the nib "TutorialScreen" (registered in
// TutorialScreen.cpp): a title picture and the title at the top, the body text under it, and a
// large content picture below that takes the height that is left. The page hugs its content; the
// content picture gives way first when the page must be shorter.
//
// The outlets are weak: the page's own subviews hold the views.

#include "uikit/view/UIImageView.h"
#include "uikit/view/UILabel.h"

#include <memory>

class TutorialScreen : public UIView {
public:
    static constexpr const char* kNibName = "TutorialScreen";

    // The outlets start empty; the nib connects them.
    TutorialScreen();
    explicit TutorialScreen(const CGRect& frame);
    std::string className() const override { return "TutorialScreen"; }

    std::weak_ptr<UILabel> titleLabel;
    std::weak_ptr<UILabel> bodyLabel;
    std::weak_ptr<UIImageView> titleImageView;
    std::weak_ptr<UIImageView> contentImageView;

    // The tallest the content picture grows, and the least it keeps.
    static constexpr CGFloat kContentImageHeight = 300;
    static constexpr CGFloat kMinimumContentImageHeight = 80;
};
