#include "uikit/view/UIView.h"

#include "uikit/view/LayoutEngine.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <iostream>

namespace cw::detail {
struct ViewLayoutAccess {
    // The engine that lays out `view`'s subviews: the one kept by the nearest of the view and its
    // ancestors that is a tree's root or is laid out apart.
    static LayoutEngine* engineOf(UIView* view) {
        while (view->superviewRaw_ && !view->isLaidOutApart())
            view = view->superviewRaw_;
        return view->engine_.get();
    }
    // The engine that has `view` among its items (a root is an item of its own engine).
    static LayoutEngine* engineHolding(UIView* view) {
        return view->superviewRaw_ ? engineOf(view->superviewRaw_) : view->engine_.get();
    }
};
} // namespace cw::detail

namespace {

cw::detail::LayoutEngine* engineOf(UIView* view) {
    return cw::detail::ViewLayoutAccess::engineOf(view);
}

cw::detail::LayoutEngine* engineHolding(UIView* view) {
    return cw::detail::ViewLayoutAccess::engineHolding(view);
}

// The map from a view's bounds coordinates to its superview's: the model's, or what is drawn now.
CGAffineTransform toSuperview(const CALayer& layer, bool shown = false) {
    const CGRect b = shown ? layer.shownBounds() : layer.bounds();
    const CGPoint a = layer.anchorPoint();
    const CGPoint p = shown ? layer.shownPosition() : layer.position();
    const CGAffineTransform turn =
        shown ? CATransform3DGetAffineTransform(layer.shownTransform()) : layer.affineTransform();
    return CGAffineTransform::makeTranslation(-b.origin.x - a.x * b.size.width,
                                              -b.origin.y - a.y * b.size.height)
        .concatenating(turn)
        .concatenating(CGAffineTransform::makeTranslation(p.x, p.y));
}

CGAffineTransform toRoot(const UIView* v, bool shown = false) {
    CGAffineTransform t = CGAffineTransform::identity();
    for (; v && v->superviewPointer(); v = v->superviewPointer())
        t = t.concatenating(toSuperview(*v->layer(), shown));
    return t;
}

} // namespace

UIView::UIView() : UIView(CGRect{}) {}

UIView::UIView(const CGRect& frame) : UIView(frame, std::make_shared<CALayer>()) {}

namespace {

// Fitting generations are drawn from one count, so that a view never reads as one measured before
// (a new view made where an old one was).
std::atomic<std::uint64_t> fittingGenerations{0};

std::uint64_t nextFittingGeneration() {
    return fittingGenerations.fetch_add(1, std::memory_order_relaxed) + 1;
}

} // namespace

UIView::UIView(const CGRect& frame, std::shared_ptr<CALayer> layer)
    : layer_(std::move(layer)), fittingGeneration_(nextFittingGeneration()) {
    if (!layer_) layer_ = std::make_shared<CALayer>();
    layer_->setDelegateView(this);
    layer_->setFrame(frame);
}

UIView::~UIView() {
    // References taken while a view was being made go dead here, before its parts go.
    endLayoutLifetime();
    endResponderLifetime();
    engine_.reset();
    layer_->setDelegateView(nullptr);
    for (auto& s : subviews_)
        s->superviewRaw_ = nullptr;
}

// --- Geometry --------------------------------------------------------------------------------

CGRect UIView::frame() const {
    return layer_->frame();
}

namespace {
bool finite(const CGRect& r) {
    return std::isfinite(r.origin.x) && std::isfinite(r.origin.y) && std::isfinite(r.size.width) &&
           std::isfinite(r.size.height);
}
} // namespace

void UIView::setFrame(const CGRect& frame) {
    if (!finite(frame)) return; // not a place: keep the one it has
    const CGSize old = bounds().size;
    const CGPoint oldCenter = center();
    layer_->setFrame(frame.standardized());
    if (!(bounds().size == old)) boundsSizeChanged(old);
    if (!(bounds().size == old) || !(center() == oldCenter)) frameChangedByCode();
}

