#include "uikit/controls/UIStackView.h"

#include <algorithm>
#include <cmath>

UIStackView::UIStackView() {
    setOpaque(false);
}

UIStackView::UIStackView(const CGRect& frame) : UIView(frame) {
    setOpaque(false);
}

UIStackView::UIStackView(const std::vector<std::shared_ptr<UIView>>& views) : UIStackView() {
    for (const auto& v : views)
        addArrangedSubview(v);
}

void UIStackView::changed() {
    // Views that left the arrangement are not asked again.
    std::erase_if(measured_, [this](const Measured& m) {
        return std::none_of(arranged_.begin(), arranged_.end(), [&](const auto& v) { return v.get() == m.view; });
    });
    invalidateIntrinsicContentSize();
    setNeedsLayout();
}

void UIStackView::addArrangedSubview(const std::shared_ptr<UIView>& view) {
    insertArrangedSubview(view, arranged_.size());
}

void UIStackView::insertArrangedSubview(const std::shared_ptr<UIView>& view, std::size_t index) {
    if (!view || view.get() == this) return;
    std::erase(arranged_, view);
    arranged_.insert(arranged_.begin() + static_cast<std::ptrdiff_t>(std::min(index, arranged_.size())),
                     view);
    if (view->superviewPointer() != this) addSubview(view);
    subviewPlacementChanged();
    changed();
}

void UIStackView::removeArrangedSubview(const std::shared_ptr<UIView>& view) {
    std::erase(arranged_, view);
    subviewPlacementChanged();
    changed();
}

void UIStackView::willRemoveSubview(UIView* view) {
    // A view that leaves the stack leaves the arrangement too.
    std::erase_if(arranged_, [view](const std::shared_ptr<UIView>& v) { return v.get() == view; });
    changed();
}

void UIStackView::setAxis(UILayoutConstraintAxis axis) {
    axis_ = axis;
    changed();
}

void UIStackView::setDistribution(UIStackViewDistribution distribution) {
    distribution_ = distribution;
    changed();
}

void UIStackView::setAlignment(UIStackViewAlignment alignment) {
    alignment_ = alignment;
    changed();
}

void UIStackView::setSpacing(CGFloat spacing) {
    spacing_ = spacing;
    changed();
}

CGFloat UIStackView::gap() const {
    return spacing_ == spacingUseSystem ? NSLayoutSystemSpacing : spacing_;
}

void UIStackView::setLayoutMarginsRelativeArrangement(bool relative) {
    marginsRelative_ = relative;
    changed();
}

void UIStackView::subviewHiddenDidChange(UIView* view) {
    if (view && placesSubview(*view)) changed();
}

std::vector<UIView*> UIStackView::shown() const {
    std::vector<UIView*> out;
    for (const auto& v : arranged_)
        if (!v->isHidden()) out.push_back(v.get());
    return out;
}

bool UIStackView::placesSubview(const UIView& view) const {
    return std::any_of(arranged_.begin(), arranged_.end(),
                       [&view](const auto& v) { return v.get() == &view; });
}

bool UIStackView::fillsWidth() const {
    return axis_ == UILayoutConstraintAxis::vertical && alignment_ == UIStackViewAlignment::fill;
}

bool UIStackView::intrinsicSizeDependsOnWidth() const {
    if (fillsWidth()) return true;
    const auto views = shown();
    return std::any_of(views.begin(), views.end(), [](UIView* v) { return v->intrinsicSizeDependsOnWidth(); });
}

CGFloat UIStackView::innerWidth(CGFloat width) const {
    if (width <= 0) width = layoutWidthHint() > 0 ? layoutWidthHint() : bounds().size.width;
    if (marginsRelative_) width -= layoutMargins().left + layoutMargins().right;
    return std::max<CGFloat>(0, width);
}

bool UIStackView::ownRequiredSize(const UIView& view, const NSLayoutConstraintPtr& c) {
    return c && c->isActive() && c->priority() >= UILayoutPriorityRequired && !c->hasSecondItem() &&
           c->firstItemPointer() == static_cast<const cw::LayoutItem*>(&view);
}

bool UIStackView::fixedAlong(const UIView& view, UILayoutConstraintAxis axis) {
    const auto side = axis == UILayoutConstraintAxis::horizontal ? NSLayoutAttribute::width : NSLayoutAttribute::height;
    for (const auto& c : view.constraints())
        if (ownRequiredSize(view, c) && c->firstAttribute() == side && c->relation() == NSLayoutRelation::equal)
            return true;
    return false;
}

