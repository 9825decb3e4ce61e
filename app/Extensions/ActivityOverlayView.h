#pragma once

// The dimming view a screen shows while it waits for the server: black at 20 % over the whole
// container, a large white spinning indicator in the middle of the safe area, and an optional
// description 6 points under it. It takes touches like any view, so the controls it covers cannot
// be used while it is shown. View controllers show and hide it with the loading-overlay operations
// (Extensions/UIViewController+LoadingIndicator.h). Made in code only.

#include "uikit/view/UIActivityIndicatorView.h"
#include "uikit/view/UILabel.h"

#include <memory>

class NSCoder;

class ActivityOverlayView : public UIView {
public:
    explicit ActivityOverlayView(const CGRect& frame);
    explicit ActivityOverlayView(NSCoder&) = delete;
    std::string className() const override { return "ActivityOverlayView"; }

    const std::shared_ptr<UIActivityIndicatorView>& activityView() const { return activityView_; }
    // The description; empty (no text) leaves the indicator exactly in the centre.
    const std::shared_ptr<UILabel>& label() const { return label_; }

    void layoutSubviews() override;
    void safeAreaInsetsDidChange() override;

private:
    std::shared_ptr<UIActivityIndicatorView> activityView_;
    std::shared_ptr<UILabel> label_;
};
