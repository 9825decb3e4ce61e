#pragma once

// The share sheet. It lists where the items could go; the host (or the person, in the window
// host) chooses a target or cancels, the sheet goes away and the completion handler hears which
// target was chosen and whether the share completed. What it is given shows whether given before
// or after its view loaded: a value set shows at once, and the excluded targets are read again as
// the sheet comes on screen.

#include "foundation/json/NSError.h"
#include "uikit/controllers/UIViewController.h"

#include <any>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

using UIActivityType = std::string;
inline const UIActivityType UIActivityTypeMail = "com.apple.UIKit.activity.Mail";
inline const UIActivityType UIActivityTypeMessage = "com.apple.UIKit.activity.Message";
inline const UIActivityType UIActivityTypeCopyToPasteboard = "com.apple.UIKit.activity.CopyToPasteboard";
inline const UIActivityType UIActivityTypePostToFacebook = "com.apple.UIKit.activity.PostToFacebook";
inline const UIActivityType UIActivityTypePostToTwitter = "com.apple.UIKit.activity.PostToTwitter";
inline const UIActivityType UIActivityTypePrint = "com.apple.UIKit.activity.Print";
inline const UIActivityType UIActivityTypeSaveToCameraRoll = "com.apple.UIKit.activity.SaveToCameraRoll";
inline const UIActivityType UIActivityTypeAirDrop = "com.apple.UIKit.activity.AirDrop";

class UIActivityViewController : public UIViewController {
public:
    using CompletionWithItemsHandler =
        std::function<void(std::optional<UIActivityType> activityType, bool completed,
                           const std::vector<std::any>& returnedItems, const std::optional<NSError>& error)>;

    UIActivityViewController(std::vector<std::any> activityItems,
                             std::vector<std::any> applicationActivities = {});

    const std::vector<std::any>& activityItems() const { return items_; }
    std::vector<UIActivityType> excludedActivityTypes;
    CompletionWithItemsHandler completionWithItemsHandler;
    // Key-value settings such as "subject" (the mail subject).
    void setValue(std::any value, const std::string& key);
    std::optional<std::string> stringValue(const std::string& key) const;

    // The targets offered: the system's, less the excluded ones.
    std::vector<UIActivityType> availableActivityTypes() const;
    // Chooses a target (none = Cancel): dismisses the sheet, then runs the completion handler.
    void finish(const std::optional<UIActivityType>& activityType);

    void loadView() override;
    void viewWillAppear(bool animated) override;
    std::string className() const override { return "UIActivityViewController"; }

private:
    // Fills the loaded sheet with the items and the targets offered now.
    void showTargets();

    std::vector<std::any> items_;
    std::map<std::string, std::any> values_;
    bool finished_ = false;
};
