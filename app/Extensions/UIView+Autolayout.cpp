#include "Extensions/UIView+Autolayout.h"

#include "uikit/controllers/ControllerSupport.h"

#include <map>
#include <string>

namespace {

using A = NSLayoutAttribute;
using Metrics = std::map<std::string, CGFloat>;

// The view as constraints name it: this works while the view (or its superview) is still being
// made, in its own constructor, and binds to its shared pointer once one owns it.
NSLayoutItem itemOf(UIView& view) {
    return NSLayoutItem(&view);
}

// A helper called where it cannot do its work: one line on the console, nothing made.
void refuse(const char* helper, const UIView& view, const char* reason) {
    cw::consoleLog(std::string(helper) + ": " + view.layoutDescription() + " " + reason +
                   "; no constraints made");
}

bool needSuperview(const char* helper, const UIView& view) {
    if (view.superviewPointer()) return true;
    refuse(helper, view, "has no superview");
    return false;
}

NSLayoutConstraints format(const std::string& visualFormat, const Metrics& metrics,
                           const NSLayoutViews& views, NSLayoutFormatOptions options = 0) {
    return NSLayoutConstraint::constraints(visualFormat, options, metrics, views);
}

void append(NSLayoutConstraints& to, const NSLayoutConstraints& more) {
    to.insert(to.end(), more.begin(), more.end());
}

NSLayoutConstraintPtr pin(UIView& view, A attribute, CGFloat constant) {
    UIView& superview = *view.superviewPointer();
    auto c = NSLayoutConstraint::make(itemOf(view), attribute, NSLayoutRelation::equal, itemOf(superview),
                                      attribute, 1, constant);
    superview.addConstraint(c);
    return c;
}

NSLayoutConstraintPtr pinChecked(const char* helper, UIView& view, A attribute, CGFloat constant) {
    if (!needSuperview(helper, view)) return nullptr;
    return pin(view, attribute, constant);
}

NSLayoutConstraints onSuperview(UIView& view, const std::string& visualFormat, const Metrics& metrics) {
    auto made = format(visualFormat, metrics, NSLayoutViews({{"view", itemOf(view)}}));
    view.superviewPointer()->addConstraints(made);
    return made;
}

NSLayoutConstraintPtr sized(UIView& view, const std::string& visualFormat, const char* metric,
                            CGFloat value) {
    // The whole alignment mask has nothing to align in a format that names one view.
    auto made = format(visualFormat, {{metric, value}}, NSLayoutViews({{"view", itemOf(view)}}),
                       NSLayoutFormatAlignmentMask);
    if (made.empty()) return nullptr;
    view.addConstraint(made.front());
    return made.front();
}

NSLayoutConstraints attach(UIView& view, UIView& container, const UIEdgeInsets& insets) {
    NSLayoutConstraints made{pin(view, A::top, insets.top), pin(view, A::left, insets.left),
                             pin(view, A::bottom, -insets.bottom), pin(view, A::right, -insets.right)};
    container.addConstraints(made);
    return made;
}

} // namespace

// --- One constraint to the superview -----------------------------------------------------------

NSLayoutConstraintPtr lyt_constraintToSuperviewWithAttribute(UIView& view, NSLayoutAttribute attribute,
                                                             CGFloat value) {
    return pinChecked("lyt_constraintToSuperviewWithAttribute", view, attribute, value);
}

NSLayoutConstraintPtr lyt_setLeading(UIView& view, CGFloat value) {
    return pinChecked("lyt_setLeading", view, A::leading, value);
}

NSLayoutConstraintPtr lyt_setTrailing(UIView& view, CGFloat value) {
    return pinChecked("lyt_setTrailing", view, A::trailing, -value);
}

NSLayoutConstraintPtr lyt_setTop(UIView& view, CGFloat value) {
    return pinChecked("lyt_setTop", view, A::top, value);
}

NSLayoutConstraintPtr lyt_setLeft(UIView& view, CGFloat value) {
    return pinChecked("lyt_setLeft", view, A::left, value);
}

NSLayoutConstraintPtr lyt_setBottom(UIView& view, CGFloat value) {
    return pinChecked("lyt_setBottom", view, A::bottom, -value);
}

NSLayoutConstraintPtr lyt_setRight(UIView& view, CGFloat value) {
    return pinChecked("lyt_setRight", view, A::right, -value);
}

