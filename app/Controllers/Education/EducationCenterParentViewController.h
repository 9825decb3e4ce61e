#pragma once

// The education tab of the main tab bar (scene "EducationCenterParentViewController" of the
// storyboard "Main"): a row of three buttons (Recommended, Categories, Bookmarked), each with an
// underline view below it, over a container that embeds the paged container
// (EducationCenterPageViewController) by the segue "contained". A swipe between pages or a tap on a
// button selects the page's button and shows only its underline.

#include "Controllers/Education/EducationCenterPageViewController.h"
#include "Views/BottomBorderView.h"
#include "uikit/controllers/UIViewController.h"
#include "uikit/controls/UIButton.h"

#include <any>
#include <memory>
#include <string>

class EducationCenterParentViewController : public UIViewController, public EducationCenterPageViewControllerDelegate {
public:
    static constexpr const char* kContainedId = "contained";

    EducationCenterParentViewController() = default;
    std::string className() const override { return "EducationCenterParentViewController"; }

    const std::string containedId = kContainedId;
    // Outlets, connected when the scene's view loads.
    std::shared_ptr<UIView> containerView() const { return containerView_.lock(); }
    std::shared_ptr<UIButton> recommendedButton() const { return recommendedButton_.lock(); }
    std::shared_ptr<UIButton> categoriesButton() const { return categoriesButton_.lock(); }
    std::shared_ptr<UIButton> bookmarkedButton() const { return bookmarkedButton_.lock(); }
    std::shared_ptr<BottomBorderView> recommendedContainerView() const { return recommendedContainerView_.lock(); }
    std::shared_ptr<BottomBorderView> categoriesContainerView() const { return categoriesContainerView_.lock(); }
    std::shared_ptr<BottomBorderView> bookmarkedContainerView() const { return bookmarkedContainerView_.lock(); }
    std::shared_ptr<EducationCenterPageViewController> pageVC;

    void awakeFromNib() override;
    void loadView() override;
    void viewDidLoad() override;
    void prepare(UIStoryboardSegue& segue, const std::any& sender) override;
    // The container lies between the buttons (below the top bars) and the bottom bars: nothing of
    // the bars covers the pages.
    UIEdgeInsets barInsetsForChild(const UIViewController&) const override { return {}; }

    void recommendedButtonTapped();
    void categoriesButtonTapped();
    void bookmarkedButtonTapped();

    void pageChanged(EducationCenterPage page) override;
    void updateTabSelection(EducationCenterPage page);

private:
    void buttonTapped(EducationCenterPage page);

    std::weak_ptr<UIView> containerView_;
    std::weak_ptr<UIButton> recommendedButton_, categoriesButton_, bookmarkedButton_;
    std::weak_ptr<BottomBorderView> recommendedContainerView_, categoriesContainerView_, bookmarkedContainerView_;
};