void UIView::setFrameFromEngine(const CGRect& frame) {
    const CGSize old = bounds().size;
    if (transform().isIdentity()) {
        layer_->setFrame(frame);
    } else {
        CGRect b = bounds();
        b.size = frame.size;
        layer_->setBounds(b);
        layer_->setPosition(frame.center());
    }
    if (!(bounds().size == old)) boundsSizeChanged(old);
}

void UIView::setBounds(const CGRect& bounds) {
    if (!finite(bounds)) return;
    const CGSize old = this->bounds().size;
    layer_->setBounds(bounds);
    if (!(bounds.size == old)) {
        boundsSizeChanged(old);
        frameChangedByCode();
    }
}

void UIView::setCenter(CGPoint c) {
    if (!std::isfinite(c.x) || !std::isfinite(c.y)) return;
    if (c == center()) return;
    layer_->setPosition(c);
    frameChangedByCode();
}

void UIView::setTransform(const CGAffineTransform& t) {
    layer_->setAffineTransform(t);
}

void UIView::boundsSizeChanged(CGSize oldSize) {
    // A view laid out apart is the root of its own engine, which holds it to its bounds.
    if (engine_ && isLaidOutApart()) engine_->itemChanged(this);
    setNeedsLayout();
    setNeedsDisplay();
    autoresizeSubviews(oldSize);
}

void UIView::frameChangedByCode() {
    if (inEngineFrameUpdate_) return;
    // What the view needs is as it was; what its superview needs may not be (a fitting holds the
    // views that translate their frames to them).
    if (superviewRaw_) superviewRaw_->invalidateFittingSize();
    // A root, a view that turns its frame into constraints, or one its superview places, tells
    // the engine.
    if (!superviewRaw_ || translatesAutoresizing_ || superviewRaw_->placesSubview(*this)) {
        if (auto* e = engineHolding(this)) e->itemChanged(this);
    }
}

void UIView::autoresizeSubviews(CGSize oldSize) {
    if (!autoresizesSubviews_) return;
    const CGSize now = bounds().size;
    for (auto& s : subviews_) {
        const UIViewAutoresizing m = s->autoresizingMask_;
        if (m == UIViewAutoresizingNone || !s->translatesAutoresizing_) continue;
        CGRect f = s->frame();
        auto axis = [](CGFloat& origin, CGFloat& length, CGFloat oldSuper, CGFloat newSuper, bool fl, bool fs,
                       bool fh) {
            const CGFloat delta = newSuper - oldSuper;
            if (delta == 0 || !(fl || fs || fh)) return;
            const CGFloat low = origin, high = oldSuper - origin - length;
            const CGFloat total = (fl ? std::max(low, 0.0) : 0) + (fs ? std::max(length, 0.0) : 0) +
                                  (fh ? std::max(high, 0.0) : 0);
            const int n = int(fl) + int(fs) + int(fh);
            auto share = [&](bool f, CGFloat len) {
                return f ? (total > 0 ? std::max(len, 0.0) / total : 1.0 / n) : 0.0;
            };
            origin += delta * share(fl, low);
            length += delta * share(fs, length);
        };
        axis(f.origin.x, f.size.width, oldSize.width, now.width, m & UIViewAutoresizingFlexibleLeftMargin,
             m & UIViewAutoresizingFlexibleWidth, m & UIViewAutoresizingFlexibleRightMargin);
        axis(f.origin.y, f.size.height, oldSize.height, now.height, m & UIViewAutoresizingFlexibleTopMargin,
             m & UIViewAutoresizingFlexibleHeight, m & UIViewAutoresizingFlexibleBottomMargin);
        s->setFrame(f);
    }
}

CGPoint UIView::convert(CGPoint point, const UIView* toView) const {
    const CGPoint inRoot = toRoot(this).apply(point);
    return toView ? toRoot(toView).inverted().apply(inRoot) : inRoot;
}

