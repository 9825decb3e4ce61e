#pragma once

// The loading overlay of every screen: while a screen waits for the server it dims itself and shows
// a spinning indicator (ActivityOverlayView), usually started before a request and stopped in both
// its success and failure callbacks.
//
// A controller remembers its overlay weakly: the view it covers owns the overlay, and once a hide
// has taken it away and let go of it, the next show makes a fresh one. Showing again while an
// overlay is up moves that same overlay (to another view, when one is given), fades it in again
// and replaces its description. A show that comes while a hide is still fading the overlay out
// keeps it: that hide no longer removes it, and it stays until the next hide.
//
// While its overlay is shown, a controller's navigation bar items (its own and those of the screens
// that hold it, which the bar shows for it) are out of use: a screen's Submit or Save in the bar
// takes no second tap while the first one's request is on its way. The hide gives back those the
// show took out of use; the back button stays in use throughout.
//
// Animated shows and hides fade over the current transaction's animation duration (0.25 s unless
// set); unanimated ones take no time (the hide still removes the overlay on the next turn of the
// main run loop). Main thread only.

#include "Extensions/ActivityOverlayView.h"

#include "uikit/controllers/UIViewController.h"

#include <memory>
#include <optional>
#include <string>

// A box holding a weak reference, for keeping an object without owning it.
template <class T> struct Weak { std::weak_ptr<T> object; };

// Shows the overlay over `view`, or over the controller's own view, with an optional description.
void showActivityOverlay(UIViewController& controller, bool animated,
                         const std::optional<std::string>& description = std::nullopt,
                         const UIViewPtr& view = nullptr);
// Fades the overlay out and removes it; nothing when no overlay is shown.
void hideActivityOverlay(UIViewController& controller, bool animated);
// What the screens call: an animated show without a description over the controller's view, and
// the animated hide.
void startFullScreenLoadingOverlay(UIViewController& controller);
void stopFullScreenLoadingOverlay(UIViewController& controller);
// "Loading Overlay Container"; the overlay operations do not use it.
std::string loadingOverlayID(const UIViewController& controller);
