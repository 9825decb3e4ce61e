#pragma once

// Names of the application's own notifications (the notification centre's, not remote ones).

#include "foundation/dispatch/NotificationCenter.h"

namespace NotificationNames {

// New questions wait for the member; the feed screen listens for it.
inline const NotificationName newQuestionsAvailable = "cradleway.notification.newQuestionsAvailable";

} // namespace NotificationNames
