#pragma once

// An image view that opens its picture full screen when tapped: a black view over the whole
// application window shows the picture fitted to the screen, growing from the size of the small view
// (when `animated`), and a tap anywhere on the black view closes it at once.

#include "uikit/view/UIImageView.h"

#include <memory>

class FullScreenImageView : public UIImageView {
public:
    FullScreenImageView();
    explicit FullScreenImageView(std::shared_ptr<UIImage> image);
    explicit FullScreenImageView(const CGRect& frame);

    std::string className() const override { return "FullScreenImageView"; }

    // The black full-screen view while (and after) it is shown; none before the first opening.
    const std::shared_ptr<UIView>& bgView() const { return bgView_; }
    void setBgView(std::shared_ptr<UIView> view) { bgView_ = std::move(view); }
    // Whether opening zooms from the small view's size (true at first).
    bool animated() const { return animated_; }
    void setAnimated(bool animated) { animated_ = animated; }

    // Opens on a tap of this view, which then takes touches.
    void addTapGesture();
    // Covers the application's window with a new black view showing the picture. Without an
    // application delegate nothing happens; when the delegate has no window, the black view is made
    // but shown nowhere.
    void fullScreenMe();
    // Takes the black view out of the window, without animation; `bgView` keeps it.
    void exitFullScreen();

    // How long opening zooms.
    static constexpr double kZoomDuration = 0.5;

private:
    std::shared_ptr<UIView> bgView_;
    bool animated_ = true;
};