CGPoint UIView::convertFrom(CGPoint point, const UIView* fromView) const {
    const CGPoint inRoot = fromView ? toRoot(fromView).apply(point) : point;
    return toRoot(this).inverted().apply(inRoot);
}

CGPoint UIView::convertShown(CGPoint point, const UIView* toView) const {
    const CGPoint inRoot = toRoot(this, true).apply(point);
    return toView ? toRoot(toView, true).inverted().apply(inRoot) : inRoot;
}

CGPoint UIView::convertShownFrom(CGPoint point, const UIView* fromView) const {
    const CGPoint inRoot = fromView ? toRoot(fromView, true).apply(point) : point;
    return toRoot(this, true).inverted().apply(inRoot);
}

CGRect UIView::convert(const CGRect& rect, const UIView* toView) const {
    CGAffineTransform t = toRoot(this);
    if (toView) t = t.concatenating(toRoot(toView).inverted());
    return t.apply(rect);
}

CGRect UIView::convertFrom(const CGRect& rect, const UIView* fromView) const {
    CGAffineTransform t = fromView ? toRoot(fromView) : CGAffineTransform::identity();
    t = t.concatenating(toRoot(this).inverted());
    return t.apply(rect);
}

// --- The tree --------------------------------------------------------------------------------

UIView* UIView::rootView() {
    UIView* v = this;
    while (v->superviewRaw_)
        v = v->superviewRaw_;
    return v;
}

UIWindow* UIView::window() {
    return rootView()->asWindow();
}

bool UIView::becomeFirstResponder() {
    if (!isFirstResponder() && !window()) return false;
    return UIResponder::becomeFirstResponder();
}

bool UIView::isDescendant(const UIView* view) const {
    for (const UIView* v = this; v; v = v->superviewRaw_)
        if (v == view) return true;
    return false;
}

void UIView::markLayoutStructureChanged() {
    invalidateFittingSize();
    if (auto* e = engineOf(this)) e->setNeedsSync();
}

void UIView::invalidateFittingSize() {
    const std::uint64_t generation = nextFittingGeneration();
    fittingGeneration_ = generation;
    for (UIView* v = this; v->superviewRaw_; v = v->superviewRaw_) {
        UIView* parent = v->superviewRaw_;
        parent->fittingGeneration_ = generation;
        // A view that places its subviews by their sizes (a stack view) places them again when
        // something deep inside one of them changes, not only the subview's own content.
        if (parent->placesSubview(*v)) parent->setNeedsLayout();
    }
}

void UIView::placeLayerOf(UIView* view, std::size_t index) {
    // Keep subview layers in subview order, among the view's own sublayers: just below the layer
    // of the next subview that is in place, or else just above the previous one.
    for (std::size_t k = index + 1; k < subviews_.size(); ++k) {
        if (subviews_[k]->layer_->superlayer() == layer_) {
            layer_->insertSublayerBelow(view->layer_, subviews_[k]->layer_);
            return;
        }
    }
    for (std::size_t k = index; k-- > 0;) {
        if (subviews_[k]->layer_->superlayer() == layer_) {
            layer_->insertSublayerAbove(view->layer_, subviews_[k]->layer_);
            return;
        }
    }
    layer_->addSublayer(view->layer_);
}

