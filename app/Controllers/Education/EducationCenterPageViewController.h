#pragma once

// The paged container inside the education tab of the main tab bar: recommended content,
// categories and bookmarked content side by side, one page at a time. A completed swipe to another
// page tells the delegate (held weakly) which page is now shown.

#include "uikit/controllers/UIPageViewController.h"

#include <memory>
#include <optional>
#include <vector>

enum class EducationCenterPage { recommended = 0, categories = 1, bookmarked = 2 };

class EducationCenterPageViewControllerDelegate {
public:
    virtual ~EducationCenterPageViewControllerDelegate() = default;
    virtual void pageChanged(EducationCenterPage page) = 0;
};

class EducationCenterPageViewController : public UIPageViewController,
                                          public UIPageViewControllerDataSource,
                                          public UIPageViewControllerDelegate {
public:
    explicit EducationCenterPageViewController(
        UIPageViewControllerTransitionStyle style = UIPageViewControllerTransitionStyle::scroll,
        UIPageViewControllerNavigationOrientation orientation = UIPageViewControllerNavigationOrientation::horizontal);
    std::string className() const override { return "EducationCenterPageViewController"; }

    std::weak_ptr<EducationCenterPageViewControllerDelegate> educationCenterDelegate;
    const std::vector<EducationCenterPage> pages{EducationCenterPage::recommended, EducationCenterPage::categories,
                                                 EducationCenterPage::bookmarked};
    // Kept for callers; the paging does not change them.
    long currentIndex = 0;
    std::optional<long> nextIndex;
    // The page controllers by index, once the view has loaded.
    std::optional<std::vector<UIViewControllerPtr>> vcs;

    void viewDidLoad() override;

    UIViewControllerPtr viewControllerBefore(UIPageViewController&, const UIViewControllerPtr& controller) override;
    UIViewControllerPtr viewControllerAfter(UIPageViewController&, const UIViewControllerPtr& controller) override;
    void didFinishAnimating(UIPageViewController&, bool finished, const std::vector<UIViewControllerPtr>& previous,
                            bool completed) override;

    // Shows the page at `index` at once, without the turn (no delegate call).
    void showPage(std::size_t index);

private:
    std::optional<std::size_t> indexOf(const UIViewControllerPtr& controller) const;
};
