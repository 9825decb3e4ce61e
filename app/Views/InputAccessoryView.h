#pragma once

// A container to stand above the keyboard as a responder's input accessory view. The caller hands
// it one content view, which it pins to its edges with a preferred height (at priority 750, so the
// host's required constraints win) and whose bottom edge keeps to the bottom layout margin. The
// height and the choice of guide are read when a content view is installed: changing them later
// changes nothing until the next assignment. The container reports an intrinsic height of 64 and
// no intrinsic width. Made in code only.

#include "uikit/view/UIView.h"

#include <memory>
#include <vector>

class InputAccessoryView : public UIView {
public:
    explicit InputAccessoryView(const CGRect& frame = {});
    std::string className() const override { return "InputAccessoryView"; }

    // The constant of the content view's height constraint.
    CGFloat preferredContentHeight() const { return preferredContentHeight_; }
    void setPreferredContentHeight(CGFloat height) { preferredContentHeight_ = height; }
    // Pins the content to the layout margins instead of to contentLayoutGuide().
    bool insetsContentToMargins() const { return insetsContentToMargins_; }
    void setInsetsContentToMargins(bool insets) { insetsContentToMargins_ = insets; }
    // The view's left, top and right edges and its bottom layout margin; made with the view.
    const std::shared_ptr<UILayoutGuide>& contentLayoutGuide() const { return contentLayoutGuide_; }

    const std::shared_ptr<UIView>& contentView() const { return contentView_; }
    // Removes the current content view, with the constraints its installation made, and installs
    // the new one (none leaves the container empty); the same view again is installed anew with
    // fresh constraints. (A height constraint left on a removed view would stay with it: on the
    // same view installed again two preferred heights of one priority would fight.)
    void setContentView(std::shared_ptr<UIView> view);

    CGSize intrinsicContentSize() const override;
    void safeAreaInsetsDidChange() override { UIView::safeAreaInsetsDidChange(); }

    // The accessibility label of the content view's height constraint.
    static constexpr const char* kPreferredHeightConstraintLabel = "InputAccessoryView.preferredHeightConstraint";

private:
    CGFloat preferredContentHeight_ = 50;
    bool insetsContentToMargins_ = false;
    std::shared_ptr<UILayoutGuide> contentLayoutGuide_;
    std::shared_ptr<UIView> contentView_;
    std::vector<NSLayoutConstraintPtr> contentConstraints_;
};