void UIView::attachSubview(const std::shared_ptr<UIView>& view, std::size_t index) {
    if (!view || view.get() == this) return;
    if (isDescendant(view.get())) {
        std::cerr << "[UIView] Refusing to add " << view->layoutDescription() << " inside itself\n";
        return;
    }
    std::shared_ptr<UIView> keep = view;
    if (view->superviewRaw_ == this) {
        auto it = std::find(subviews_.begin(), subviews_.end(), view);
        const auto at = static_cast<std::size_t>(it - subviews_.begin());
        subviews_.erase(it);
        if (index > at) --index;
        index = std::min(index, subviews_.size());
        subviews_.insert(subviews_.begin() + static_cast<std::ptrdiff_t>(index), view);
        view->layer_->removeFromSuperlayer();
        placeLayerOf(view.get(), index);
        return;
    }
    view->willMoveToSuperview(this);
    // A view without a tint of its own takes its new superview's: it and the views that follow
    // it hear of a change, as they do when an ancestor's tint is set.
    const UIColor tintBefore = view->tintColor();
    if (view->superviewRaw_) view->detachFromSuperview();
    if (!laysOutApart(*view)) view->engine_.reset(); // it joins this tree's engine
    index = std::min(index, subviews_.size());
    subviews_.insert(subviews_.begin() + static_cast<std::ptrdiff_t>(index), view);
    view->superviewRaw_ = this;
    placeLayerOf(view.get(), index);
    if (view->subtreeNeedsUpdateConstraints_) propagateUpdateConstraintsFlag();
    markLayoutStructureChanged();
    setNeedsLayout();
    view->setNeedsLayout();
    didAddSubview(view.get());
    view->didMoveToSuperview();
    if (!view->tintColor_ && !(view->tintColor() == tintBefore)) view->tintDidChangeInSubtree();
}

void UIView::addSubview(const std::shared_ptr<UIView>& view) {
    attachSubview(view, subviews_.size());
}

void UIView::insertSubview(const std::shared_ptr<UIView>& view, std::size_t index) {
    attachSubview(view, index);
}

void UIView::insertSubviewBelow(const std::shared_ptr<UIView>& view, const std::shared_ptr<UIView>& sibling) {
    auto it = std::find(subviews_.begin(), subviews_.end(), sibling);
    attachSubview(view, it == subviews_.end() ? subviews_.size()
                                              : static_cast<std::size_t>(it - subviews_.begin()));
}

void UIView::insertSubviewAbove(const std::shared_ptr<UIView>& view, const std::shared_ptr<UIView>& sibling) {
    auto it = std::find(subviews_.begin(), subviews_.end(), sibling);
    attachSubview(view, it == subviews_.end() ? subviews_.size()
                                              : static_cast<std::size_t>(it - subviews_.begin()) + 1);
}

void UIView::bringSubviewToFront(const std::shared_ptr<UIView>& view) {
    if (view && view->superviewRaw_ == this) attachSubview(view, subviews_.size());
}

void UIView::sendSubviewToBack(const std::shared_ptr<UIView>& view) {
    if (view && view->superviewRaw_ == this) attachSubview(view, 0);
}

void UIView::exchangeSubview(std::size_t i, std::size_t j) {
    if (i >= subviews_.size() || j >= subviews_.size() || i == j) return;
    std::swap(subviews_[i], subviews_[j]);
    for (std::size_t k : {i, j}) {
        subviews_[k]->layer_->removeFromSuperlayer();
    }
    for (std::size_t k : {std::min(i, j), std::max(i, j)})
        placeLayerOf(subviews_[k].get(), k);
}

bool cw::detail::forcingEndEditing = false;

bool UIView::endEditing(bool force) {
    UIResponder* current = UIResponder::currentFirstResponder();
    auto* view = dynamic_cast<UIView*>(current);
    if (!view || !(view == this || view->isDescendant(this))) return true;
    const bool saved = cw::detail::forcingEndEditing;
    cw::detail::forcingEndEditing = force;
    const bool ok = view->resignFirstResponder();
    cw::detail::forcingEndEditing = saved;
    return ok;
}

void UIView::removeFromSuperview() {
    if (!superviewRaw_) return;
    // A screen that goes takes its focus along: the field resigns and the keyboard goes down,
    // rather than typing on into a view nobody sees.
    std::shared_ptr<UIView> keep = weak_from_this().lock();
    endEditing(true);
    detachFromSuperview();
}

