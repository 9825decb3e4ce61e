#pragma once

// The view tree. Views are shared objects: a superview owns its subviews, everything else refers
// to views weakly. Geometry lives in the view's layer; Auto Layout constraints installed on views
// are solved by one layout engine per tree (held by the tree's root) during the layout pass:
//   1. update constraints, bottom-up (`updateConstraints` on views that asked for it);
//   2. bring the engine up to date and solve;
//   3. top-down, `layoutSubviews` on views that need layout; the base implementation gives the
//      subviews that take part in Auto Layout their solved frames.
// Views are used on the main thread only.

#include "uikit/graphics/Geometry.h"
#include "uikit/graphics/UIColor.h"
#include "uikit/view/AssociatedObjects.h"
#include "uikit/view/CALayer.h"
#include "uikit/view/NSLayoutAnchor.h"
#include "uikit/view/NSLayoutConstraint.h"
#include "uikit/view/UILayoutGuide.h"
#include "uikit/view/UIResponder.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class UIGestureRecognizer;
class UIWindow;

namespace cw::detail {
class LayoutEngine;
struct ViewLayoutAccess;
// Set by UIView::endEditing(true): text inputs resign without asking their delegates.
extern bool forcingEndEditing;
} // namespace cw::detail

using UIViewAutoresizing = unsigned;
inline constexpr UIViewAutoresizing UIViewAutoresizingNone = 0;
inline constexpr UIViewAutoresizing UIViewAutoresizingFlexibleLeftMargin = 1u << 0;
inline constexpr UIViewAutoresizing UIViewAutoresizingFlexibleWidth = 1u << 1;
inline constexpr UIViewAutoresizing UIViewAutoresizingFlexibleRightMargin = 1u << 2;
inline constexpr UIViewAutoresizing UIViewAutoresizingFlexibleTopMargin = 1u << 3;
inline constexpr UIViewAutoresizing UIViewAutoresizingFlexibleHeight = 1u << 4;
inline constexpr UIViewAutoresizing UIViewAutoresizingFlexibleBottomMargin = 1u << 5;

enum class UIViewContentMode {
    scaleToFill,
    scaleAspectFit,
    scaleAspectFill,
    redraw,
    center,
    top,
    bottom,
    left,
    right,
    topLeft,
    topRight,
    bottomLeft,
    bottomRight,
};

using UIViewAnimationOptions = unsigned;
inline constexpr UIViewAnimationOptions UIViewAnimationOptionLayoutSubviews = 1u << 0;
inline constexpr UIViewAnimationOptions UIViewAnimationOptionAllowUserInteraction = 1u << 1;
inline constexpr UIViewAnimationOptions UIViewAnimationOptionBeginFromCurrentState = 1u << 2;
inline constexpr UIViewAnimationOptions UIViewAnimationOptionRepeat = 1u << 3;
inline constexpr UIViewAnimationOptions UIViewAnimationOptionAutoreverse = 1u << 4;
inline constexpr UIViewAnimationOptions UIViewAnimationOptionCurveEaseInOut = 0u << 16;
inline constexpr UIViewAnimationOptions UIViewAnimationOptionCurveEaseIn = 1u << 16;
inline constexpr UIViewAnimationOptions UIViewAnimationOptionCurveEaseOut = 2u << 16;
inline constexpr UIViewAnimationOptions UIViewAnimationOptionCurveLinear = 3u << 16;
inline constexpr UIViewAnimationOptions UIViewAnimationOptionTransitionNone = 0u << 20;
inline constexpr UIViewAnimationOptions UIViewAnimationOptionTransitionFlipFromLeft = 1u << 20;
inline constexpr UIViewAnimationOptions UIViewAnimationOptionTransitionFlipFromRight = 2u << 20;
inline constexpr UIViewAnimationOptions UIViewAnimationOptionTransitionCurlUp = 3u << 20;
inline constexpr UIViewAnimationOptions UIViewAnimationOptionTransitionCurlDown = 4u << 20;
inline constexpr UIViewAnimationOptions UIViewAnimationOptionTransitionCrossDissolve = 5u << 20;
inline constexpr UIViewAnimationOptions UIViewAnimationOptionTransitionFlipFromTop = 6u << 20;
inline constexpr UIViewAnimationOptions UIViewAnimationOptionTransitionFlipFromBottom = 7u << 20;