CGSize UIStackView::naturalSize(UIView& view, CGFloat width, bool* readFrame) {
    CGSize s = view.intrinsicContentSize();
    if (readFrame) *readFrame = false;
    if (s.width < 0 || s.height < 0) {
        const bool translates = view.translatesAutoresizingMaskIntoConstraints();
        const CGSize fit =
            translates ? CGSize{0, 0} : view.systemLayoutSizeFitting(UILayoutFittingCompressedSize);
        // Its own width stays the one its contents ask for; its height is the one they need at
        // the width it will have (text that wraps there is taller than on one line).
        const CGFloat high = !translates && width > 0 && s.height < 0
                                 ? view.systemLayoutSizeFitting({width, 0}, UILayoutPriorityRequired,
                                                                UILayoutPriorityFittingSizeLevel)
                                       .height
                                 : fit.height;
        const CGSize frame = view.frame().size;
        if (readFrame) *readFrame = (s.width < 0 && fit.width <= 0) || (s.height < 0 && high <= 0);
        if (s.width < 0) s.width = fit.width > 0 ? fit.width : frame.width;
        if (s.height < 0) s.height = high > 0 ? high : frame.height;
    }
    // Wrapping text (a multi-line label, a text view that does not scroll) is as tall as it wraps
    // at the width it will have, not as its one unwrapped line.
    if (width > 0 && view.intrinsicSizeDependsOnWidth()) s.height = view.sizeThatFits({width, 0}).height;
    // The contents' size only hugs and resists at lower priorities: a required width or height
    // the view holds on itself wins, whether or not its contents (a picture that has just come)
    // would ask for more or less.
    for (const auto& c : view.constraints()) {
        if (!ownRequiredSize(view, c)) continue;
        CGFloat* side = c->firstAttribute() == NSLayoutAttribute::width    ? &s.width
                        : c->firstAttribute() == NSLayoutAttribute::height ? &s.height
                                                                           : nullptr;
        if (!side) continue;
        switch (c->relation()) {
        case NSLayoutRelation::equal: *side = c->constant(); break;
        case NSLayoutRelation::lessThanOrEqual: *side = std::min(*side, c->constant()); break;
        case NSLayoutRelation::greaterThanOrEqual: *side = std::max(*side, c->constant()); break;
        }
    }
    return s;
}

CGSize UIStackView::measure(UIView& view, CGFloat width) const {
    const std::uint64_t generation = view.fittingGeneration();
    const CGSize frame = view.frame().size;
    Measured* sameWidth = nullptr;
    Measured* other = nullptr;
    int kept = 0;
    for (Measured& m : measured_) {
        if (m.view != &view) continue;
        ++kept;
        if (m.width == width) {
            // A view that fills in a side it has no size for with its frame's is measured again
            // when that frame changes.
            if (m.generation == generation && (!m.readFrame || m.frame == frame)) return m.size;
            sameWidth = &m;
        } else if (!other || other->generation == generation) {
            other = &m; // a stale one first
        }
    }
    Measured now{&view, generation, width, {}, false, frame};
    now.size = naturalSize(view, width, &now.readFrame);
    if (sameWidth)
        *sameWidth = now;
    else if (other && (kept >= 2 || other->generation != generation))
        *other = now;
    else
        measured_.push_back(now);
    return now.size;
}

UIStackView::Arrangement UIStackView::arrange(CGFloat length, CGFloat depth) const {
    Arrangement a;
    a.views = shown();
    a.spacing = gap();
    const std::size_t n = a.views.size();
    if (n == 0) return a;
    const bool horizontal = axis_ == UILayoutConstraintAxis::horizontal;
    const auto axisIndex = horizontal ? UILayoutConstraintAxis::horizontal : UILayoutConstraintAxis::vertical;

    // Across a column each view gets the column's width where it fills it, else its own width up
    // to the column's; along a row the widths are only known once the room is shared out below.
    for (UIView* v : a.views) {
        CGSize s = measure(*v, fillsWidth() ? depth : 0);
        if (!horizontal && depth > 0 && alignment_ != UIStackViewAlignment::fill && s.width > depth &&
            v->intrinsicSizeDependsOnWidth())
            s = measure(*v, depth);
        a.natural.push_back(s);
    }
    a.sizes.resize(n);
    for (std::size_t i = 0; i < n; ++i)
        a.sizes[i] = horizontal ? a.natural[i].width : a.natural[i].height;
    if (length <= 0) return a;

    const CGFloat gaps = gap() * static_cast<CGFloat>(n - 1);
    CGFloat total = 0;
    for (CGFloat s : a.sizes)
        total += s;
    auto& sizes = a.sizes;
    switch (distribution_) {
    case UIStackViewDistribution::fill: {
        const CGFloat extra = length - gaps - total;
        // A view whose size is fixed by a required constraint of its own neither takes nor gives room.
        std::size_t pick = n;
        if (extra > 0) {
            // The view that hugs its content least takes the room left.
            for (std::size_t i = 0; i < n; ++i)
                if (!fixedAlong(*a.views[i], axisIndex) &&
                    (pick == n || a.views[i]->contentHuggingPriority(axisIndex) <
                                      a.views[pick]->contentHuggingPriority(axisIndex)))
                    pick = i;
            if (pick < n) sizes[pick] += extra;
        } else if (extra < 0) {
            // The one that resists compression least gives it up.
            for (std::size_t i = 0; i < n; ++i)
                if (!fixedAlong(*a.views[i], axisIndex) &&
                    (pick == n || a.views[i]->contentCompressionResistancePriority(axisIndex) <
                                      a.views[pick]->contentCompressionResistancePriority(axisIndex)))
                    pick = i;
            if (pick < n) sizes[pick] = std::max<CGFloat>(0, sizes[pick] + extra);
        }
        break;
    }
    case UIStackViewDistribution::fillEqually:
        std::fill(sizes.begin(), sizes.end(), std::max<CGFloat>(0, (length - gaps) / static_cast<CGFloat>(n)));
        break;
    case UIStackViewDistribution::fillProportionally:
        for (std::size_t i = 0; i < n; ++i)
            sizes[i] =
                total > 0 ? (length - gaps) * sizes[i] / total : (length - gaps) / static_cast<CGFloat>(n);
        break;
    case UIStackViewDistribution::equalSpacing:
    case UIStackViewDistribution::equalCentering:
        if (n > 1) a.spacing = std::max(gap(), (length - total) / static_cast<CGFloat>(n - 1));
        break;
    }
    // Along a row, wrapping text wraps in the width it was given.
    if (horizontal)
        for (std::size_t i = 0; i < n; ++i)
            if (sizes[i] > 0 && a.views[i]->intrinsicSizeDependsOnWidth())
                a.natural[i].height = measure(*a.views[i], sizes[i]).height;
    return a;
}