void UIView::detachFromSuperview() {
    UIView* parent = superviewRaw_;
    if (!parent) return;
    // Kept alive until it has left (its superview may hold the last reference).
    std::shared_ptr<UIView> keep = weak_from_this().lock();
    willMoveToSuperview(nullptr);
    parent->willRemoveSubview(this);
    parent->markLayoutStructureChanged();
    // Constraints installed above this view that name it (or its subtree) go with it.
    for (UIView* a = parent; a; a = a->superviewRaw_) {
        std::vector<NSLayoutConstraintPtr> drop;
        for (const auto& c : a->constraints_) {
            auto names = [&](cw::LayoutItem* i) {
                return i && i->layoutOwningView() && i->layoutOwningView()->isDescendant(this);
            };
            if (names(c->firstItemPointer()) || names(c->secondItemPointer())) drop.push_back(c);
        }
        for (const auto& c : drop)
            a->removeConstraint(c);
    }
    auto& siblings = parent->subviews_;
    std::shared_ptr<UIView> self;
    for (auto& s : siblings)
        if (s.get() == this) self = std::move(s);
    siblings.erase(std::remove(siblings.begin(), siblings.end(), nullptr), siblings.end());
    layer_->removeFromSuperlayer();
    superviewRaw_ = nullptr;
    parent->setNeedsLayout();
    setNeedsLayout();
    didMoveToSuperview();
}

std::shared_ptr<UIView> UIView::viewWithTag(long tag) {
    if (tag_ == tag) return cw::EarlyWeakPtr<UIView>(this).lockOrBorrow();
    for (auto& s : subviews_)
        if (auto found = s->viewWithTag(tag)) return found;
    return nullptr;
}

// --- Looks -----------------------------------------------------------------------------------

void UIView::setBackgroundColor(const std::optional<UIColor>& color) {
    cw::detail::noteLayerChange(layer_.get());
    layer_->backgroundColor = color;
}

UIColor UIView::tintColor() const {
    for (const UIView* v = this; v; v = v->superviewRaw_)
        if (v->tintColor_) return *v->tintColor_;
    return UIColor(0.0, 122.0 / 255.0, 1.0, 1.0);
}

void UIView::setTintColor(const std::optional<UIColor>& color) {
    tintColor_ = color;
    tintDidChangeInSubtree();
}

void UIView::tintDidChangeInSubtree() {
    std::vector<UIView*> stack{this};
    while (!stack.empty()) {
        UIView* v = stack.back();
        stack.pop_back();
        v->tintColorDidChange();
        for (auto& s : v->subviews_)
            if (!s->tintColor_) stack.push_back(s.get());
    }
}

void UIView::setContentMode(UIViewContentMode mode) {
    contentMode_ = mode;
    setNeedsDisplay();
}

// --- Hit testing -----------------------------------------------------------------------------

bool UIView::pointInside(CGPoint point, const UIEvent*) const {
    return bounds().contains(point);
}

std::shared_ptr<UIView> UIView::hitTest(CGPoint point, const UIEvent* event) {
    if (isHidden() || !userInteractionEnabled_ || alpha() < 0.01) return nullptr;
    if (!pointInside(point, event)) return nullptr;
    for (auto it = subviews_.rbegin(); it != subviews_.rend(); ++it) {
        const std::shared_ptr<UIView> s = *it;
        // Where the subview is drawn: a view an animation is moving takes touches where the
        // finger sees it, not where it will come to rest.
        const CGPoint p = toSuperview(*s->layer_, true).inverted().apply(point);
        if (auto hit = s->hitTest(p, event)) return hit;
    }
    return shared_from_this();
}

UIResponder* UIView::nextResponder() const {
    if (auto o = owner_.lock()) return o->ownerResponder();
    return superviewRaw_;
}

// --- Sizing ----------------------------------------------------------------------------------

CGSize UIView::sizeThatFits(CGSize) const {
    return bounds().size;
}

void UIView::sizeToFit() {
    const CGSize s = sizeThatFits(bounds().size);
    CGRect f = frame();
    f.size = s;
    setFrame(f);
}

CGSize UIView::intrinsicContentSize() const {
    return {UIViewNoIntrinsicMetric, UIViewNoIntrinsicMetric};
}