// "No intrinsic size on this axis."
inline constexpr CGFloat UIViewNoIntrinsicMetric = -1;
inline constexpr CGSize UILayoutFittingCompressedSize{0, 0};
inline constexpr CGSize UILayoutFittingExpandedSize{10000, 10000};

namespace cw {

// What a view controller hooks into its root view: the constraint and layout passes, and the
// responder chain. The view holds its owner weakly.
class ViewOwner {
public:
    virtual ~ViewOwner() = default;
    // Called in place of the view's own `updateConstraints` during the constraint pass.
    virtual void updateViewConstraints() = 0;
    // Around the view's `layoutSubviews`, before its subviews are laid out.
    virtual void viewWillLayoutSubviews() {}
    virtual void viewDidLayoutSubviews() {}
    // The responder that comes after the view (the controller).
    virtual UIResponder* ownerResponder() = 0;
};

} // namespace cw

// A view is both a responder and a layout item; references taken early go by its one owner.
inline std::weak_ptr<const void> earlyOwner(const UIView& view);
inline std::weak_ptr<const void> earlyLifetime(const UIView& view);

class UIView : public UIResponder,
               public cw::LayoutItem,
               public std::enable_shared_from_this<UIView>,
               public cw::LayoutAnchors<UIView>,
               public cw::AssociatedObjects {
public:
    UIView();
    explicit UIView(const CGRect& frame);
    ~UIView() override;

    // --- Geometry (in points) ---------------------------------------------------------------
    CGRect frame() const;
    void setFrame(const CGRect& frame);
    CGRect bounds() const { return layer_->bounds(); }
    void setBounds(const CGRect& bounds);
    CGPoint center() const { return layer_->position(); }
    void setCenter(CGPoint center);
    CGAffineTransform transform() const { return layer_->affineTransform(); }
    void setTransform(const CGAffineTransform& t);

    // Converts between this view's bounds coordinates and another view's (or the tree root's,
    // for none). Both views must be in one tree.
    CGPoint convert(CGPoint point, const UIView* toView) const;
    CGPoint convert(CGPoint point, const std::shared_ptr<UIView>& toView) const {
        return convert(point, toView.get());
    }
    CGPoint convertFrom(CGPoint point, const UIView* fromView) const;
    CGPoint convertFrom(CGPoint point, const std::shared_ptr<UIView>& fromView) const {
        return convertFrom(point, fromView.get());
    }
    CGRect convert(const CGRect& rect, const UIView* toView) const;
    CGRect convert(const CGRect& rect, const std::shared_ptr<UIView>& toView) const {
        return convert(rect, toView.get());
    }
    CGRect convertFrom(const CGRect& rect, const UIView* fromView) const;
    CGRect convertFrom(const CGRect& rect, const std::shared_ptr<UIView>& fromView) const {
        return convertFrom(rect, fromView.get());
    }
    // The same through the geometry drawn now, which an animation under way holds apart from the
    // model's (a form sliding up with the keyboard is drawn where it was, though its frame says
    // where it comes to rest). Touches are read this way: a finger lands on what it sees.
    CGPoint convertShown(CGPoint point, const UIView* toView) const;
    CGPoint convertShownFrom(CGPoint point, const UIView* fromView) const;

    // --- The tree ---------------------------------------------------------------------------
    // A view that adds subviews in its own constructor is not yet owned by a shared pointer then, so
    // the link is completed from the parent once it is; until then this gives a pointer to the parent
    // that owns nothing (constraints made with it bind to the parent once it is shared).
    std::shared_ptr<UIView> superview() const {
        if (!superviewRaw_) return nullptr;
        return cw::EarlyWeakPtr<UIView>(superviewRaw_).lockOrBorrow();
    }
    UIView* superviewPointer() const { return superviewRaw_; }
    const std::vector<std::shared_ptr<UIView>>& subviews() const { return subviews_; }
    // Adding a view that has another superview moves it; adding a view to itself or to one of
    // its own descendants is refused (it would make a cycle).
    void addSubview(const std::shared_ptr<UIView>& view);
    void insertSubview(const std::shared_ptr<UIView>& view, std::size_t index);
    void insertSubviewBelow(const std::shared_ptr<UIView>& view, const std::shared_ptr<UIView>& sibling);
    void insertSubviewAbove(const std::shared_ptr<UIView>& view, const std::shared_ptr<UIView>& sibling);
    void bringSubviewToFront(const std::shared_ptr<UIView>& view);
    void sendSubviewToBack(const std::shared_ptr<UIView>& view);
    void exchangeSubview(std::size_t index1, std::size_t index2);
    // The first responder, when it is this view or inside it, resigns (forced) as it leaves.
    void removeFromSuperview();
    bool isDescendant(const UIView* view) const;
    // This view or the first descendant (depth first) with the tag.
    std::shared_ptr<UIView> viewWithTag(long tag);
    // The topmost ancestor (this view when it has no superview).
    UIView* rootView();
    // The window this view is in: its topmost ancestor when that is a window, else none.
    UIWindow* window();
    // A window answers itself.
    virtual UIWindow* asWindow() { return nullptr; }
    // A view takes the focus only while it is in a window: a field that was never put on screen
    // (or has left it) cannot take the keyboard.
    bool becomeFirstResponder() override;

    // Hooks for subclasses.
    virtual void didAddSubview(UIView*) {}
    virtual void willRemoveSubview(UIView*) {}
    virtual void willMoveToSuperview(UIView*) {}
    virtual void didMoveToSuperview() {}

    // --- Looks ------------------------------------------------------------------------------
    const std::shared_ptr<CALayer>& layer() const { return layer_; }
    bool isHidden() const { return layer_->hidden; }
    void setHidden(bool hidden) {
        if (layer_->hidden == hidden) return;
        layer_->hidden = hidden;
        if (superviewRaw_) {
            superviewRaw_->invalidateFittingSize();
            superviewRaw_->subviewHiddenDidChange(this);
        }
    }
    // Told when a subview is shown or hidden (stack views collapse hidden arranged views).
    virtual void subviewHiddenDidChange(UIView*) {}
    CGFloat alpha() const { return layer_->opacity; }
    void setAlpha(CGFloat alpha) {
        cw::detail::noteLayerChange(layer_.get());
        layer_->opacity = static_cast<float>(alpha);
    }
    bool clipsToBounds() const { return layer_->masksToBounds; }
    void setClipsToBounds(bool clips) { layer_->masksToBounds = clips; }
    std::optional<UIColor> backgroundColor() const { return layer_->backgroundColor; }
    void setBackgroundColor(const std::optional<UIColor>& color);
    // Inherited from the superview when not set; the platform's blue at the root.
    UIColor tintColor() const;
    void setTintColor(const std::optional<UIColor>& color);
    virtual void tintColorDidChange() {}
    UIViewContentMode contentMode() const { return contentMode_; }
    void setContentMode(UIViewContentMode mode);
    bool isOpaque() const { return opaque_; }
    void setOpaque(bool opaque) { opaque_ = opaque; }

    long tag() const { return tag_; }
    void setTag(long tag) { tag_ = tag; }
    const std::string& accessibilityIdentifier() const { return accessibilityIdentifier_; }
    void setAccessibilityIdentifier(std::string id) { accessibilityIdentifier_ = std::move(id); }
    std::string accessibilityLabel;
    bool isUserInteractionEnabled() const { return userInteractionEnabled_; }
    void setUserInteractionEnabled(bool enabled) { userInteractionEnabled_ = enabled; }
    bool isMultipleTouchEnabled = false;

    // --- Animations --------------------------------------------------------------------------
    // The changes made in `animations` take their final values at once; what is drawn moves
    // towards them over the duration on the run loop's clock, and `completion` runs (on the main
    // run loop) once it has passed. (Defined with the animator, in the controls library.)
    static void animate(double duration, std::function<void()> animations,
                        std::function<void(bool)> completion = {});
    static void animate(double duration, double delay, UIViewAnimationOptions options,
                        std::function<void()> animations, std::function<void(bool)> completion = {});
    // A spring: `dampingRatio` 1 settles without overshoot, smaller values oscillate.
    static void animate(double duration, double delay, CGFloat dampingRatio, CGFloat velocity,
                        UIViewAnimationOptions options, std::function<void()> animations,
                        std::function<void(bool)> completion = {});
    static void transition(const std::shared_ptr<UIView>& view, double duration,
                           UIViewAnimationOptions options, std::function<void()> animations,
                           std::function<void(bool)> completion = {});
    static void performWithoutAnimation(const std::function<void()>& actions);

    // --- Hit testing ------------------------------------------------------------------------
    // The deepest visible, interactive descendant (or this view) containing the point, which is
    // in this view's bounds coordinates; the descendants are found where they are drawn.
    virtual std::shared_ptr<UIView> hitTest(CGPoint point, const UIEvent* event);
    virtual bool pointInside(CGPoint point, const UIEvent* event) const;

    UIResponder* nextResponder() const override;

    // Gesture recognisers see the touches of this view and its descendants before the views do.
    // (Defined with the event system, in the controls library.)
    void addGestureRecognizer(const std::shared_ptr<UIGestureRecognizer>& recognizer);
    void removeGestureRecognizer(const std::shared_ptr<UIGestureRecognizer>& recognizer);
    const std::vector<std::shared_ptr<UIGestureRecognizer>>& gestureRecognizers() const {
        return gestureRecognizers_;
    }
    // Resigns the first responder when it is this view or inside it; with `force`, even when it
    // would rather keep the focus. Returns whether nothing inside is first responder afterwards.
    bool endEditing(bool force);

    // The controller whose root view this is, if any.
    std::shared_ptr<cw::ViewOwner> owner() const { return owner_.lock(); }
    void setOwner(const std::shared_ptr<cw::ViewOwner>& owner) { owner_ = owner; }

    // --- Sizing -----------------------------------------------------------------------------
    // The size that best fits the given one; the base keeps the current size.
    virtual CGSize sizeThatFits(CGSize size) const;
    void sizeToFit();
    // The size the content needs, or UIViewNoIntrinsicMetric on an axis with no preference.
    virtual CGSize intrinsicContentSize() const;
    // Also invalidates the fitting size (below).
    void invalidateIntrinsicContentSize();
    // Changes with anything inside this view that can change the size it needs: its content
    // (invalidateIntrinsicContentSize), its subviews coming, going, hiding or moving, their
    // constraints and margins. A size measured while it reads the same still holds: views that
    // measure their subviews again and again (a stack view, pass after pass) keep what they
    // measured until it moves. Every view starts with a value no other view has had.
    std::uint64_t fittingGeneration() const { return fittingGeneration_; }
    // Moves the fitting generation of this view and of its ancestors.
    void invalidateFittingSize();

    // --- Layout -----------------------------------------------------------------------------
    void setNeedsLayout();
    bool needsLayout() const { return needsLayout_; }
    // Runs the layout pass now if this view or an ancestor needs it.
    void layoutIfNeeded();
    // Lays out the subviews; the base gives constrained subviews their solved frames.
    virtual void layoutSubviews();

    UIEdgeInsets layoutMargins() const { return layoutMargins_; }
    void setLayoutMargins(const UIEdgeInsets& margins);
    virtual void layoutMarginsDidChange() {}
    // Whether the layout margins are measured from the edges of the safe area (the platform's
    // default: a controller's view keeps its margins clear of the bars) or from the bounds.
    bool insetsLayoutMarginsFromSafeArea() const { return insetsMarginsFromSafeArea_; }
    void setInsetsLayoutMarginsFromSafeArea(bool insets);
    // The layout margins measured from the bounds, as the margins guide and the margin attributes
    // of constraints place them.
    UIEdgeInsets marginsFromBounds() const;
    // The insets the screen's bars and edges leave; set on a root (by its window or controller)
    // and derived for descendants from where they lie within it.
    UIEdgeInsets safeAreaInsets() const;
    void setSafeAreaInsets(const UIEdgeInsets& insets);
    virtual void safeAreaInsetsDidChange() {}

    // --- Drawing ----------------------------------------------------------------------------
    void setNeedsDisplay();
    void setNeedsDisplayInRect(const CGRect&) { setNeedsDisplay(); }
    // Draws the view's own content into the current graphics context, in bounds coordinates.
    virtual void draw(const CGRect& rect);
    // Draws the view and its subviews into the current graphics context, scaled into `rect`
    // (after a layout pass when `afterScreenUpdates`); false without a current context.
    bool drawHierarchy(const CGRect& rect, bool afterScreenUpdates = true);

    // --- Auto Layout ------------------------------------------------------------------------
    const std::vector<NSLayoutConstraintPtr>& constraints() const { return constraints_; }
    // Installs a constraint on this view (adding one already installed here does nothing).
    void addConstraint(const NSLayoutConstraintPtr& constraint);
    void addConstraints(const std::vector<NSLayoutConstraintPtr>& constraints);
    void removeConstraint(const NSLayoutConstraintPtr& constraint);
    void removeConstraints(const std::vector<NSLayoutConstraintPtr>& constraints);

    bool translatesAutoresizingMaskIntoConstraints() const { return translatesAutoresizing_; }
    void setTranslatesAutoresizingMaskIntoConstraints(bool translates);
    UIViewAutoresizing autoresizingMask() const { return autoresizingMask_; }
    void setAutoresizingMask(UIViewAutoresizing mask);
    bool autoresizesSubviews() const { return autoresizesSubviews_; }
    void setAutoresizesSubviews(bool autoresizes) { autoresizesSubviews_ = autoresizes; }

    UILayoutPriority contentHuggingPriority(UILayoutConstraintAxis axis) const;
    void setContentHuggingPriority(UILayoutPriority priority, UILayoutConstraintAxis axis);
    UILayoutPriority contentCompressionResistancePriority(UILayoutConstraintAxis axis) const;
    void setContentCompressionResistancePriority(UILayoutPriority priority, UILayoutConstraintAxis axis);

    // Asks for `updateConstraints` at the next layout pass. New views start out asking.
    void setNeedsUpdateConstraints();
    bool needsUpdateConstraints() const { return needsUpdateConstraints_; }
    void updateConstraintsIfNeeded();
    // Adds or changes this view's constraints; called bottom-up before solving.
    virtual void updateConstraints() {}

    // The smallest (or, with other targets and priorities, the best-fitting) size this view's
    // constraints allow, solved for this view and its subtree alone.
    CGSize systemLayoutSizeFitting(CGSize targetSize) const;
    CGSize systemLayoutSizeFitting(CGSize targetSize, UILayoutPriority horizontalFittingPriority,
                                   UILayoutPriority verticalFittingPriority) const;

    // Baselines for lastBaseline / firstBaseline constraints: the distances from the bottom to
    // the last baseline and from the top to the first. Views without text use their edges.
    virtual CGFloat lastBaselineOffsetFromBottom() const { return 0; }
    virtual CGFloat firstBaselineOffsetFromTop() const { return 0; }
    // Whether the intrinsic height depends on the width the layout gives (multi-line text): the
    // engine then solves again with the width it found.
    virtual bool intrinsicSizeDependsOnWidth() const { return false; }
    // Whether this view's edges, seen from the views inside it, are those of a content area
    // rather than of its frame (scroll views); its width, height and centres stay its frame's.
    virtual bool edgesAreContentArea() const { return false; }
    // Whether this view sets `subview`'s frame itself in its layoutSubviews (a stack view places
    // its arranged views): the engine then holds the subview to that frame, as it does a frame
    // turned into constraints, so that the constraints inside the subview follow it.
    virtual bool placesSubview(const UIView&) const { return false; }
    // Whether `subview`'s subtree is laid out apart, by a layout engine of its own that the subview
    // keeps: this view places it by its frame, and nothing inside it is constrained to anything
    // outside it (a table's rows). Rows come and go as a table scrolls: this tree's engine then
    // only gains or loses one item, and a row's own engine, kept while the row waits to be reused,
    // takes in only what changed inside it.
    virtual bool laysOutApart(const UIView&) const { return false; }
    // For such a view: the content area's size as the constraints inside it decide it, after a
    // layout pass; none when no constraint inside it names its far edges.
    std::optional<CGSize> contentAreaSizeFromLayout();
    // The width the last layout gave this view, for such views; 0 before any.
    CGFloat layoutWidthHint() const { return layoutWidthHint_; }
    // Whether the content changed since: that width then says nothing of what the content needs,
    // until the next layout pass gives one again.
    bool layoutWidthHintIsStale() const { return layoutWidthHintStale_; }

    const std::vector<std::shared_ptr<UILayoutGuide>>& layoutGuides() const { return layoutGuides_; }
    void addLayoutGuide(const std::shared_ptr<UILayoutGuide>& guide);
    void removeLayoutGuide(const std::shared_ptr<UILayoutGuide>& guide);
    std::shared_ptr<UILayoutGuide> layoutMarginsGuide();
    std::shared_ptr<UILayoutGuide> safeAreaLayoutGuide();

    // Anchors: those of every layout item (leading ... height), and the baselines.
    NSLayoutYAxisAnchor firstBaselineAnchor() {
        return {NSLayoutItem(this), NSLayoutAttribute::firstBaseline};
    }
    NSLayoutYAxisAnchor lastBaselineAnchor() { return {NSLayoutItem(this), NSLayoutAttribute::lastBaseline}; }

    UIView* layoutOwningView() override { return this; }
    std::string layoutDescription() const override;
    std::weak_ptr<const void> sharedLayoutOwner() const override { return weak_from_this(); }
    std::weak_ptr<const void> sharedResponderOwner() const override { return weak_from_this(); }
    // The class name used in descriptions ("UIView", "UILabel", ...).
    virtual std::string className() const { return "UIView"; }

protected:
    // For views backed by a special layer (a gradient or shape layer).
    UIView(const CGRect& frame, std::shared_ptr<CALayer> layer);
    // Which subviews this view places itself changed.
    void subviewPlacementChanged() { markLayoutStructureChanged(); }
    // The content whose size follows the width changed (see layoutWidthHintIsStale).
    void layoutWidthHintOutdated() { layoutWidthHintStale_ = layoutWidthHint_ > 0; }

private:
    friend struct cw::detail::ViewLayoutAccess;
    friend class cw::detail::LayoutEngine;
    friend class UILayoutGuide;

    void attachSubview(const std::shared_ptr<UIView>& view, std::size_t index);
    // Leaves the superview; a view moving to another superview keeps its focus.
    void detachFromSuperview();
    void placeLayerOf(UIView* view, std::size_t index);
    void boundsSizeChanged(CGSize oldSize);
    void frameChangedByCode();
    void markLayoutStructureChanged();
    // Whether this view's subtree is laid out apart from its superview's (see laysOutApart).
    bool isLaidOutApart() const { return superviewRaw_ && superviewRaw_->laysOutApart(*this); }
    // Brings the engine this view keeps (a root, or a view laid out apart) up to date, making it
    // the first time.
    void updateOwnEngine();
    void layoutSubtreeIfNeeded();
    void runLayoutPass();
    void propagateUpdateConstraintsFlag();
    void updateConstraintsBottomUp();
    void autoresizeSubviews(CGSize oldSize);
    // Frames set by the engine do not feed back into the engine.
    void setFrameFromEngine(const CGRect& frame);
    // Margins, insets or guide lengths changed: constraints that follow them need a new look.
    void engineInputsChanged();
    // Tells this view and the views below it that take their tint from it.
    void tintDidChangeInSubtree();

    std::shared_ptr<CALayer> layer_;
    std::weak_ptr<cw::ViewOwner> owner_;
    UIView* superviewRaw_ = nullptr;
    std::vector<std::shared_ptr<UIView>> subviews_;
    std::optional<UIColor> tintColor_;
    UIViewContentMode contentMode_ = UIViewContentMode::scaleToFill;
    bool opaque_ = true;
    long tag_ = 0;
    std::string accessibilityIdentifier_;
    bool userInteractionEnabled_ = true;

    bool needsLayout_ = true;
    bool needsUpdateConstraints_ = true;
    bool subtreeNeedsUpdateConstraints_ = true;
    bool translatesAutoresizing_ = true;
    UIViewAutoresizing autoresizingMask_ = UIViewAutoresizingNone;
    bool autoresizesSubviews_ = true;
    UILayoutPriority hugging_[2] = {UILayoutPriorityDefaultLow, UILayoutPriorityDefaultLow};
    UILayoutPriority compression_[2] = {UILayoutPriorityDefaultHigh, UILayoutPriorityDefaultHigh};
    UIEdgeInsets layoutMargins_{8, 8, 8, 8};
    bool insetsMarginsFromSafeArea_ = true;
    std::optional<UIEdgeInsets> explicitSafeArea_;
    CGFloat layoutWidthHint_ = 0;
    bool layoutWidthHintStale_ = false;
    std::uint64_t fittingGeneration_;
    bool inEngineFrameUpdate_ = false;

    std::vector<NSLayoutConstraintPtr> constraints_;
    std::vector<std::shared_ptr<UIGestureRecognizer>> gestureRecognizers_;
    std::vector<std::shared_ptr<UILayoutGuide>> layoutGuides_;
    std::shared_ptr<UILayoutGuide> marginsGuide_;
    std::shared_ptr<UILayoutGuide> safeAreaGuide_;

    // Held by a tree's root, and by a view laid out apart; created at the first layout pass that
    // needs it.
    std::unique_ptr<cw::detail::LayoutEngine> engine_;
};

inline std::weak_ptr<const void> earlyOwner(const UIView& view) {
    return view.sharedLayoutOwner();
}
inline std::weak_ptr<const void> earlyLifetime(const UIView& view) {
    return view.layoutLifetime();
}

using UIViewPtr = std::shared_ptr<UIView>;