CGSize UIStackView::measured(CGFloat width) const {
    const bool horizontal = axis_ == UILayoutConstraintAxis::horizontal;
    // A column measures its views at its width; a row shares its width out to learn how tall the
    // wrapping ones are, and asks for the widths of all of them.
    const CGFloat inner = innerWidth(width);
    const Arrangement a = horizontal ? arrange(inner, 0) : arrange(0, inner);
    CGFloat along = 0, across = 0, largest = 0;
    for (const CGSize& s : a.natural) {
        const CGFloat l = horizontal ? s.width : s.height;
        along += l;
        largest = std::max(largest, l);
        across = std::max(across, horizontal ? s.height : s.width);
    }
    const std::size_t n = a.views.size();
    if (distribution_ == UIStackViewDistribution::fillEqually) along = largest * static_cast<CGFloat>(n);
    if (n > 1) along += gap() * static_cast<CGFloat>(n - 1);
    CGSize size = horizontal ? CGSize{along, across} : CGSize{across, along};
    if (marginsRelative_) {
        const UIEdgeInsets m = layoutMargins();
        size.width += m.left + m.right;
        size.height += m.top + m.bottom;
    }
    return size;
}

CGSize UIStackView::intrinsicContentSize() const {
    return measured(0);
}

CGSize UIStackView::sizeThatFits(CGSize size) const {
    return measured(size.width);
}

void UIStackView::layoutSubviews() {
    UIView::layoutSubviews();
    const CGSize intrinsic = intrinsicContentSize();
    if (!(intrinsic == lastIntrinsic_)) {
        const bool first = lastIntrinsic_.width == -2;
        lastIntrinsic_ = intrinsic;
        if (!first) {
            // An arranged view's size changed after the engine had asked for ours: the views around
            // the stack are placed again now, in this same pass.
            invalidateIntrinsicContentSize();
            if (UIView* s = superviewPointer()) s->layoutIfNeeded();
        }
    }
    const bool horizontal = axis_ == UILayoutConstraintAxis::horizontal;
    CGRect area = bounds();
    if (marginsRelative_) area = layoutMargins().inset(area);
    const CGFloat length = horizontal ? area.size.width : area.size.height;
    const CGFloat depth = horizontal ? area.size.height : area.size.width;
    const Arrangement a = arrange(length, horizontal ? 0 : depth);
    const auto& views = a.views;
    const auto& natural = a.natural;
    const auto& sizes = a.sizes;
    const CGFloat spacing = a.spacing;
    const std::size_t n = views.size();

    CGFloat pos = horizontal ? area.origin.x : area.origin.y;
    for (std::size_t i = 0; i < n; ++i) {
        const CGFloat cross = horizontal ? natural[i].height : natural[i].width;
        CGFloat c = std::min(cross, depth);
        CGFloat offset = 0;
        switch (alignment_) {
        case UIStackViewAlignment::fill:
            c = depth;
            break;
        case UIStackViewAlignment::leading:
        case UIStackViewAlignment::firstBaseline:
            break;
        case UIStackViewAlignment::center:
            offset = (depth - c) / 2;
            break;
        case UIStackViewAlignment::trailing:
        case UIStackViewAlignment::lastBaseline:
            offset = depth - c;
            break;
        }
        const CGFloat crossOrigin = (horizontal ? area.origin.y : area.origin.x) + offset;
        const CGRect f =
            horizontal ? CGRect(pos, crossOrigin, sizes[i], c) : CGRect(crossOrigin, pos, c, sizes[i]);
        views[i]->setFrame(f);
        pos += sizes[i] + spacing;
    }
}