void UIView::invalidateIntrinsicContentSize() {
    invalidateFittingSize();
    if (auto* e = engineHolding(this)) e->itemChanged(this);
    if (engine_ && isLaidOutApart()) engine_->itemChanged(this);
    if (superviewRaw_) superviewRaw_->setNeedsLayout();
}

// --- Layout ----------------------------------------------------------------------------------

void UIView::setNeedsLayout() {
    needsLayout_ = true;
}

void UIView::updateOwnEngine() {
    if (!engine_) engine_ = std::make_unique<cw::detail::LayoutEngine>(this);
    engine_->update();
}

void UIView::runLayoutPass() {
    UIView* root = rootView();
    if (root->subtreeNeedsUpdateConstraints_) root->updateConstraintsBottomUp();
    root->updateOwnEngine();
}

void UIView::layoutIfNeeded() {
    std::shared_ptr<UIView> keep = weak_from_this().lock();
    runLayoutPass();
    // The views laid out apart on the way up solve too, outermost first, so that what they move
    // is laid out in this pass.
    std::vector<UIView*> apart;
    for (UIView* v = this; v; v = v->superviewRaw_)
        if (v->isLaidOutApart()) apart.push_back(v);
    for (auto it = apart.rbegin(); it != apart.rend(); ++it)
        (*it)->updateOwnEngine();
    UIView* start = this;
    for (UIView* a = superviewRaw_; a; a = a->superviewRaw_)
        if (a->needsLayout_) start = a;
    start->layoutSubtreeIfNeeded();
}

void UIView::layoutSubtreeIfNeeded() {
    if (isLaidOutApart()) updateOwnEngine();
    if (needsLayout_) {
        needsLayout_ = false;
        const std::shared_ptr<cw::ViewOwner> o = owner_.lock();
        if (o) o->viewWillLayoutSubviews();
        layoutSubviews();
        if (o) o->viewDidLayoutSubviews();
    }
    const std::vector<std::shared_ptr<UIView>> children = subviews_;
    for (const auto& s : children)
        if (s->superviewRaw_ == this) s->layoutSubtreeIfNeeded();
}

void UIView::layoutSubviews() {
    cw::detail::LayoutEngine* e = engineOf(this);
    if (!e) return;
    e->update();
    for (const auto& s : subviews_) {
        if (auto f = e->solvedFrame(s.get())) {
            if (!(s->frame() == *f)) s->setFrameFromEngine(*f);
        }
    }
}

std::optional<CGSize> UIView::contentAreaSizeFromLayout() {
    cw::detail::LayoutEngine* e = engineOf(this);
    if (!e) return std::nullopt;
    e->update();
    return e->contentAreaSize(this);
}

void UIView::setLayoutMargins(const UIEdgeInsets& margins) {
    if (margins == layoutMargins_) return;
    layoutMargins_ = margins;
    engineInputsChanged();
    setNeedsLayout();
    layoutMarginsDidChange();
}

void UIView::setInsetsLayoutMarginsFromSafeArea(bool insets) {
    if (insets == insetsMarginsFromSafeArea_) return;
    insetsMarginsFromSafeArea_ = insets;
    engineInputsChanged();
    setNeedsLayout();
    layoutMarginsDidChange();
}

UIEdgeInsets UIView::marginsFromBounds() const {
    if (!insetsMarginsFromSafeArea_) return layoutMargins_;
    const UIEdgeInsets s = safeAreaInsets();
    return {layoutMargins_.top + s.top, layoutMargins_.left + s.left, layoutMargins_.bottom + s.bottom,
            layoutMargins_.right + s.right};
}

