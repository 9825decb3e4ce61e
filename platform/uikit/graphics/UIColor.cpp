#include "uikit/graphics/UIColor.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {
CGFloat clamp01(CGFloat v) {
    if (std::isnan(v)) return 0;
    return std::clamp(v, 0.0, 1.0);
}
} // namespace

UIColor::UIColor(CGFloat red, CGFloat green, CGFloat blue, CGFloat alpha)
    : model_(Model::rgb), c_{red, green, blue}, a_(alpha) {}

UIColor UIColor::withWhite(CGFloat white, CGFloat alpha) {
    UIColor c;
    c.model_ = Model::white;
    c.c_[0] = white;
    c.c_[1] = 0;
    c.c_[2] = 0;
    c.a_ = alpha;
    return c;
}

std::vector<CGFloat> UIColor::components() const {
    if (model_ == Model::rgb) return {c_[0], c_[1], c_[2], a_};
    return {c_[0], a_};
}

CGFloat UIColor::white() const {
    if (model_ == Model::white) return c_[0];
    return 0.299 * c_[0] + 0.587 * c_[1] + 0.114 * c_[2];
}

bool UIColor::getRed(CGFloat& r, CGFloat& g, CGFloat& b, CGFloat& a) const {
    r = red();
    g = green();
    b = blue();
    a = alpha();
    return true;
}

bool UIColor::getWhite(CGFloat& w, CGFloat& a) const {
    w = white();
    a = alpha();
    return true;
}

UIColor UIColor::withAlphaComponent(CGFloat alpha) const {
    UIColor c = *this;
    c.a_ = alpha;
    return c;
}

CGFloat UIColor::clampedRed() const {
    return clamp01(red());
}
CGFloat UIColor::clampedGreen() const {
    return clamp01(green());
}
CGFloat UIColor::clampedBlue() const {
    return clamp01(blue());
}
CGFloat UIColor::clampedAlpha() const {
    return clamp01(alpha());
}

std::string UIColor::hexDescription() const {
    auto byte = [](CGFloat v) { return static_cast<unsigned>(std::lround(clamp01(v) * 255.0)); };
    char buf[16];
    std::snprintf(buf, sizeof buf, "#%02X%02X%02X%02X", byte(red()), byte(green()), byte(blue()),
                  byte(alpha()));
    return buf;
}

bool operator==(const UIColor& a, const UIColor& b) {
    if (a.model_ != b.model_ || a.a_ != b.a_) return false;
    if (a.model_ == UIColor::Model::white) return a.c_[0] == b.c_[0];
    return a.c_[0] == b.c_[0] && a.c_[1] == b.c_[1] && a.c_[2] == b.c_[2];
}

std::ostream& operator<<(std::ostream& os, const UIColor& c) {
    if (c.model() == UIColor::Model::white)
        return os << "UIColor(white " << c.white() << ", alpha " << c.alpha() << ")";
    return os << "UIColor(" << c.red() << ", " << c.green() << ", " << c.blue() << ", alpha " << c.alpha()
              << ")";
}
