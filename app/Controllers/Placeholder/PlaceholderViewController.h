#pragma once

// A screen that stands where one is not built yet: its title, large at the top (many of these
// screens sit where the navigation bar is hidden), and one line saying that it is not built yet.
// Each placeholder lives in the folder and under the storyboard scene of the screen it stands for,
// and is replaced by it.

#include "uikit/controllers/UIViewController.h"

#include <string>

class PlaceholderViewController : public UIViewController {
public:
    explicit PlaceholderViewController(std::string title);
    void viewDidLoad() override;

    // "<title> is not built yet."
    std::string note() const;

private:
    std::string placeholderTitle_;
};