UIEdgeInsets UIView::safeAreaInsets() const {
    if (explicitSafeArea_) return *explicitSafeArea_;
    if (!superviewRaw_) return {};
    const UIEdgeInsets s = superviewRaw_->safeAreaInsets();
    if (s == UIEdgeInsets{}) return {};
    const CGRect sb = superviewRaw_->bounds();
    const CGRect f = frame();
    UIEdgeInsets r;
    r.top = std::max(0.0, s.top - (f.minY() - sb.minY()));
    r.left = std::max(0.0, s.left - (f.minX() - sb.minX()));
    r.bottom = std::max(0.0, f.maxY() - (sb.maxY() - s.bottom));
    r.right = std::max(0.0, f.maxX() - (sb.maxX() - s.right));
    const CGSize size = bounds().size;
    r.top = std::min(r.top, size.height);
    r.bottom = std::min(r.bottom, size.height);
    r.left = std::min(r.left, size.width);
    r.right = std::min(r.right, size.width);
    return r;
}

void UIView::engineInputsChanged() {
    invalidateFittingSize();
    if (auto* e = engineOf(this)) e->inputsChanged();
}

void UIView::setSafeAreaInsets(const UIEdgeInsets& insets) {
    explicitSafeArea_ = insets;
    engineInputsChanged();
    std::vector<UIView*> stack{this};
    while (!stack.empty()) {
        UIView* v = stack.back();
        stack.pop_back();
        v->setNeedsLayout();
        v->safeAreaInsetsDidChange();
        for (auto& s : v->subviews_)
            stack.push_back(s.get());
    }
}

// --- Drawing ---------------------------------------------------------------------------------

void UIView::setNeedsDisplay() {
    layer_->setNeedsDisplay();
}

void UIView::draw(const CGRect&) {}

// --- Auto Layout -----------------------------------------------------------------------------

void UIView::addConstraint(const NSLayoutConstraintPtr& constraint) {
    if (!constraint) return;
    if (std::find(constraints_.begin(), constraints_.end(), constraint) != constraints_.end()) return;
    if (UIView* other = constraint->installedOnPointer(); other && other != this)
        other->removeConstraint(constraint);
    constraints_.push_back(constraint);
    constraint->setInstalledOn(this);
    markLayoutStructureChanged();
    setNeedsLayout();
}

void UIView::addConstraints(const std::vector<NSLayoutConstraintPtr>& constraints) {
    for (const auto& c : constraints)
        addConstraint(c);
}

void UIView::removeConstraint(const NSLayoutConstraintPtr& constraint) {
    auto it = std::find(constraints_.begin(), constraints_.end(), constraint);
    if (it == constraints_.end()) return;
    NSLayoutConstraintPtr keep = *it;
    constraints_.erase(it);
    keep->setInstalledOn(nullptr);
    if (auto* e = keep->engineState().engine) e->forget(keep.get());
    markLayoutStructureChanged();
    setNeedsLayout();
}

void UIView::removeConstraints(const std::vector<NSLayoutConstraintPtr>& constraints) {
    for (const auto& c : constraints)
        removeConstraint(c);
}

void UIView::setTranslatesAutoresizingMaskIntoConstraints(bool translates) {
    if (translates == translatesAutoresizing_) return;
    translatesAutoresizing_ = translates;
    markLayoutStructureChanged();
    // Whether a view laid out apart translates its frame matters to the tree around it as well.
    if (isLaidOutApart())
        if (auto* e = engineHolding(this)) e->setNeedsSync();
    if (superviewRaw_) superviewRaw_->setNeedsLayout();
}

void UIView::setAutoresizingMask(UIViewAutoresizing mask) {
    autoresizingMask_ = mask;
    frameChangedByCode();
}

UILayoutPriority UIView::contentHuggingPriority(UILayoutConstraintAxis axis) const {
    return hugging_[static_cast<int>(axis)];
}

void UIView::setContentHuggingPriority(UILayoutPriority priority, UILayoutConstraintAxis axis) {
    hugging_[static_cast<int>(axis)] = priority;
    invalidateIntrinsicContentSize();
}

UILayoutPriority UIView::contentCompressionResistancePriority(UILayoutConstraintAxis axis) const {
    return compression_[static_cast<int>(axis)];
}

