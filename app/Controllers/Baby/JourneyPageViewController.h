#pragma once

// The "Journey" tab: the NICU journey of each of the member's babies (JourneyViewController of the storyboard
// "Journey"), paged side by side. A pager made by the tab bar's storyboard gives itself its tab
// item; one made in code has none and otherwise behaves the same.

#include "Controllers/Baby/BabyPageViewController.h"

class JourneyPageViewController : public BabyPageViewController {
public:
    static constexpr const char* kTabTitle = "Journey";
    static constexpr const char* kTabImage = "tab-journey";

    using BabyPageViewController::BabyPageViewController;
    void awakeFromNib() override;
    UIViewControllerPtr newViewControllerWith(const std::shared_ptr<BabyData>& baby) override;
    UIViewControllerPtr viewControllerForEmptyState() override;
};
