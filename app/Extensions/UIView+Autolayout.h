#pragma once

// The layout helpers every screen built in code uses: pin a view to its superview's edges, give it
// a fixed size, centre it, stretch it between margins, stack views with optional divider lines,
// and arrange views in equal-width columns.
//
// Every constraint is installed by adding it to a view, never through the active flag: the edge,
// margin and centring helpers add theirs to the receiver's superview, the size helpers to the
// receiver itself, the stack and column helpers to the container (the receiver). A helper that
// returns constraints returns exactly those it made, in the order it made them, so the caller can
// keep them to change a constant or remove them later.
//
// Only addLineWithColor touches translatesAutoresizingMaskIntoConstraints (on the line it makes);
// callers switch it off on their own views first.
//
// A helper that relates the receiver to a superview it does not have, or a column layout of fewer
// than one column, prints one line on standard error and makes nothing (none, or an empty list).
// Main thread only, like the views.

#include "uikit/view/UIView.h"

#include <optional>
#include <vector>

using NSLayoutConstraints = std::vector<NSLayoutConstraintPtr>;

// --- One constraint to the superview -----------------------------------------------------------
// receiver.attribute == superview.attribute + value, added to the superview.
NSLayoutConstraintPtr lyt_constraintToSuperviewWithAttribute(UIView& view, NSLayoutAttribute attribute,
                                                             CGFloat value);
// A positive value always moves the receiver inwards from the named edge; the centre members
// shift right or down.
NSLayoutConstraintPtr lyt_setLeading(UIView& view, CGFloat value);
NSLayoutConstraintPtr lyt_setTrailing(UIView& view, CGFloat value);
NSLayoutConstraintPtr lyt_setTop(UIView& view, CGFloat value);
NSLayoutConstraintPtr lyt_setLeft(UIView& view, CGFloat value);
NSLayoutConstraintPtr lyt_setBottom(UIView& view, CGFloat value);
NSLayoutConstraintPtr lyt_setRight(UIView& view, CGFloat value);
NSLayoutConstraintPtr lyt_setCenterX(UIView& view, CGFloat value);
NSLayoutConstraintPtr lyt_setCenterY(UIView& view, CGFloat value);

// --- Fixed size (installed on the receiver, so no superview is needed) --------------------------
NSLayoutConstraintPtr lyt_setWidth(UIView& view, CGFloat width);
NSLayoutConstraintPtr lyt_setHeight(UIView& view, CGFloat height);

// --- Pairs and sets of the above -----------------------------------------------------------------
NSLayoutConstraints lyt_setOrigin(UIView& view, CGPoint origin);   // left, top
NSLayoutConstraints lyt_setSize(UIView& view, CGSize size);        // width, height
NSLayoutConstraints lyt_centerInSuperView(UIView& view);           // centre X, centre Y
NSLayoutConstraints lyt_horizontalCenterInSuperView(UIView& view); // centre X
NSLayoutConstraints lyt_verticalCenterInSuperView(UIView& view);   // centre Y
NSLayoutConstraints lyt_attachToSuperview(UIView& view);
NSLayoutConstraints lyt_attachToSuperviewWithInsets(UIView& view, const UIEdgeInsets& insets);
// Makes `container` the receiver's superview when it has none; pins top, left, bottom and right
// (physical edges) with the insets, adds the four to `container` too, and returns them in that order.
NSLayoutConstraints lyt_attachToView(UIView& view, const UIViewPtr& container, const UIEdgeInsets& insets);
// The superview's layout-margins guide equal to the receiver: left, top, right, bottom.
NSLayoutConstraints lyt_attachToSuperviewMargins(UIView& view);

// --- Stretching between margins (two constraints each, on the superview) --------------------------
NSLayoutConstraints lyt_layoutHorizontalWithMargin(UIView& view, CGFloat margin);
NSLayoutConstraints lyt_layoutHorizontalWithLeftMargin(UIView& view, CGFloat leftMargin, CGFloat rightMargin);
NSLayoutConstraints lyt_layoutVerticalWithMargin(UIView& view, CGFloat margin);
NSLayoutConstraints lyt_layoutVerticalWithTopMargin(UIView& view, CGFloat topMargin, CGFloat bottomMargin);