void UIView::setContentCompressionResistancePriority(UILayoutPriority priority, UILayoutConstraintAxis axis) {
    compression_[static_cast<int>(axis)] = priority;
    invalidateIntrinsicContentSize();
}

void UIView::propagateUpdateConstraintsFlag() {
    for (UIView* v = this; v && !v->subtreeNeedsUpdateConstraints_; v = v->superviewRaw_)
        v->subtreeNeedsUpdateConstraints_ = true;
    for (UIView* v = superviewRaw_; v; v = v->superviewRaw_)
        v->subtreeNeedsUpdateConstraints_ = true;
}

void UIView::setNeedsUpdateConstraints() {
    needsUpdateConstraints_ = true;
    propagateUpdateConstraintsFlag();
}

void UIView::updateConstraintsBottomUp() {
    if (!subtreeNeedsUpdateConstraints_) return;
    subtreeNeedsUpdateConstraints_ = false;
    const std::vector<std::shared_ptr<UIView>> children = subviews_;
    for (const auto& s : children)
        s->updateConstraintsBottomUp();
    if (needsUpdateConstraints_) {
        needsUpdateConstraints_ = false;
        if (auto o = owner_.lock()) {
            o->updateViewConstraints();
        } else {
            updateConstraints();
        }
    }
}

void UIView::updateConstraintsIfNeeded() {
    updateConstraintsBottomUp();
}

CGSize UIView::systemLayoutSizeFitting(CGSize targetSize) const {
    return systemLayoutSizeFitting(targetSize, UILayoutPriorityFittingSizeLevel,
                                   UILayoutPriorityFittingSizeLevel);
}

CGSize UIView::systemLayoutSizeFitting(CGSize targetSize, UILayoutPriority horizontalFittingPriority,
                                       UILayoutPriority verticalFittingPriority) const {
    auto* self = const_cast<UIView*>(this);
    self->updateConstraintsIfNeeded();
    cw::detail::LayoutEngine engine(self, {targetSize, horizontalFittingPriority, verticalFittingPriority});
    engine.update();
    return engine.rootSize();
}

void UIView::addLayoutGuide(const std::shared_ptr<UILayoutGuide>& guide) {
    if (!guide || std::find(layoutGuides_.begin(), layoutGuides_.end(), guide) != layoutGuides_.end()) return;
    if (UIView* old = guide->layoutOwningView(); old && old != this) old->removeLayoutGuide(guide);
    layoutGuides_.push_back(guide);
    guide->setOwningView(this);
    markLayoutStructureChanged();
}

void UIView::removeLayoutGuide(const std::shared_ptr<UILayoutGuide>& guide) {
    auto it = std::find(layoutGuides_.begin(), layoutGuides_.end(), guide);
    if (it == layoutGuides_.end()) return;
    layoutGuides_.erase(it);
    guide->setOwningView(nullptr);
    markLayoutStructureChanged();
}

std::shared_ptr<UILayoutGuide> UIView::layoutMarginsGuide() {
    if (!marginsGuide_) {
        marginsGuide_ = std::make_shared<UILayoutGuide>(UILayoutGuide::Kind::layoutMargins);
        marginsGuide_->setIdentifier("UIViewLayoutMarginsGuide");
        addLayoutGuide(marginsGuide_);
    }
    return marginsGuide_;
}

std::shared_ptr<UILayoutGuide> UIView::safeAreaLayoutGuide() {
    if (!safeAreaGuide_) {
        safeAreaGuide_ = std::make_shared<UILayoutGuide>(UILayoutGuide::Kind::safeArea);
        safeAreaGuide_->setIdentifier("UIViewSafeAreaLayoutGuide");
        addLayoutGuide(safeAreaGuide_);
    }
    return safeAreaGuide_;
}

std::string UIView::layoutDescription() const {
    std::string d = className();
    if (!accessibilityIdentifier_.empty()) return d + ":" + accessibilityIdentifier_;
    char buf[32];
    std::snprintf(buf, sizeof buf, ":%p", static_cast<const void*>(this));
    return d + buf;
}
