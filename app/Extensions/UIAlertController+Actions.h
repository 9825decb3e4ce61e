#pragma once

// Alert conveniences: adding an action in one chained call, and the two stock actions.

#include "uikit/controllers/UIAlertController.h"

#include <optional>
#include <string>

// Makes an action from the three and adds it to the alert; returns the alert, so calls chain.
UIAlertController& addActionWithTitle(UIAlertController& alert, std::optional<std::string> title,
                                      UIAlertActionStyle style, UIAlertAction::Handler handler = {});

namespace UIAlertActions {
// A new "OK" action, cancel style, no handler. Both this and `cancel` have the cancel style, and an
// alert takes one cancel-style action only, so one alert can hold just one of them.
UIAlertActionPtr ok();
// A new "Cancel" action, cancel style, no handler.
UIAlertActionPtr cancel();
} // namespace UIAlertActions