NSLayoutConstraintPtr lyt_setCenterX(UIView& view, CGFloat value) {
    return pinChecked("lyt_setCenterX", view, A::centerX, value);
}

NSLayoutConstraintPtr lyt_setCenterY(UIView& view, CGFloat value) {
    return pinChecked("lyt_setCenterY", view, A::centerY, value);
}

// --- Fixed size ----------------------------------------------------------------------------------

NSLayoutConstraintPtr lyt_setWidth(UIView& view, CGFloat width) {
    return sized(view, "[view(width)]", "width", width);
}

NSLayoutConstraintPtr lyt_setHeight(UIView& view, CGFloat height) {
    return sized(view, "V:[view(height)]", "height", height);
}

// --- Pairs and sets --------------------------------------------------------------------------------

NSLayoutConstraints lyt_setOrigin(UIView& view, CGPoint origin) {
    if (!needSuperview("lyt_setOrigin", view)) return {};
    return {pin(view, A::left, origin.x), pin(view, A::top, origin.y)};
}

NSLayoutConstraints lyt_setSize(UIView& view, CGSize size) {
    NSLayoutConstraints made;
    if (auto w = lyt_setWidth(view, size.width)) made.push_back(w);
    if (auto h = lyt_setHeight(view, size.height)) made.push_back(h);
    return made;
}

NSLayoutConstraints lyt_centerInSuperView(UIView& view) {
    if (!needSuperview("lyt_centerInSuperView", view)) return {};
    return {pin(view, A::centerX, 0), pin(view, A::centerY, 0)};
}

NSLayoutConstraints lyt_horizontalCenterInSuperView(UIView& view) {
    if (!needSuperview("lyt_horizontalCenterInSuperView", view)) return {};
    return {pin(view, A::centerX, 0)};
}

NSLayoutConstraints lyt_verticalCenterInSuperView(UIView& view) {
    if (!needSuperview("lyt_verticalCenterInSuperView", view)) return {};
    return {pin(view, A::centerY, 0)};
}

NSLayoutConstraints lyt_attachToSuperview(UIView& view) {
    if (!needSuperview("lyt_attachToSuperview", view)) return {};
    return attach(view, *view.superviewPointer(), UIEdgeInsets::zero());
}

NSLayoutConstraints lyt_attachToSuperviewWithInsets(UIView& view, const UIEdgeInsets& insets) {
    if (!needSuperview("lyt_attachToSuperviewWithInsets", view)) return {};
    return attach(view, *view.superviewPointer(), insets);
}

NSLayoutConstraints lyt_attachToView(UIView& view, const UIViewPtr& container, const UIEdgeInsets& insets) {
    if (!view.superviewPointer()) {
        if (!container) {
            refuse("lyt_attachToView", view, "has no superview and no view to attach to was given");
            return {};
        }
        auto shared = view.weak_from_this().lock();
        if (!shared) {
            refuse("lyt_attachToView", view, "is still being made and has no superview");
            return {};
        }
        container->addSubview(shared);
        if (!view.superviewPointer()) {
            refuse("lyt_attachToView", view, "could not be added to the view given");
            return {};
        }
    }
    return attach(view, container ? *container : *view.superviewPointer(), insets);
}

NSLayoutConstraints lyt_attachToSuperviewMargins(UIView& view) {
    if (!needSuperview("lyt_attachToSuperviewMargins", view)) return {};
    UIView* superview = view.superviewPointer();
    auto guide = superview->layoutMarginsGuide();
    NSLayoutConstraints made{guide->leftAnchor().constraintEqualTo(view.leftAnchor()),
                             guide->topAnchor().constraintEqualTo(view.topAnchor()),
                             guide->rightAnchor().constraintEqualTo(view.rightAnchor()),
                             guide->bottomAnchor().constraintEqualTo(view.bottomAnchor())};
    superview->addConstraints(made);
    return made;
}

// --- Stretching between margins ----------------------------------------------------------------------

NSLayoutConstraints lyt_layoutHorizontalWithMargin(UIView& view, CGFloat margin) {
    if (!needSuperview("lyt_layoutHorizontalWithMargin", view)) return {};
    return onSuperview(view, "|-margin-[view]-margin-|", {{"margin", margin}});
}

