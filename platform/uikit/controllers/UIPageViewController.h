#pragma once

// Pages side by side in a paging scroll view (the scroll style): the shown page in the middle and
// its neighbours, asked of the data source, on either side. A drag that comes to rest on a
// neighbour makes it the shown page; the delegate hears willTransitionTo when a drag starts
// showing a neighbour and didFinishAnimating (completed or not) when the scroll comes to rest.

#include "uikit/controllers/UIViewController.h"
#include "uikit/controls/UIScrollView.h"

#include <functional>
#include <memory>
#include <vector>

enum class UIPageViewControllerTransitionStyle { pageCurl, scroll };
enum class UIPageViewControllerNavigationOrientation { horizontal, vertical };
enum class UIPageViewControllerNavigationDirection { forward, reverse };

class UIPageViewController;

class UIPageViewControllerDataSource {
public:
    virtual ~UIPageViewControllerDataSource() = default;
    virtual UIViewControllerPtr viewControllerBefore(UIPageViewController&, const UIViewControllerPtr&) = 0;
    virtual UIViewControllerPtr viewControllerAfter(UIPageViewController&, const UIViewControllerPtr&) = 0;
};

class UIPageViewControllerDelegate {
public:
    virtual ~UIPageViewControllerDelegate() = default;
    virtual void willTransitionTo(UIPageViewController&,
                                  const std::vector<UIViewControllerPtr>& /*pending*/) {}
    virtual void didFinishAnimating(UIPageViewController&, bool /*finished*/,
                                    const std::vector<UIViewControllerPtr>& /*previous*/,
                                    bool /*completed*/) {}
};

class UIPageViewController : public UIViewController, public UIScrollViewDelegate {
public:
    UIPageViewController(
        UIPageViewControllerTransitionStyle style = UIPageViewControllerTransitionStyle::scroll,
        UIPageViewControllerNavigationOrientation orientation =
            UIPageViewControllerNavigationOrientation::horizontal);

    UIPageViewControllerTransitionStyle transitionStyle() const { return style_; }
    UIPageViewControllerNavigationOrientation navigationOrientation() const { return orientation_; }

    std::shared_ptr<UIPageViewControllerDataSource> dataSource() const { return dataSource_.lock(); }
    void setDataSource(const std::shared_ptr<UIPageViewControllerDataSource>& d);
    std::shared_ptr<UIPageViewControllerDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<UIPageViewControllerDelegate>& d) { delegate_ = d; }

    // The shown page (one with the scroll style).
    std::vector<UIViewControllerPtr> viewControllers() const;
    // Shows `controllers.front()`; the neighbours are asked for again. The completion runs with
    // true once the page is shown.
    void setViewControllers(const std::vector<UIViewControllerPtr>& controllers,
                            UIPageViewControllerNavigationDirection direction, bool animated,
                            std::function<void(bool)> completion = {});

    const std::shared_ptr<UIScrollView>& scrollView();

    void loadView() override;
    void viewDidLayoutSubviews() override;
    std::vector<UIViewControllerPtr> childrenForAppearanceForwarding() const override;

    void scrollViewDidScroll(UIScrollView*) override;
    void scrollViewDidEndDragging(UIScrollView*, bool willDecelerate) override;
    void scrollViewDidEndDecelerating(UIScrollView*) override;
    void scrollViewDidEndScrollingAnimation(UIScrollView*) override;

private:
    void reloadNeighbours();
    void placePages();
    void settle();
    CGFloat pageLength() const;
    CGFloat offsetAlongAxis() const;
    void setOffsetAlongAxis(CGFloat value);

    UIPageViewControllerTransitionStyle style_;
    UIPageViewControllerNavigationOrientation orientation_;
    std::weak_ptr<UIPageViewControllerDataSource> dataSource_;
    std::weak_ptr<UIPageViewControllerDelegate> delegate_;
    std::shared_ptr<UIScrollView> scroll_;
    UIViewControllerPtr current_, before_, after_;
    // The neighbour a drag is revealing, once the delegate has been told.
    UIViewControllerPtr pending_;
    bool placing_ = false;
};
