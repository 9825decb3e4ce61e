#pragma once

// "Settings", pushed by the side menu: four rows that each report a tap and then open the
// notification settings, the feedback mail (or, on a device without mail, an alert naming the
// address), the terms of use, or the tutorial. Built in code.

#include "uikit/controllers/MFMailComposeViewController.h"
#include "uikit/controllers/UIViewController.h"
#include "uikit/controls/UITableView.h"

#include <memory>
#include <string>
#include <vector>

enum class SettingsTableViewRowType { notifications, Feedback, Terms, Tutorial };

class SettingsViewController : public UIViewController,
                               public UITableViewDataSource,
                               public UITableViewDelegate,
                               public MFMailComposeViewControllerDelegate {
public:
    static constexpr const char* kTitle = "Settings";
    static constexpr const char* kScreenName = "SettingsViewScreen";
    static constexpr const char* kFeedbackAddress = "feedback@cradleway.test";
    static constexpr const char* kFeedbackSubject = "Feedback for CRADLEWAY app";
    static constexpr const char* kFeedbackBody =
        "Please share your comments if you have suggestions to improve our app or the education content";
    static constexpr const char* kNoMailMessage = "Please send feedback directly to ";
    static constexpr CGFloat kRowHeight = 70;

    SettingsViewController();
    std::string className() const override { return "SettingsViewController"; }

    void viewDidLoad() override;
    void viewDidAppear(bool animated) override;

    const std::shared_ptr<UITableView> tableView;
    const std::vector<SettingsTableViewRowType> settingsRows;

    void setupTableView();
    // The rows' actions.
    void showNotificationSettings();
    void openEmailForFeedback();
    void showTerms();
    void showTutorial();

    void didFinishWith(MFMailComposeViewController& controller, MFMailComposeResult result,
                       const std::optional<NSError>& error) override;

    long numberOfRowsInSection(UITableView*, long) override;
    std::shared_ptr<UITableViewCell> cellForRowAt(UITableView* tableView, const IndexPath& indexPath) override;
    CGFloat heightForRowAt(UITableView*, const IndexPath&) override { return kRowHeight; }
    void didSelectRowAt(UITableView* tableView, const IndexPath& indexPath) override;
};