NSLayoutConstraints lyt_layoutHorizontalWithLeftMargin(UIView& view, CGFloat leftMargin,
                                                       CGFloat rightMargin) {
    if (!needSuperview("lyt_layoutHorizontalWithLeftMargin", view)) return {};
    return onSuperview(view, "|-leftMargin-[view]-rightMargin-|",
                       {{"leftMargin", leftMargin}, {"rightMargin", rightMargin}});
}

NSLayoutConstraints lyt_layoutVerticalWithMargin(UIView& view, CGFloat margin) {
    if (!needSuperview("lyt_layoutVerticalWithMargin", view)) return {};
    return onSuperview(view, "V:|-margin-[view]-margin-|", {{"margin", margin}});
}

NSLayoutConstraints lyt_layoutVerticalWithTopMargin(UIView& view, CGFloat topMargin, CGFloat bottomMargin) {
    if (!needSuperview("lyt_layoutVerticalWithTopMargin", view)) return {};
    return onSuperview(view, "V:|-topMargin-[view]-bottomMargin-|",
                       {{"topMargin", topMargin}, {"bottomMargin", bottomMargin}});
}

// --- Ordered layouts ---------------------------------------------------------------------------------

NSLayoutConstraints lyt_layoutOrderedViews(UIView& container, const std::vector<UIViewPtr>& views,
                                           bool vertical) {
    return lyt_layoutOrderedViews(container, views, 0, 0, 0, std::nullopt, UIEdgeInsets::zero(), vertical,
                                  false);
}

NSLayoutConstraints lyt_layoutOrderedViews(UIView& container, const std::vector<UIViewPtr>& views,
                                           CGFloat margin, CGFloat spacing,
                                           const std::optional<UIColor>& dividerColor, bool vertical) {
    return lyt_layoutOrderedViews(container, views, margin, margin, spacing, dividerColor,
                                  UIEdgeInsets::zero(), vertical, false);
}

NSLayoutConstraints lyt_layoutOrderedViews(UIView& container, const std::vector<UIViewPtr>& views,
                                           CGFloat margin, CGFloat spacing,
                                           const std::optional<UIColor>& dividerColor,
                                           const UIEdgeInsets& edgeInset, bool vertical) {
    return lyt_layoutOrderedViews(container, views, margin, margin, spacing, dividerColor, edgeInset,
                                  vertical, false);
}

NSLayoutConstraints lyt_layoutOrderedViews(UIView& container, const std::vector<UIViewPtr>& views,
                                           CGFloat margin, CGFloat spacing,
                                           const std::optional<UIColor>& dividerColor,
                                           const UIEdgeInsets& edgeInset, bool vertical, bool bottomSpacer) {
    return lyt_layoutOrderedViews(container, views, margin, margin, spacing, dividerColor, edgeInset,
                                  vertical, bottomSpacer);
}

NSLayoutConstraints lyt_layoutOrderedViews(UIView& container, const std::vector<UIViewPtr>& views,
                                           CGFloat topMargin, CGFloat bottomMargin, CGFloat spacing,
                                           const std::optional<UIColor>& dividerColor,
                                           const UIEdgeInsets& edgeInset, bool vertical) {
    return lyt_layoutOrderedViews(container, views, topMargin, bottomMargin, spacing, dividerColor, edgeInset,
                                  vertical, false);
}

