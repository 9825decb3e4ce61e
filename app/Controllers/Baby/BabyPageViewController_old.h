#pragma once

// The older baby pager: a blurred header at the top shows the active baby's name above the page
// dots, and below it plain, empty pages are swiped, one per stored baby (or one when there is
// none). It pages, selects and titles exactly as BabyPageViewController does; only the header,
// the place and colour of the dots and the pages differ. Nothing in the application makes one: a
// storyboard scene that names the class can ("BabyPageViewController_old"). Main thread only.

#include "Controllers/Baby/BabyPageViewController.h"
#include "uikit/view/UIVisualEffectView.h"

class BabyPageViewController_old : public BabyPageViewController,
                                   public StoryboardIdentifiable<BabyPageViewController_old> {
public:
    std::string className() const override { return "BabyPageViewController_old"; }

    // The name over the dots, on an extra-light blur with a hairline along its bottom. Made on
    // first use; its height follows the label, the dots and its bottom margin.
    const std::shared_ptr<UIVisualEffectView>& headerView();

    // The pages fill the view below the header.
    void viewDidLayoutSubviews() override;
    void setupPageControl() override;
    // Plain pages: the baby is handed to none.
    UIViewControllerPtr newViewControllerWith(const std::shared_ptr<BabyData>& baby) override;
    UIViewControllerPtr viewControllerForEmptyState() override;

private:
    std::shared_ptr<UIVisualEffectView> headerView_;
};
