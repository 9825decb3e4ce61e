#include "uikit/controllers/UIPageViewController.h"

#include "uikit/controllers/UIScreen.h"

#include <cmath>

UIPageViewController::UIPageViewController(UIPageViewControllerTransitionStyle style,
                                           UIPageViewControllerNavigationOrientation orientation)
    : style_(style), orientation_(orientation) {}

const std::shared_ptr<UIScrollView>& UIPageViewController::scrollView() {
    if (!scroll_) {
        scroll_ = std::make_shared<UIScrollView>(UIScreen::main().bounds());
        scroll_->isPagingEnabled = true;
        scroll_->showsHorizontalScrollIndicator = false;
        scroll_->showsVerticalScrollIndicator = false;
        scroll_->bounces = true;
        scroll_->setContentInsetAdjustmentBehavior(UIScrollViewContentInsetAdjustmentBehavior::never);
        scroll_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    }
    return scroll_;
}

void UIPageViewController::loadView() {
    auto v = std::make_shared<UIView>(UIScreen::main().bounds());
    v->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    auto& s = scrollView();
    s->setFrame(v->bounds());
    s->setDelegate(cw::DelegateRef<UIScrollViewDelegate>(static_cast<UIScrollViewDelegate*>(this)));
    v->addSubview(s);
    setView(v);
    placePages();
}

void UIPageViewController::setDataSource(const std::shared_ptr<UIPageViewControllerDataSource>& d) {
    dataSource_ = d;
    reloadNeighbours();
}

std::vector<UIViewControllerPtr> UIPageViewController::viewControllers() const {
    if (current_) return {current_};
    return {};
}

void UIPageViewController::setViewControllers(const std::vector<UIViewControllerPtr>& controllers,
                                              UIPageViewControllerNavigationDirection, bool,
                                              std::function<void(bool)> completion) {
    if (controllers.empty()) return;
    auto next = controllers.front();
    auto previous = current_;
    const bool visible = isAppearingOrAppeared();
    if (next != previous) {
        if (previous && visible) previous->beginAppearanceTransition(false, false);
        current_ = next;
        if (visible) next->beginAppearanceTransition(true, false);
        reloadNeighbours();
        if (previous && visible) previous->endAppearanceTransition();
        if (visible) next->endAppearanceTransition();
    } else {
        reloadNeighbours();
    }
    if (completion) completion(true);
}

void UIPageViewController::reloadNeighbours() {
    auto ds = dataSource();
    auto self = shared_from_this();
    std::vector<UIViewControllerPtr> keep{current_};
    before_ = current_ && ds ? ds->viewControllerBefore(*this, current_) : nullptr;
    after_ = current_ && ds ? ds->viewControllerAfter(*this, current_) : nullptr;
    for (auto& c : {current_, before_, after_}) {
        if (!c) continue;
        if (c->parentViewController().get() != this) {
            addChildViewController(c);
            c->didMoveToParentViewController(self);
        }
    }
    // Pages that are no longer neighbours leave.
    const auto children = childViewControllers();
    for (auto& c : children) {
        if (c == current_ || c == before_ || c == after_) continue;
        c->willMoveToParentViewController(nullptr);
        if (auto v = c->viewIfLoaded()) v->removeFromSuperview();
        c->removeFromParentViewController();
    }
    placePages();
}

CGFloat UIPageViewController::pageLength() const {
    if (!scroll_) return 0;
    const CGSize s = scroll_->bounds().size;
    return orientation_ == UIPageViewControllerNavigationOrientation::horizontal ? s.width : s.height;
}

CGFloat UIPageViewController::offsetAlongAxis() const {
    const CGPoint o = scroll_->contentOffset();
    return orientation_ == UIPageViewControllerNavigationOrientation::horizontal ? o.x : o.y;
}

void UIPageViewController::setOffsetAlongAxis(CGFloat value) {
    scroll_->setContentOffset(orientation_ == UIPageViewControllerNavigationOrientation::horizontal
                                  ? CGPoint{value, 0}
                                  : CGPoint{0, value});
}