NSLayoutConstraints lyt_layoutOrderedViews(UIView& container, const std::vector<UIViewPtr>& views,
                                           CGFloat topMargin, CGFloat bottomMargin, CGFloat spacing,
                                           const std::optional<UIColor>& dividerColor,
                                           const UIEdgeInsets& edgeInset, bool vertical, bool bottomSpacer) {
    o_removeAllSubviews(container);
    const Metrics metrics{{"topMargin", topMargin},    {"bottomMargin", bottomMargin}, {"spacing", spacing},
                          {"left", edgeInset.left},    {"right", edgeInset.right},     {"top", edgeInset.top},
                          {"bottom", edgeInset.bottom}};
    const char* crossAxisLine = vertical ? "|-left-[line]-right-|" : "V:|[line]|";
    NSLayoutConstraints made;
    UIViewPtr previous;
    std::map<std::string, NSLayoutItem> kept;
    for (const auto& view : views) {
        container.addSubview(view);
        if (!previous) {
            kept = {{"view", view}};
            append(made, format(vertical ? "V:|-topMargin-[view]" : "|-topMargin-[view]", metrics, kept));
        } else if (spacing > 0 && dividerColor) {
            auto line = addLineWithColor(container, dividerColor);
            kept = {{"view", view}, {"previousView", previous}, {"line", line}};
            append(made, format(crossAxisLine, metrics, kept));
            append(made, format(vertical ? "V:[previousView]-bottom-[line(spacing)]-top-[view]"
                                         : "[previousView][line(spacing)][view(==previousView)]",
                                metrics, kept));
        } else {
            kept = {{"view", view}, {"previousView", previous}};
            append(made, format(vertical ? "V:[previousView]-spacing-[view]"
                                         : "[previousView]-spacing-[view(==previousView)]",
                                metrics, kept));
        }
        previous = view;
    }
    if (previous) {
        if (bottomSpacer) {
            // Made even without a colour (a clear line) or with spacing 0 (no thickness), so that
            // the stack always ends the same way.
            auto withLine = kept;
            withLine["line"] = addLineWithColor(container, dividerColor);
            append(made, format(crossAxisLine, metrics, withLine));
            append(made, format(vertical ? "V:[view]-bottom-[line(spacing)]-bottomMargin-|"
                                         : "[view][line(spacing)]-bottomMargin-|",
                                metrics, withLine));
        } else {
            append(made,
                   format(vertical ? "V:[view]-bottomMargin-|" : "[view]-bottomMargin-|", metrics, kept));
        }
    }
    container.addConstraints(made);
    return made;
}

// --- Columns -------------------------------------------------------------------------------------------

NSLayoutConstraints lyt_layoutColumnedViews(UIView& container, const std::vector<UIViewPtr>& views,
                                            CGFloat margin, CGFloat spacing) {
    o_removeAllSubviews(container);
    NSLayoutConstraints made;
    std::vector<UIViewPtr> left, right;
    const long n = static_cast<long>(views.size());
    for (long i = 0; i < n; ++i) {
        const auto& view = views[static_cast<std::size_t>(i)];
        container.addSubview(view);
        o_drawDropShadow(*view);
        if (i <= (n - 1) / 2) {
            left.push_back(view);
            append(made, format("|-(margin)-[view]", {{"margin", margin}}, NSLayoutViews({{"view", view}})));
        } else {
            right.push_back(view);
            append(made, format("[leftView]-(spacing)-[view]-(margin)-|",
                                {{"margin", margin}, {"spacing", spacing}},
                                NSLayoutViews({{"view", view}, {"leftView", left.front()}})));
        }
        made.push_back(NSLayoutConstraint::make(view, A::width, NSLayoutRelation::equal, itemOf(container),
                                                A::width, 0.5, -(2 * margin + spacing) * 0.5));
    }
    append(made, lyt_separateColumnViews(left, 0, spacing));
    append(made, lyt_separateColumnViews(right, 0, spacing));
    container.addConstraints(made);
    return made;
}

NSLayoutConstraints lyt_layoutColumnedViews(UIView& container, const std::vector<UIViewPtr>& views,
                                            CGFloat margin, CGFloat spacing, long numberOfColumns) {
    if (numberOfColumns < 1) {
        refuse("lyt_layoutColumnedViews", container, "was asked for fewer than one column");
        return {};
    }
    o_removeAllSubviews(container);
    const long k = numberOfColumns;
    NSLayoutConstraints made;
    std::vector<std::vector<UIViewPtr>> columns(static_cast<std::size_t>(k));
    const Metrics metrics{{"margin", margin}, {"spacing", spacing}};
    for (std::size_t i = 0; i < views.size(); ++i) {
        const auto& view = views[i];
        container.addSubview(view);
        const long c = static_cast<long>(i % static_cast<std::size_t>(k));
        if (k == 1)
            append(made,
                   format("|-(margin@999)-[view]-(margin@999)-|", metrics, NSLayoutViews({{"view", view}})));
        if (c != 0) {
            const auto& leftView = columns[static_cast<std::size_t>(c - 1)].front();
            append(made, format(c == k - 1 ? "[leftView]-(spacing)-[view]-(margin)-|"
                                           : "[leftView]-(spacing)-[view]",
                                metrics, NSLayoutViews({{"view", view}, {"leftView", leftView}})));
        } else {
            append(made, format("|-(margin@999)-[view]", metrics, NSLayoutViews({{"view", view}})));
        }
        const CGFloat kf = static_cast<CGFloat>(k);
        made.push_back(NSLayoutConstraint::make(view, A::width, NSLayoutRelation::equal, itemOf(container),
                                                A::width, 1 / kf, -(2 * margin + spacing * (kf - 1)) / kf));
        columns[static_cast<std::size_t>(c)].push_back(view);
    }
    for (const auto& column : columns)
        append(made, lyt_separateColumnViews(column, 0, spacing));
    container.addConstraints(made);
    return made;
}

