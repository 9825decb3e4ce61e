#pragma once

// The education library as a tab bar screen: Recommended, Categories, Search and Bookmarked, made
// as its view loads. The feed opens it on the Search tab (index 2) with its own search text.
//
// For now each tab shows its title only; the library comes with its own work.

#include "Controllers/Education/EducationCenterSearchViewController.h"
#include "Controllers/Placeholder/PlaceholderViewController.h"
#include "uikit/controllers/UITabBarController.h"

#include <memory>

class EducationCenterViewController : public UITabBarController {
public:
    EducationCenterViewController() { setTitle(std::string("Brambury Education Center")); }
    std::string className() const override { return "EducationCenterViewController"; }

    void viewDidLoad() override {
        UITabBarController::viewDidLoad();
        auto tab = [](UIViewControllerPtr controller, const char* title) {
            controller->setTabBarItem(std::make_shared<UITabBarItem>(title, nullptr));
            return controller;
        };
        setViewControllers({tab(std::make_shared<PlaceholderViewController>("Recommended"), "Recommended"),
                            tab(std::make_shared<PlaceholderViewController>("Categories"), "Categories"),
                            tab(std::make_shared<EducationCenterSearchViewController>(), "Search"),
                            tab(std::make_shared<PlaceholderViewController>("Bookmarked"), "Bookmarked")});
    }
};
