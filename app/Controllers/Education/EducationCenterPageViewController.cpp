#include "Controllers/Education/EducationCenterPageViewController.h"

#include "Controllers/Education/CategoriesEducationController.h"
#include "Controllers/Education/RecommendedEducationCenterController.h"

#include <algorithm>

EducationCenterPageViewController::EducationCenterPageViewController(UIPageViewControllerTransitionStyle style,
                                                                     UIPageViewControllerNavigationOrientation orientation)
    : UIPageViewController(style, orientation) {}

void EducationCenterPageViewController::viewDidLoad() {
    UIPageViewController::viewDidLoad();
    vcs = std::vector<UIViewControllerPtr>{std::make_shared<RecommendedEducationCenterController>(false),
                                           std::make_shared<CategoriesEducationController>(),
                                           std::make_shared<RecommendedEducationCenterController>(true)};
    auto self = std::dynamic_pointer_cast<EducationCenterPageViewController>(shared_from_this());
    setDelegate(self);
    setDataSource(self);
    setViewControllers({vcs->front()}, UIPageViewControllerNavigationDirection::forward, false);
}

std::optional<std::size_t> EducationCenterPageViewController::indexOf(const UIViewControllerPtr& controller) const {
    if (!vcs) return std::nullopt;
    auto it = std::find(vcs->begin(), vcs->end(), controller);
    if (it == vcs->end()) return std::nullopt;
    return static_cast<std::size_t>(it - vcs->begin());
}

UIViewControllerPtr EducationCenterPageViewController::viewControllerBefore(UIPageViewController&,
                                                                           const UIViewControllerPtr& controller) {
    auto index = indexOf(controller);
    if (!index || *index == 0) return nullptr;
    return (*vcs)[*index - 1];
}

UIViewControllerPtr EducationCenterPageViewController::viewControllerAfter(UIPageViewController&,
                                                                          const UIViewControllerPtr& controller) {
    auto index = indexOf(controller);
    if (!index || *index + 1 >= vcs->size()) return nullptr;
    return (*vcs)[*index + 1];
}

void EducationCenterPageViewController::didFinishAnimating(UIPageViewController&, bool,
                                                           const std::vector<UIViewControllerPtr>&, bool completed) {
    if (!completed) return;
    const auto shown = viewControllers();
    if (shown.empty()) return;
    auto index = indexOf(shown.front());
    if (!index || *index >= pages.size()) return;
    if (auto delegate = educationCenterDelegate.lock()) delegate->pageChanged(pages[*index]);
}

void EducationCenterPageViewController::showPage(std::size_t index) {
    if (!vcs || index >= vcs->size()) return;
    setViewControllers({(*vcs)[index]}, UIPageViewControllerNavigationDirection::forward, false);
}
