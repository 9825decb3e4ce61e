#include "Extensions/UIAlertController+Actions.h"

UIAlertController& addActionWithTitle(UIAlertController& alert, std::optional<std::string> title,
                                      UIAlertActionStyle style, UIAlertAction::Handler handler) {
    alert.addAction(UIAlertAction::make(std::move(title), style, std::move(handler)));
    return alert;
}

namespace UIAlertActions {

UIAlertActionPtr ok() {
    return UIAlertAction::make("OK", UIAlertActionStyle::cancel);
}

UIAlertActionPtr cancel() {
    return UIAlertAction::make("Cancel", UIAlertActionStyle::cancel);
}

} // namespace UIAlertActions