NSLayoutConstraints lyt_separateColumnViews(const std::vector<UIViewPtr>& views, CGFloat margin,
                                            CGFloat spacing) {
    const Metrics metrics{{"margin", margin}, {"spacing", spacing}};
    NSLayoutConstraints made;
    for (std::size_t j = 0; j < views.size(); ++j) {
        if (j == 0) {
            append(made, format("V:|-margin-[view]", metrics, NSLayoutViews({{"view", views[j]}})));
        } else {
            append(made, format("V:[previousView]-spacing-[view]", metrics,
                                NSLayoutViews({{"previousView", views[j - 1]}, {"view", views[j]}})));
        }
        if (j + 1 == views.size())
            append(made, format("V:[view]->=margin-|", metrics, NSLayoutViews({{"view", views[j]}})));
    }
    return made;
}

// --- Utilities -----------------------------------------------------------------------------------------

NSLayoutConstraintPtr constraintWithItem(const NSLayoutItem& item, NSLayoutAttribute attribute,
                                         NSLayoutRelation relation, const NSLayoutItem& toItem,
                                         NSLayoutAttribute toAttribute, CGFloat multiplier, CGFloat constant,
                                         UILayoutPriority priority) {
    auto c = NSLayoutConstraint::make(item, attribute, relation, toItem, toAttribute, multiplier, constant);
    c->setPriority(priority);
    return c;
}

NSLayoutConstraintPtr lyt_constraintForView(const UIView& receiver, const UIViewPtr& view,
                                            NSLayoutAttribute attribute, NSLayoutRelation relation,
                                            const UIViewPtr& toView, NSLayoutAttribute toAttribute) {
    const cw::LayoutItem* first = view.get();
    const cw::LayoutItem* second = toView.get();
    for (const auto& c : receiver.constraints()) {
        if (c->firstItemPointer() == first && c->firstAttribute() == attribute && c->relation() == relation &&
            c->secondItemPointer() == second && c->secondAttribute() == toAttribute)
            return c;
    }
    return nullptr;
}

void lyt_forceFitContent(UIView& view) {
    view.setContentHuggingPriority(UILayoutPriorityRequired, UILayoutConstraintAxis::vertical);
    view.setContentHuggingPriority(UILayoutPriorityRequired, UILayoutConstraintAxis::horizontal);
    view.setContentCompressionResistancePriority(UILayoutPriorityRequired,
                                                 UILayoutConstraintAxis::horizontal);
    view.setContentCompressionResistancePriority(UILayoutPriorityRequired, UILayoutConstraintAxis::vertical);
}

void o_removeAllSubviews(UIView& view) {
    while (!view.subviews().empty())
        view.subviews().back()->removeFromSuperview();
}

void o_drawDropShadow(UIView& view) {
    auto& layer = *view.layer();
    layer.shadowColor = UIColor::lightGrayColor();
    layer.shadowOpacity = 0.5f;
    layer.shadowRadius = 1.0;
    layer.shadowOffset = CGSize{0, 1};
}

UIViewPtr addLineWithColor(UIView& view, const std::optional<UIColor>& color) {
    auto line = std::make_shared<UIView>();
    line->setTranslatesAutoresizingMaskIntoConstraints(false);
    line->setBackgroundColor(color);
    view.addSubview(line);
    return line;
}

NSLayoutConstraints addConstraintsWithFormat(UIView& view, const std::string& visualFormat,
                                             const std::vector<UIViewPtr>& views) {
    std::map<std::string, NSLayoutItem> named;
    for (std::size_t i = 0; i < views.size(); ++i)
        named["v" + std::to_string(i)] = views[i];
    auto made = format(visualFormat, {}, NSLayoutViews(std::move(named)));
    view.addConstraints(made);
    return made;
}
