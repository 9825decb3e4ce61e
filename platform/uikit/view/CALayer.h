#pragma once

// The layer model under every view: geometry (bounds, position, anchor point, transforms), the
// looks that drawing applies (background, corner radius, border, shadow, opacity, masks) and a
// tree of sublayers. A view's layer holds the layers of its subviews as sublayers, in subview
// order, among any plain sublayers the view's code adds.

#include "uikit/graphics/Geometry.h"
#include "uikit/graphics/NSAttributedString.h"
#include "uikit/graphics/UIBezierPath.h"
#include "uikit/graphics/UIColor.h"
#include "uikit/graphics/UIFont.h"
#include "uikit/graphics/UIImage.h"
#include "uikit/view/CAAnimation.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

class UIView;
class CGContext;
class CALayer;

namespace cw::detail {
// Set while an animation block runs: told before a layer's animatable value (bounds, position,
// transform, opacity, background) changes, so that the animator can take the value it starts from.
extern void (*layerWillChange)(CALayer*);
inline void noteLayerChange(CALayer* layer) {
    if (layerWillChange) layerWillChange(layer);
}
} // namespace cw::detail

// A 4x4 transform in the platform's row-vector layout. Drawing uses its two-dimensional part.
struct CATransform3D {
    CGFloat m11 = 1, m12 = 0, m13 = 0, m14 = 0;
    CGFloat m21 = 0, m22 = 1, m23 = 0, m24 = 0;
    CGFloat m31 = 0, m32 = 0, m33 = 1, m34 = 0;
    CGFloat m41 = 0, m42 = 0, m43 = 0, m44 = 1;
    friend bool operator==(const CATransform3D&, const CATransform3D&) = default;
};

inline constexpr CATransform3D CATransform3DIdentity{};
CATransform3D CATransform3DMakeTranslation(CGFloat tx, CGFloat ty, CGFloat tz);
CATransform3D CATransform3DMakeScale(CGFloat sx, CGFloat sy, CGFloat sz);
// Rotation about the axis (x, y, z); drawing honours rotations about z.
CATransform3D CATransform3DMakeRotation(CGFloat angle, CGFloat x, CGFloat y, CGFloat z);
// a followed by b.
CATransform3D CATransform3DConcat(const CATransform3D& a, const CATransform3D& b);
CATransform3D CATransform3DTranslate(const CATransform3D& t, CGFloat tx, CGFloat ty, CGFloat tz);
CATransform3D CATransform3DScale(const CATransform3D& t, CGFloat sx, CGFloat sy, CGFloat sz);
CATransform3D CATransform3DMakeAffineTransform(const CGAffineTransform& t);
CGAffineTransform CATransform3DGetAffineTransform(const CATransform3D& t);
bool CATransform3DIsIdentity(const CATransform3D& t);

enum class CALineCap { butt, round, square };
enum class CALineJoin { miter, round, bevel };

class CALayer : public std::enable_shared_from_this<CALayer> {
public:
    CALayer() = default;
    virtual ~CALayer();
    CALayer(const CALayer&) = delete;
    CALayer& operator=(const CALayer&) = delete;

    // Geometry. The frame is derived from bounds, position, anchor point and transform.
    CGRect bounds() const { return bounds_; }
    void setBounds(const CGRect& bounds);
    CGPoint position() const { return position_; }
    void setPosition(CGPoint position);
    CGPoint anchorPoint() const { return anchorPoint_; }
    void setAnchorPoint(CGPoint anchor) { anchorPoint_ = anchor; }
    CGRect frame() const;
    // Overridable, so that a layer that draws for its size (a shape made from its frame) can draw
    // again for each new frame; an override calls this one first.
    virtual void setFrame(const CGRect& frame);
    const CATransform3D& transform() const { return transform_; }
    void setTransform(const CATransform3D& t) {
        cw::detail::noteLayerChange(this);
        transform_ = t;
    }
    CGAffineTransform affineTransform() const { return CATransform3DGetAffineTransform(transform_); }
    void setAffineTransform(const CGAffineTransform& t) {
        cw::detail::noteLayerChange(this);
        transform_ = CATransform3DMakeAffineTransform(t);
    }
    // Applied to the sublayers (and so to subviews) when drawing, about the anchor point.
    CATransform3D sublayerTransform = CATransform3DIdentity;

    // Looks.
    std::optional<UIColor> backgroundColor;
    CGFloat cornerRadius = 0;
    CGFloat borderWidth = 0;
    UIColor borderColor = UIColor::blackColor();
    float opacity = 1;
    bool hidden = false;
    bool masksToBounds = false;
    std::optional<UIColor> shadowColor = UIColor::blackColor();
    float shadowOpacity = 0;
    CGFloat shadowRadius = 3;
    CGSize shadowOffset{0, -3};
    // The outline the shadow takes; without one the shadow follows what the layer draws.
    std::optional<UIBezierPath> shadowPath;
    // Only where the mask layer draws (by its alpha) does this layer show.
    std::shared_ptr<CALayer> mask;
    CGFloat contentsScale = 1;
    std::shared_ptr<UIImage> contents;
    std::string name;

