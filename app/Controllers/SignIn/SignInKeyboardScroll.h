#pragma once

// How the scrolling registration forms keep the field being edited clear of the keyboard: the
// content moves up just enough that the field ends 12 points above the keyboard's top, and comes
// back to the top when the keyboard goes. A field that already stands clear does not move.
//
// Main thread only.

#include "foundation/dispatch/NotificationCenter.h"
#include "uikit/controls/UIScrollView.h"

#include <initializer_list>
#include <optional>

namespace SignInKeyboardScroll {

// Room kept between the edited field and the keyboard's top.
inline constexpr CGFloat kClearance = 12;

// The height of the keyboard's end frame in a keyboard notification; none when the notification
// carries no end frame.
std::optional<CGFloat> keyboardHeight(const Notification& notification);

// `view` is the screen's view, whose bottom the keyboard covers by `keyboardHeight` points. When the
// field's bottom lies lower than `kClearance` above the keyboard, the scroll view's content moves up
// (animated, horizontally back to 0) by what is missing.
void raiseField(UIView& view, UIScrollView& scrollView, const UIView& field, CGFloat keyboardHeight);

// The same for whichever of `fields` is being edited, with the keyboard of a keyboard notification;
// nothing moves when none is, or the notification carries no end frame.
void raiseEditingField(UIView& view, UIScrollView& scrollView, std::initializer_list<const UIView*> fields,
                       const Notification& notification);

// The content back at its top, animated.
void reset(UIScrollView& scrollView);

} // namespace SignInKeyboardScroll
