#pragma once

// The settings screen, made with its plain constructor and pushed by the side menu.
//
// For now it shows its title and one row, "Tutorial", which presents a new onboarding tutorial;
// the other rows come with the screen's own work.

#include "Controllers/Placeholder/PlaceholderViewController.h"
#include "uikit/controls/UITableView.h"

#include <memory>

class SettingsViewController : public PlaceholderViewController,
                               public UITableViewDataSource,
                               public UITableViewDelegate {
public:
    static constexpr const char* kTutorialRow = "Tutorial";
    static constexpr CGFloat kRowHeight = 50;

    SettingsViewController() : PlaceholderViewController("Settings") {}

    const std::shared_ptr<UITableView> tableView = std::make_shared<UITableView>();

    void viewDidLoad() override;

    long numberOfRowsInSection(UITableView*, long) override { return 1; }
    std::shared_ptr<UITableViewCell> cellForRowAt(UITableView* tableView, const IndexPath& indexPath) override;
    void didSelectRowAt(UITableView* tableView, const IndexPath& indexPath) override;

    // Presents a new onboarding tutorial, animated.
    void showTutorial();
};
