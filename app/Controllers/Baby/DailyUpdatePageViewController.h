#pragma once

// The "Update" tab: the daily update of each of the member's babies (DailyUpdateViewController of the storyboard
// "DailyUpdate"), paged side by side. A pager made by the tab bar's storyboard gives itself its tab
// item; one made in code has none and otherwise behaves the same.

#include "Controllers/Baby/BabyPageViewController.h"

class DailyUpdatePageViewController : public BabyPageViewController {
public:
    static constexpr const char* kTabTitle = "Update";
    static constexpr const char* kTabImage = "tab-calendar";

    using BabyPageViewController::BabyPageViewController;
    void awakeFromNib() override;
    UIViewControllerPtr newViewControllerWith(const std::shared_ptr<BabyData>& baby) override;
    UIViewControllerPtr viewControllerForEmptyState() override;
};
