#pragma once

// The device's screen: 375 × 667 points at 2 pixels per point (a 4.7-inch phone) unless a test or
// host sets another size. Setting it also tells the text input (the keyboard's size follows the
// screen) through the hook below.

#include "uikit/graphics/Geometry.h"

#include <functional>

class UIScreen {
public:
    static UIScreen& main();

    CGRect bounds() const { return {0, 0, size_.width, size_.height}; }
    CGFloat scale() const { return scale_; }
    // The status bar's height at the top of the screen.
    CGFloat statusBarHeight() const { return 20; }

    // For tests and hosts; also announced to the size hook.
    void setSize(CGSize size, CGFloat scale = 2);

    // Whoever depends on the screen size (the keyboard) listens here; called at once with the
    // current size as well.
    static void setSizeHook(std::function<void(CGSize, CGFloat)> hook);

private:
    UIScreen() = default;
    CGSize size_{375, 667};
    CGFloat scale_ = 2;
};
