#pragma once

// A pager over the signed-in member's babies: the same kind of screen once per baby, side by side,
// swiped horizontally, with dots at the top. The babies are the ones stored in the session, read
// when the view loads (or when `fetchData` asks again, or when a save of the babies is announced: a
// baby added or gone gives new pages, a renamed one keeps its page, which follows the save itself);
// a member without babies sees one empty-state page.
//
// The selected baby is the member's, whichever screen she chose it on: a completed swipe selects the
// baby paged to, and each time the pager comes on screen it pages to the selected baby.
//
// The navigation bar shows the active page's title and right-hand items, so a page's own bar
// button (the daily update's calendar) works from the pager's bar.
//
// A page is made when it, or one next to it, is about to be shown, and let go of once it is far from
// the page shown: a server may name thousands of babies, and each page is a screen of its own.
//
// Subclasses choose the page of one baby and the empty-state page (the tab pagers take them from
// storyboards); the base makes plain pages. Main thread only.

#include "Extensions/UIStoryboard+Instantiate.h"
#include "Models/BabyData.h"
#include "Services/Announcements.h"
#include "uikit/controllers/UIPageViewController.h"
#include "uikit/controls/UIPageControl.h"
#include "uikit/view/UILabel.h"

#include <memory>
#include <optional>
#include <vector>

class BabyPageViewController : public UIViewController,
                               public UIPageViewControllerDataSource,
                               public UIPageViewControllerDelegate {
public:
    BabyPageViewController();

    // Made with the pager and never replaced.
    std::shared_ptr<UIPageControl> pageControl;
    // The place in `viewControllers` of the page shown.
    long pageIndex = 0;
    // Absent until the first load; then the babies the pages were made from, in the session's order.
    std::optional<std::vector<std::shared_ptr<BabyData>>> babies;
    // The active baby's name (no text on the empty-state page), faded in from the right each time a
    // page becomes active. Made on first use; the pager puts it in no view of its own.
    const std::shared_ptr<UILabel>& titleLabel();
    // Scroll style, horizontal.
    std::shared_ptr<UIPageViewController> pageViewController;
    // One place per baby in the order of `babies`, or exactly one empty-state page. A baby's place is
    // empty until her page is made (the ones near the page shown are).
    std::vector<UIViewControllerPtr> viewControllers;
    // The page at `index`, made now if it was not; none past the ends.
    UIViewControllerPtr pageAt(long index);

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewDidLayoutSubviews() override;
    // Builds the pages again from the session's stored babies.
    void fetchData();

    virtual void embedPageViewController();
    virtual void setupPageControl();
    // Makes the pages for `babies` and shows the one at the selected baby, or the one shown before
    // while it still exists, else the first.
    virtual void didLoadBabies(const std::vector<std::shared_ptr<BabyData>>& babies);
    // Makes `page` (at `index`) the active one: its title and right bar items go to the pager's
    // navigation item, the dots and `pageIndex` follow.
    virtual void didSetActiveViewConroller(const UIViewControllerPtr& page, long index);
    // The page of one baby, which holds the very record (not a copy).
    virtual UIViewControllerPtr newViewControllerWith(const std::shared_ptr<BabyData>& baby);
    virtual UIViewControllerPtr viewControllerForEmptyState();
    // A fade from the right under "fadeText" on the title label.
    virtual void addTitleAnimation();

    UIViewControllerPtr viewControllerBefore(UIPageViewController&, const UIViewControllerPtr& page) override;
    UIViewControllerPtr viewControllerAfter(UIPageViewController&, const UIViewControllerPtr& page) override;
    void didFinishAnimating(UIPageViewController&, bool finished, const std::vector<UIViewControllerPtr>& previous,
                            bool completed) override;

    static constexpr const char* kTitleAnimationKey = "fadeText";

protected:
    // For the tab pagers: the scene of `Page` in the storyboard `storyboard`, holding `baby`.
    template <class Page>
    static UIViewControllerPtr pageFromStoryboard(const std::string& storyboard, const std::shared_ptr<BabyData>& baby) {
        auto page = instantiateViewController<Page>(*UIStoryboard::named(storyboard));
        page->baby = baby;
        return page;
    }
    // The empty-state scene every tab pager shows ("NoBabyViewController" of "DailyUpdate").
    static UIViewControllerPtr noBabyPage();
    // The tab item a tab pager gives itself when its storyboard makes it.
    void giveTabItem(const char* title, const char* imageName);

private:
    // The place of `page` in `viewControllers`, if it is there.
    std::optional<long> positionOf(const UIViewControllerPtr& page) const;
    // Listens for saves of the babies (see the top of the file).
    void followBabies();
    // Pages, without animation, to the session's selected baby when another page is shown.
    void showSelectedBaby();
    // Makes the pages within `kPagesMade` of `index` and lets go of those further than `kPagesKept`
    // (a family's few babies keep all theirs).
    void keepPagesNear(long index);

    static constexpr long kPagesMade = 2;
    static constexpr long kPagesKept = 4;

    Announcements::Subscription babiesSaved_;
    std::shared_ptr<UILabel> titleLabel_;
};
