#pragma once

// An immutable colour value in one of the two models the platform keeps: RGB (red, green, blue,
// alpha) or grey scale (white, alpha). Components are kept as given (no clamping), the way the
// platform keeps extended-range values; drawing clamps them to 0...1.

#include "uikit/graphics/Geometry.h"

#include <ostream>
#include <string>
#include <vector>

class UIColor {
public:
    enum class Model { rgb, white };

    // Opaque black.
    UIColor() = default;
    // `UIColor(red:green:blue:alpha:)`.
    UIColor(CGFloat red, CGFloat green, CGFloat blue, CGFloat alpha = 1.0);
    // `UIColor(white:alpha:)`: a grey-scale colour with two components.
    static UIColor withWhite(CGFloat white, CGFloat alpha = 1.0);

    // The platform's named colours.
    static UIColor blackColor() { return withWhite(0, 1); }
    static UIColor whiteColor() { return withWhite(1, 1); }
    static UIColor clearColor() { return withWhite(0, 0); }
    static UIColor darkGrayColor() { return withWhite(1.0 / 3.0, 1); }
    static UIColor lightGrayColor() { return withWhite(2.0 / 3.0, 1); }
    static UIColor grayColor() { return withWhite(0.5, 1); }
    static UIColor redColor() { return {1, 0, 0, 1}; }
    static UIColor greenColor() { return {0, 1, 0, 1}; }
    static UIColor blueColor() { return {0, 0, 1, 1}; }
    static UIColor yellowColor() { return {1, 1, 0, 1}; }
    static UIColor orangeColor() { return {1, 0.5, 0, 1}; }

    Model model() const { return model_; }
    // The components in the colour's own model, alpha last: four for RGB, two for grey scale.
    std::vector<CGFloat> components() const;
    std::size_t numberOfComponents() const { return model_ == Model::rgb ? 4 : 2; }

    // Components converted to RGB (a grey is red = green = blue = white).
    CGFloat red() const { return c_[0]; }
    CGFloat green() const { return model_ == Model::rgb ? c_[1] : c_[0]; }
    CGFloat blue() const { return model_ == Model::rgb ? c_[2] : c_[0]; }
    CGFloat alpha() const { return a_; }
    // Grey level: the white component, or the luma of an RGB colour.
    CGFloat white() const;

    // `getRed(_:green:blue:alpha:)`; always succeeds for the two models kept here.
    bool getRed(CGFloat& r, CGFloat& g, CGFloat& b, CGFloat& a) const;
    bool getWhite(CGFloat& w, CGFloat& a) const;

    // The same colour in the same model with another alpha.
    UIColor withAlphaComponent(CGFloat alpha) const;

    // Components clamped to 0...1 as drawing uses them.
    CGFloat clampedRed() const;
    CGFloat clampedGreen() const;
    CGFloat clampedBlue() const;
    CGFloat clampedAlpha() const;

    // Makes this the fill and/or stroke colour of the current graphics context (UIGraphics.h).
    void setFill() const;
    void setStroke() const;
    void set() const;

    // "#RRGGBBAA" in upper-case hexadecimal, rounded; for logs and tests.
    std::string hexDescription() const;

    // Equal when model and every component are equal (as the platform compares colours).
    friend bool operator==(const UIColor& a, const UIColor& b);

private:
    Model model_ = Model::white;
    CGFloat c_[3] = {0, 0, 0};
    CGFloat a_ = 1;
};

std::ostream& operator<<(std::ostream& os, const UIColor& c);