void UIPageViewController::placePages() {
    if (!scroll_ || !isViewLoaded()) return;
    placing_ = true;
    const CGSize size = scroll_->bounds().size;
    const bool horizontal = orientation_ == UIPageViewControllerNavigationOrientation::horizontal;
    std::vector<UIViewControllerPtr> slots;
    for (auto& c : {before_, current_, after_})
        if (c) slots.push_back(c);
    for (std::size_t i = 0; i < slots.size(); ++i) {
        auto v = slots[i]->view();
        v->setTranslatesAutoresizingMaskIntoConstraints(true);
        const CGFloat k = static_cast<CGFloat>(i);
        v->setFrame(horizontal ? CGRect{k * size.width, 0, size.width, size.height}
                               : CGRect{0, k * size.height, size.width, size.height});
        if (v->superviewPointer() != scroll_.get()) scroll_->addSubview(v);
        slots[i]->setBarInsets(barInsets());
    }
    const CGFloat n = static_cast<CGFloat>(slots.size());
    scroll_->setContentSize(horizontal ? CGSize{n * size.width, size.height}
                                       : CGSize{size.width, n * size.height});
    setOffsetAlongAxis(before_ ? pageLength() : 0);
    placing_ = false;
}

void UIPageViewController::viewDidLayoutSubviews() {
    UIViewController::viewDidLayoutSubviews();
    if (!scroll_ || scroll_->isDragging() || scroll_->isDecelerating()) return;
    // Pages follow the pager's size: place them again when it or the resting offset changed.
    const CGSize size = scroll_->bounds().size;
    const bool horizontal = orientation_ == UIPageViewControllerNavigationOrientation::horizontal;
    const CGFloat pages = static_cast<CGFloat>((before_ ? 1 : 0) + (current_ ? 1 : 0) + (after_ ? 1 : 0));
    const CGSize expectedSize =
        horizontal ? CGSize{pages * size.width, size.height} : CGSize{size.width, pages * size.height};
    const CGFloat expectedOffset = before_ ? pageLength() : 0;
    if (offsetAlongAxis() != expectedOffset || !(scroll_->contentSize() == expectedSize)) placePages();
}

std::vector<UIViewControllerPtr> UIPageViewController::childrenForAppearanceForwarding() const {
    if (current_) return {current_};
    return {};
}

void UIPageViewController::scrollViewDidScroll(UIScrollView*) {
    if (placing_ || pending_ || !scroll_->isDragging()) return;
    const CGFloat home = before_ ? pageLength() : 0;
    const CGFloat d = offsetAlongAxis() - home;
    UIViewControllerPtr revealed = d > 0 ? after_ : (d < 0 ? before_ : nullptr);
    if (!revealed) return;
    pending_ = revealed;
    if (auto del = delegate()) del->willTransitionTo(*this, {revealed});
    if (isAppearingOrAppeared()) {
        current_->beginAppearanceTransition(false, true);
        revealed->beginAppearanceTransition(true, true);
    }
}

void UIPageViewController::scrollViewDidEndDragging(UIScrollView*, bool willDecelerate) {
    if (!willDecelerate) settle();
}

void UIPageViewController::scrollViewDidEndDecelerating(UIScrollView*) {
    settle();
}

void UIPageViewController::scrollViewDidEndScrollingAnimation(UIScrollView*) {
    settle();
}

void UIPageViewController::settle() {
    if (!pending_) return;
    const CGFloat length = pageLength();
    const long page = length > 0 ? std::lround(offsetAlongAxis() / length) : 0;
    const long currentSlot = before_ ? 1 : 0;
    auto previous = current_;
    auto revealed = pending_;
    pending_ = nullptr;
    const bool completed = page != currentSlot;
    const bool visible = isAppearingOrAppeared();
    if (completed) {
        current_ = page < currentSlot ? before_ : after_;
        if (current_ != revealed && visible) {
            revealed->beginAppearanceTransition(false, false);
            revealed->endAppearanceTransition();
            current_->beginAppearanceTransition(true, false);
        }
    } else if (visible) {
        revealed->beginAppearanceTransition(false, false);
        previous->beginAppearanceTransition(true, false);
    }
    if (visible) {
        previous->endAppearanceTransition();
        revealed->endAppearanceTransition();
        current_->endAppearanceTransition();
    }
    reloadNeighbours();
    if (auto del = delegate()) del->didFinishAnimating(*this, true, {previous}, completed);
}
