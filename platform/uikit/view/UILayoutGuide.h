#pragma once

// A rectangle that takes part in layout without being a view. A guide made by app code has
// its own position and size, found by its constraints. The guides a view provides (its layout
// margins and safe area) and the legacy top and bottom layout guides of view controllers follow
// their view's edges at distances the view knows; constraints to them stay current as those
// distances change.

#include "uikit/view/NSLayoutAnchor.h"

#include <memory>
#include <string>

class UILayoutGuide : public cw::LayoutItem,
                      public std::enable_shared_from_this<UILayoutGuide>,
                      public cw::LayoutAnchors<UILayoutGuide> {
public:
    enum class Kind {
        custom,            // positioned by constraints
        layoutMargins,     // the owning view's bounds less its layout margins
        safeArea,          // the owning view's bounds less its safe-area insets
        topLayoutGuide,    // from the owning view's top down by `length`
        bottomLayoutGuide, // from the owning view's bottom up by `length`
    };

    UILayoutGuide() = default;
    explicit UILayoutGuide(Kind kind) : kind_(kind) {}

    Kind kind() const { return kind_; }
    // The view the guide belongs to (owning nothing while that view is still being made).
    std::shared_ptr<UIView> owningView() const;
    void setOwningView(UIView* view);
    const std::string& identifier() const { return identifier_; }
    void setIdentifier(std::string identifier) { identifier_ = std::move(identifier); }

    // The length of a top or bottom layout guide (the bars above or below the content).
    CGFloat length() const { return length_; }
    void setLength(CGFloat length);

    // The guide's rectangle in its owning view's coordinates, as of the last layout pass.
    CGRect layoutFrame() const;

    // The edges of a guide that follows its view: each edge is the view's minimum (0) or
    // maximum (1) edge on that axis, plus an offset.
    struct Edges {
        int leftFrom = 0, rightFrom = 1, topFrom = 0, bottomFrom = 1;
        CGFloat left = 0, right = 0, top = 0, bottom = 0;
    };
    Edges derivedEdges() const;

    UIView* layoutOwningView() override;
    std::string layoutDescription() const override;
    std::weak_ptr<const void> sharedLayoutOwner() const override { return weak_from_this(); }

    // Set by the layout engine after solving (custom guides).
    void setSolvedFrame(const CGRect& frame) { solvedFrame_ = frame; }

private:
    Kind kind_ = Kind::custom;
    cw::EarlyWeakPtr<UIView> owningView_;
    std::string identifier_;
    CGFloat length_ = 0;
    CGRect solvedFrame_;
};
