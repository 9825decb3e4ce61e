#pragma once

// The "Team" tab: the care team of each of the member's babies (CareTeamViewController of the storyboard
// "CareTeam"), paged side by side. A pager made by the tab bar's storyboard gives itself its tab
// item; one made in code has none and otherwise behaves the same.

#include "Controllers/Baby/BabyPageViewController.h"

class CareTeamPageViewController : public BabyPageViewController {
public:
    static constexpr const char* kTabTitle = "Team";
    static constexpr const char* kTabImage = "tab-team";

    using BabyPageViewController::BabyPageViewController;
    void awakeFromNib() override;
    UIViewControllerPtr newViewControllerWith(const std::shared_ptr<BabyData>& baby) override;
    UIViewControllerPtr viewControllerForEmptyState() override;
};
