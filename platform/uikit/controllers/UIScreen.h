#pragma once

// The device's screen: 375 × 667 points at 2 pixels per point (a 4.7-inch phone) unless a test or
// host sets another size. Setting it also tells the keyboard, whose size follows the screen.

#include "uikit/graphics/Geometry.h"

class UIScreen {
public:
    static UIScreen& main();

    CGRect bounds() const { return {0, 0, size_.width, size_.height}; }
    CGFloat scale() const { return scale_; }
    // The status bar's height at the top of the screen.
    CGFloat statusBarHeight() const { return 20; }

    // For tests and hosts.
    void setSize(CGSize size, CGFloat scale = 2);

private:
    UIScreen() = default;
    CGSize size_{375, 667};
    CGFloat scale_ = 2;
};
