#pragma once

// The stage journey, "NICU Journey" (scene "JourneyContainerViewController" of the storyboard that
// opens it, the feed's): the signed-in member's babies, each with its journey stages, one stage
// list per baby side by side in a page view, a page control under them and the baby on screen
// named in the title ("Olivia Hart's Journey", "James' Journey"). The session's selected baby
// comes first the first time. With no baby the one page is "NoBabyViewController".
//
// A load that fails says so in the error banner and stops the spinner; the pages stay as they were
// (none after a failed first load).
//
// It is the delegate of every page: answered stages are sent to the server, then the pages are
// rebuilt from a new load and stay on the same page. A failed send shows its error and has the page
// put its stages back as they were before the answer, so that answering again sends again.
//
// Main thread only; the service callbacks hold the screen.

#include "Controllers/Journey/JourneyViewController_old.h"
#include "Extensions/UIStoryboard+Instantiate.h"
#include "Models/BabyData.h"
#include "uikit/controllers/UIPageViewController.h"
#include "uikit/controllers/UIViewController.h"
#include "uikit/controls/UIPageControl.h"
#include "uikit/view/UIActivityIndicatorView.h"

#include <memory>
#include <string>
#include <vector>

class NSCoder;

class JourneyContainerViewController : public UIViewController,
                                       public StoryboardIdentifiable<JourneyContainerViewController>,
                                       public UIPageViewControllerDataSource,
                                       public UIPageViewControllerDelegate,
                                       public JourneyDataDelegate {
public:
    static constexpr const char* screenTitle = "NICU Journey";

    JourneyContainerViewController();
    explicit JourneyContainerViewController(NSCoder&) : JourneyContainerViewController() {}
    std::string className() const override { return "JourneyContainerViewController"; }

    // Outlets, connected when the scene is built.
    std::weak_ptr<UIActivityIndicatorView> activityIndicator;
    std::weak_ptr<UIView> containerView;
    std::weak_ptr<UIPageControl> pageControl;
    long pageIndex = 0;
    const std::shared_ptr<UIPageViewController> pageViewController;
    std::vector<UIViewControllerPtr> viewControllers;

    void loadView() override;
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;

    void fetchData();
    void embedPageViewController();
    void didLoadBabies(const std::vector<std::shared_ptr<BabyData>>& babies);
    std::shared_ptr<JourneyViewController_old> newViewControllerWith(const std::shared_ptr<BabyData>& baby);
    void addTitleAnimation();
    // "<name>'s Journey" ("<name>' Journey" after a final s) for a stage list, else "NICU Journey".
    static std::string titleFor(const UIViewControllerPtr& page);

    // --- Paging ---
    UIViewControllerPtr viewControllerBefore(UIPageViewController&, const UIViewControllerPtr& page) override;
    UIViewControllerPtr viewControllerAfter(UIPageViewController&, const UIViewControllerPtr& page) override;
    void willTransitionTo(UIPageViewController&, const std::vector<UIViewControllerPtr>& pending) override;
    void didFinishAnimating(UIPageViewController&, bool finished, const std::vector<UIViewControllerPtr>& previous,
                            bool completed) override;

    // --- Answers ---
    void didUpdateStages(const std::vector<std::shared_ptr<JourneyStage>>& stages, const std::string& babyId) override;

private:
    long indexOf(const UIViewControllerPtr& page) const;
    // Makes `index` the page shown in the page control and the title.
    void showPageIndex(long index);
};

// The page shown when the member has no baby.
class NoBabyViewController : public UIViewController, public StoryboardIdentifiable<NoBabyViewController> {
public:
    static constexpr const char* message = "Your baby's journey will appear here.";
    std::string className() const override { return "NoBabyViewController"; }
    void loadView() override;
};
