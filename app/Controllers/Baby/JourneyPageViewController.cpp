#include "Controllers/Baby/JourneyPageViewController.h"

#include "Controllers/Journey/JourneyViewController.h"
#include "Extensions/UIStoryboard+Instantiate.h"

void JourneyPageViewController::awakeFromNib() {
    BabyPageViewController::awakeFromNib();
    setTabBarItem(std::make_shared<UITabBarItem>(kTabTitle, UIImage::named(kTabImage)));
}

UIViewControllerPtr JourneyPageViewController::newViewControllerWith(const std::shared_ptr<BabyData>& baby) {
    auto page = instantiateViewController<JourneyViewController>(*UIStoryboard::named("Journey"));
    page->baby = baby;
    return page;
}

UIViewControllerPtr JourneyPageViewController::viewControllerForEmptyState() {
    return UIStoryboard::named("DailyUpdate")->instantiateViewController("NoBabyViewController");
}
