#pragma once

// Layout anchors: typed handles on one attribute of a view or guide that make constraints,
// so that an x position is never related to a y position or to a size by mistake.

#include "uikit/view/NSLayoutConstraint.h"

template <typename Self> class NSLayoutAnchor {
public:
    NSLayoutAnchor(const NSLayoutItem& item, NSLayoutAttribute attribute)
        : item_(item), attribute_(attribute) {}

    NSLayoutConstraintPtr constraintEqualTo(const Self& other, CGFloat constant = 0) const {
        return make(NSLayoutRelation::equal, other, 1, constant);
    }
    NSLayoutConstraintPtr constraintGreaterThanOrEqualTo(const Self& other, CGFloat constant = 0) const {
        return make(NSLayoutRelation::greaterThanOrEqual, other, 1, constant);
    }
    NSLayoutConstraintPtr constraintLessThanOrEqualTo(const Self& other, CGFloat constant = 0) const {
        return make(NSLayoutRelation::lessThanOrEqual, other, 1, constant);
    }

    const NSLayoutItem& item() const { return item_; }
    NSLayoutAttribute attribute() const { return attribute_; }

protected:
    NSLayoutConstraintPtr make(NSLayoutRelation r, const Self& other, CGFloat multiplier,
                               CGFloat constant) const {
        return NSLayoutConstraint::make(item_, attribute_, r, other.item_, other.attribute_, multiplier,
                                        constant);
    }

    NSLayoutItem item_;
    NSLayoutAttribute attribute_;
};

// The system's spacing between neighbouring items, in points: the visual format's "-" (the two are
// checked to agree where the formats are read).
inline constexpr CGFloat NSLayoutSystemSpacing = 8;

class NSLayoutXAxisAnchor : public NSLayoutAnchor<NSLayoutXAxisAnchor> {
public:
    using NSLayoutAnchor::NSLayoutAnchor;

    // This anchor the system spacing (times `multiplier`) after, that is right of, `anchor`.
    NSLayoutConstraintPtr constraintEqualToSystemSpacingAfter(const NSLayoutXAxisAnchor& anchor,
                                                              CGFloat multiplier) const {
        return make(NSLayoutRelation::equal, anchor, 1, NSLayoutSystemSpacing * multiplier);
    }
    NSLayoutConstraintPtr constraintGreaterThanOrEqualToSystemSpacingAfter(const NSLayoutXAxisAnchor& anchor,
                                                                           CGFloat multiplier) const {
        return make(NSLayoutRelation::greaterThanOrEqual, anchor, 1, NSLayoutSystemSpacing * multiplier);
    }
    NSLayoutConstraintPtr constraintLessThanOrEqualToSystemSpacingAfter(const NSLayoutXAxisAnchor& anchor,
                                                                        CGFloat multiplier) const {
        return make(NSLayoutRelation::lessThanOrEqual, anchor, 1, NSLayoutSystemSpacing * multiplier);
    }
};

class NSLayoutYAxisAnchor : public NSLayoutAnchor<NSLayoutYAxisAnchor> {
public:
    using NSLayoutAnchor::NSLayoutAnchor;

    // This anchor the system spacing (times `multiplier`) below `anchor`.
    NSLayoutConstraintPtr constraintEqualToSystemSpacingBelow(const NSLayoutYAxisAnchor& anchor,
                                                              CGFloat multiplier) const {
        return make(NSLayoutRelation::equal, anchor, 1, NSLayoutSystemSpacing * multiplier);
    }
    NSLayoutConstraintPtr constraintGreaterThanOrEqualToSystemSpacingBelow(const NSLayoutYAxisAnchor& anchor,
                                                                           CGFloat multiplier) const {
        return make(NSLayoutRelation::greaterThanOrEqual, anchor, 1, NSLayoutSystemSpacing * multiplier);
    }
    NSLayoutConstraintPtr constraintLessThanOrEqualToSystemSpacingBelow(const NSLayoutYAxisAnchor& anchor,
                                                                        CGFloat multiplier) const {
        return make(NSLayoutRelation::lessThanOrEqual, anchor, 1, NSLayoutSystemSpacing * multiplier);
    }
};

class NSLayoutDimension : public NSLayoutAnchor<NSLayoutDimension> {
public:
    using NSLayoutAnchor::NSLayoutAnchor;
    using NSLayoutAnchor::constraintEqualTo;
    using NSLayoutAnchor::constraintGreaterThanOrEqualTo;
    using NSLayoutAnchor::constraintLessThanOrEqualTo;

    NSLayoutConstraintPtr constraintEqualToConstant(CGFloat c) const {
        return constant(NSLayoutRelation::equal, c);
    }
    NSLayoutConstraintPtr constraintGreaterThanOrEqualToConstant(CGFloat c) const {
        return constant(NSLayoutRelation::greaterThanOrEqual, c);
    }
    NSLayoutConstraintPtr constraintLessThanOrEqualToConstant(CGFloat c) const {
        return constant(NSLayoutRelation::lessThanOrEqual, c);
    }
    NSLayoutConstraintPtr constraintEqualTo(const NSLayoutDimension& other, CGFloat multiplier,
                                            CGFloat constant) const {
        return make(NSLayoutRelation::equal, other, multiplier, constant);
    }
    NSLayoutConstraintPtr constraintGreaterThanOrEqualTo(const NSLayoutDimension& other, CGFloat multiplier,
                                                         CGFloat constant) const {
        return make(NSLayoutRelation::greaterThanOrEqual, other, multiplier, constant);
    }
    NSLayoutConstraintPtr constraintLessThanOrEqualTo(const NSLayoutDimension& other, CGFloat multiplier,
                                                      CGFloat constant) const {
        return make(NSLayoutRelation::lessThanOrEqual, other, multiplier, constant);
    }

private:
    NSLayoutConstraintPtr constant(NSLayoutRelation r, CGFloat c) const {
        return NSLayoutConstraint::make(item_, attribute_, r, nullptr, NSLayoutAttribute::notAnAttribute, 1,
                                        c);
    }
};

namespace cw {

// The anchors every layout item offers, for views and guides alike.
template <typename Derived> class LayoutAnchors {
public:
    NSLayoutXAxisAnchor leadingAnchor() { return {item(), NSLayoutAttribute::leading}; }
    NSLayoutXAxisAnchor trailingAnchor() { return {item(), NSLayoutAttribute::trailing}; }
    NSLayoutXAxisAnchor leftAnchor() { return {item(), NSLayoutAttribute::left}; }
    NSLayoutXAxisAnchor rightAnchor() { return {item(), NSLayoutAttribute::right}; }
    NSLayoutXAxisAnchor centerXAnchor() { return {item(), NSLayoutAttribute::centerX}; }
    NSLayoutYAxisAnchor topAnchor() { return {item(), NSLayoutAttribute::top}; }
    NSLayoutYAxisAnchor bottomAnchor() { return {item(), NSLayoutAttribute::bottom}; }
    NSLayoutYAxisAnchor centerYAnchor() { return {item(), NSLayoutAttribute::centerY}; }
    NSLayoutDimension widthAnchor() { return {item(), NSLayoutAttribute::width}; }
    NSLayoutDimension heightAnchor() { return {item(), NSLayoutAttribute::height}; }

private:
    // Works from the item's constructor on (see NSLayoutItem).
    NSLayoutItem item() { return NSLayoutItem(static_cast<Derived*>(this)); }
};

} // namespace cw
