#pragma once

// A row or column of arranged views, spaced and sized by the distribution and lined up across by
// the alignment. Hidden arranged views take no room (nor the spacing beside them); hiding or
// showing one lays the stack out again. The stack's own intrinsic size is that of its arranged
// views, so it sizes itself inside Auto Layout.

#include "uikit/view/UIView.h"

#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

enum class UIStackViewDistribution {
    fill = 0,
    fillEqually = 1,
    fillProportionally = 2,
    equalSpacing = 3,
    equalCentering = 4
};
enum class UIStackViewAlignment {
    fill = 0,
    leading = 1,
    top = 1,
    firstBaseline = 2,
    center = 3,
    trailing = 4,
    bottom = 4,
    lastBaseline = 5
};

class UIStackView : public UIView {
public:
    UIStackView();
    explicit UIStackView(const CGRect& frame);
    explicit UIStackView(const std::vector<std::shared_ptr<UIView>>& arrangedSubviews);
    std::string className() const override { return "UIStackView"; }

    const std::vector<std::shared_ptr<UIView>>& arrangedSubviews() const { return arranged_; }
    // Also makes the view a subview (at the end).
    void addArrangedSubview(const std::shared_ptr<UIView>& view);
    void insertArrangedSubview(const std::shared_ptr<UIView>& view, std::size_t index);
    // Takes the view out of the arrangement; it stays a subview (remove it from its superview to drop it).
    void removeArrangedSubview(const std::shared_ptr<UIView>& view);

    UILayoutConstraintAxis axis() const { return axis_; }
    void setAxis(UILayoutConstraintAxis axis);
    UIStackViewDistribution distribution() const { return distribution_; }
    void setDistribution(UIStackViewDistribution distribution);
    UIStackViewAlignment alignment() const { return alignment_; }
    void setAlignment(UIStackViewAlignment alignment);
    CGFloat spacing() const { return spacing_; }
    // `spacingUseSystem` asks for the system spacing between the views (8 points).
    void setSpacing(CGFloat spacing);
    static constexpr CGFloat spacingUseSystem = std::numeric_limits<float>::min();
    bool isLayoutMarginsRelativeArrangement() const { return marginsRelative_; }
    void setLayoutMarginsRelativeArrangement(bool relative);

    CGSize intrinsicContentSize() const override;
    // The size at `size.width` (0: the stack's own width), wrapping text measured as it wraps there.
    CGSize sizeThatFits(CGSize size) const override;
    // A vertical stack that fills its width measures its views at that width (text inside them
    // wraps), so its height depends on it; so does any stack holding wrapping text directly.
    bool intrinsicSizeDependsOnWidth() const override;
    bool placesSubview(const UIView& view) const override;
    void layoutSubviews() override;
    void subviewHiddenDidChange(UIView* view) override;
    void willRemoveSubview(UIView* view) override;
    void draw(const CGRect&) override {}

private:
    void changed();
    // The spacing in points.
    CGFloat gap() const;
    std::vector<UIView*> shown() const;
    // A view's own size: its intrinsic size, else what its constraints give, else its frame's;
    // a required width or height the view holds on itself (equal, at least, at most) over all.
    // A `width` above 0 is the width the stack will give the view: the height its constraints give,
    // and that of a view whose height depends on its width, are then measured at that width.
    // `readFrame`, when given, tells whether the size had to be taken from the view's frame.
    static CGSize naturalSize(UIView& view, CGFloat width = 0, bool* readFrame = nullptr);
    // The same, kept while the view's fitting generation stays (a pass asks for the same sizes
    // twice, for the stack's own size and for the places of its views, and passes after it ask
    // again while nothing inside the views changed).
    CGSize measure(UIView& view, CGFloat width) const;
    bool fillsWidth() const;
    // `width` (0: the width layout gave, else the bounds') less the margins the views keep from.
    CGFloat innerWidth(CGFloat width) const;
    // The shown views, their own sizes (heights measured at the widths they get) and their lengths
    // along the axis with the room shared out as the distribution says.
    struct Arrangement {
        std::vector<UIView*> views;
        std::vector<CGSize> natural;
        std::vector<CGFloat> sizes;
        CGFloat spacing = 0;
    };
    // `length` and `depth` are the room along and across the axis, 0 where unknown: without a
    // length the views keep their own lengths.
    Arrangement arrange(CGFloat length, CGFloat depth) const;
    // The stack's size when it is `width` wide (0: its own width).
    CGSize measured(CGFloat width) const;
    static bool ownRequiredSize(const UIView& view, const NSLayoutConstraintPtr& constraint);
    // Whether a required constraint of the view's own gives it one length along `axis`.
    static bool fixedAlong(const UIView& view, UILayoutConstraintAxis axis);

    std::vector<std::shared_ptr<UIView>> arranged_;
    UILayoutConstraintAxis axis_ = UILayoutConstraintAxis::horizontal;
    UIStackViewDistribution distribution_ = UIStackViewDistribution::fill;
    UIStackViewAlignment alignment_ = UIStackViewAlignment::fill;
    CGFloat spacing_ = 0;
    bool marginsRelative_ = false;
    CGSize lastIntrinsic_{-2, -2};
    struct Measured {
        const UIView* view;
        std::uint64_t generation;
        CGFloat width;
        CGSize size;
        bool readFrame;
        CGSize frame;
    };
    // At most two widths a view: the one the stack asks its own size at and the one layout gave.
    mutable std::vector<Measured> measured_;
};