    // Values drawn instead of the model's while an animation runs; an animator sets them frame
    // by frame and clears them at the end. The model values are already the final ones.
    struct Presentation {
        std::optional<CGPoint> position;
        std::optional<CGRect> bounds;
        std::optional<float> opacity;
        std::optional<CATransform3D> transform;
        std::optional<UIColor> backgroundColor;
    };
    std::optional<Presentation> presentation;
    // What is drawn now: the presentation's values where an animation set them, else the model's.
    CGRect shownBounds() const { return presentation && presentation->bounds ? *presentation->bounds : bounds_; }
    CGPoint shownPosition() const {
        return presentation && presentation->position ? *presentation->position : position_;
    }
    float shownOpacity() const { return presentation && presentation->opacity ? *presentation->opacity : opacity; }
    CATransform3D shownTransform() const {
        return presentation && presentation->transform ? *presentation->transform : transform_;
    }

    // The tree.
    const std::vector<std::shared_ptr<CALayer>>& sublayers() const { return sublayers_; }
    std::shared_ptr<CALayer> superlayer() const { return superlayer_.lock(); }
    void addSublayer(const std::shared_ptr<CALayer>& layer);
    void insertSublayer(const std::shared_ptr<CALayer>& layer, std::size_t index);
    void insertSublayerBelow(const std::shared_ptr<CALayer>& layer, const std::shared_ptr<CALayer>& sibling);
    void insertSublayerAbove(const std::shared_ptr<CALayer>& layer, const std::shared_ptr<CALayer>& sibling);
    void removeFromSuperlayer();

    // Animations by key. Adding copies the animation and replaces one under the same key; it stays
    // until its duration has passed on the run loop's clock (unless it is not removed on completion)
    // or it is removed. An empty key keeps it under no name. (Adding is defined with the animator,
    // in the controls library.)
    void add(const CAAnimation& animation, const std::string& key);
    std::shared_ptr<const CAAnimation> animation(const std::string& key) const;
    std::vector<std::string> animationKeys() const;
    void removeAnimation(const std::string& key);
    void removeAllAnimations();

    // The view this layer backs, if any (the view owns the layer).
    UIView* delegateView() const { return view_; }
    void setDelegateView(UIView* view) { view_ = view; }

    void setNeedsDisplay() { needsDisplay_ = true; }
    bool needsDisplay() const { return needsDisplay_; }
    void clearNeedsDisplay() { needsDisplay_ = false; }

    // Draws this layer and its sublayers (with backgrounds, corners, borders, shadows, opacity and
    // masks) into the context, in this layer's bounds coordinates.
    void render(CGContext& context);

    // Draws what the layer itself shows (between its background and its sublayers), in its
    // bounds coordinates. The base draws `contents`, stretched over the bounds.
    virtual void drawInContext(CGContext& context);

    // The shadow's bitmap, kept between frames while the outline stays the same.
    struct ShadowCache {
        std::shared_ptr<UIImage> image;
        CGRect area;
        std::string key;
    };
    ShadowCache& shadowCache() { return shadowCache_; }

private:
    CGRect bounds_;
    CGPoint position_;
    CGPoint anchorPoint_{0.5, 0.5};
    CATransform3D transform_;
    std::vector<std::shared_ptr<CALayer>> sublayers_;
    std::weak_ptr<CALayer> superlayer_;
    UIView* view_ = nullptr;
    bool needsDisplay_ = true;
    // In the order they were added.
    std::vector<std::pair<std::string, std::shared_ptr<CAAnimation>>> animations_;
    ShadowCache shadowCache_;
};

// A layer that draws a path: filled (non-zero or even-odd rule) then stroked.
class CAShapeLayer : public CALayer {
public:
    std::optional<UIBezierPath> path;
    std::optional<UIColor> fillColor = UIColor::blackColor();
    std::optional<UIColor> strokeColor;
    CGFloat lineWidth = 1;
    CALineCap lineCap = CALineCap::butt;
    CALineJoin lineJoin = CALineJoin::miter;
    std::vector<CGFloat> lineDashPattern;
    CGFloat lineDashPhase = 0;
    bool evenOddFillRule = false;
    // The part of the path stroked, as fractions of its length (0...1).
    CGFloat strokeStart = 0;
    CGFloat strokeEnd = 1;

    void drawInContext(CGContext& context) override;
};

// A layer filled with a linear gradient between two points given in unit coordinates.
class CAGradientLayer : public CALayer {
public:
    std::vector<UIColor> colors;
    // Where each colour sits (0...1); spread evenly when empty.
    std::vector<CGFloat> locations;
    CGPoint startPoint{0.5, 0};
    CGPoint endPoint{0.5, 1};

    void drawInContext(CGContext& context) override;
};

enum class CATextLayerAlignmentMode { natural, left, right, center, justified };
enum class CATextLayerTruncationMode { none, start, end, middle };

// A layer that draws a string, plain or styled.
class CATextLayer : public CALayer {
public:
    std::string string;
    std::optional<NSAttributedString> attributedString;
    std::optional<UIFont> font;
    CGFloat fontSize = 36;
    UIColor foregroundColor = UIColor::whiteColor();
    bool wrapped = false;
    CATextLayerAlignmentMode alignmentMode = CATextLayerAlignmentMode::natural;
    CATextLayerTruncationMode truncationMode = CATextLayerTruncationMode::none;

    void drawInContext(CGContext& context) override;
};