// --- Ordered layouts: a stack of views in the receiver ---------------------------------------------
// The container first removes every subview it has, so it must hold nothing but the stack. A
// vertical stack sets vertical positions only (the caller places each view horizontally); a
// horizontal one sets horizontal positions and makes every view as wide as the first. With a
// spacing above 0 and a divider colour, a line `spacing` thick separates neighbours (a vertical
// stack's lines keep edgeInset.left/right from the sides, edgeInset.bottom below the view above
// and edgeInset.top above the view below). A bottom spacer adds one more line after the last view,
// even without a colour or with spacing 0. topMargin and bottomMargin are the leading and trailing
// margins of a horizontal stack.
NSLayoutConstraints lyt_layoutOrderedViews(UIView& container, const std::vector<UIViewPtr>& views,
                                           bool vertical);
NSLayoutConstraints lyt_layoutOrderedViews(UIView& container, const std::vector<UIViewPtr>& views,
                                           CGFloat margin, CGFloat spacing,
                                           const std::optional<UIColor>& dividerColor, bool vertical);
NSLayoutConstraints lyt_layoutOrderedViews(UIView& container, const std::vector<UIViewPtr>& views,
                                           CGFloat margin, CGFloat spacing,
                                           const std::optional<UIColor>& dividerColor,
                                           const UIEdgeInsets& edgeInset, bool vertical);
NSLayoutConstraints lyt_layoutOrderedViews(UIView& container, const std::vector<UIViewPtr>& views,
                                           CGFloat margin, CGFloat spacing,
                                           const std::optional<UIColor>& dividerColor,
                                           const UIEdgeInsets& edgeInset, bool vertical, bool bottomSpacer);
NSLayoutConstraints lyt_layoutOrderedViews(UIView& container, const std::vector<UIViewPtr>& views,
                                           CGFloat topMargin, CGFloat bottomMargin, CGFloat spacing,
                                           const std::optional<UIColor>& dividerColor,
                                           const UIEdgeInsets& edgeInset, bool vertical);
NSLayoutConstraints lyt_layoutOrderedViews(UIView& container, const std::vector<UIViewPtr>& views,
                                           CGFloat topMargin, CGFloat bottomMargin, CGFloat spacing,
                                           const std::optional<UIColor>& dividerColor,
                                           const UIEdgeInsets& edgeInset, bool vertical, bool bottomSpacer);

// --- Columns in the receiver -----------------------------------------------------------------------
// Two columns filled column by column (the left one takes the extra view of an odd count), each
// view with a light drop shadow.
NSLayoutConstraints lyt_layoutColumnedViews(UIView& container, const std::vector<UIViewPtr>& views,
                                            CGFloat margin, CGFloat spacing);
// Any number of columns, filled row by row. The leading (and single-column) margins give way at
// priority 999 when the container is too narrow for them.
NSLayoutConstraints lyt_layoutColumnedViews(UIView& container, const std::vector<UIViewPtr>& views,
                                            CGFloat margin, CGFloat spacing, long numberOfColumns);
// The vertical chain of one column's views; returned, added nowhere.
NSLayoutConstraints lyt_separateColumnViews(const std::vector<UIViewPtr>& views, CGFloat margin,
                                            CGFloat spacing);

// --- Utilities -------------------------------------------------------------------------------------
// A constraint with the priority set, added nowhere.
NSLayoutConstraintPtr constraintWithItem(const NSLayoutItem& item, NSLayoutAttribute attribute,
                                         NSLayoutRelation relation, const NSLayoutItem& toItem,
                                         NSLayoutAttribute toAttribute, CGFloat multiplier, CGFloat constant,
                                         UILayoutPriority priority);
// The first of the receiver's own constraints relating `view` to `toView` (the same objects; none
// matches none) with these attributes and relation.
NSLayoutConstraintPtr lyt_constraintForView(const UIView& receiver, const UIViewPtr& view,
                                            NSLayoutAttribute attribute, NSLayoutRelation relation,
                                            const UIViewPtr& toView, NSLayoutAttribute toAttribute);
// Hugging and compression resistance required on both axes.
void lyt_forceFitContent(UIView& view);
// Removes the subviews, last first.
void o_removeAllSubviews(UIView& view);
// A light grey shadow one point below.
void o_drawDropShadow(UIView& view);
// A plain view in the colour, added to the receiver, ready for constraints (none set).
UIViewPtr addLineWithColor(UIView& view, const std::optional<UIColor>& color);

// The visual-format operation of the form cells: the views are named "v0", "v1", ... in order; the
// constraints go on the receiver and are returned.
NSLayoutConstraints addConstraintsWithFormat(UIView& view, const std::string& format,
                                             const std::vector<UIViewPtr>& views);
