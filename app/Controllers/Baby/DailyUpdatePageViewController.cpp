#include "Controllers/Baby/DailyUpdatePageViewController.h"

#include "Controllers/Baby/DailyUpdateViewController.h"
#include "Extensions/UIStoryboard+Instantiate.h"

void DailyUpdatePageViewController::awakeFromNib() {
    BabyPageViewController::awakeFromNib();
    setTabBarItem(std::make_shared<UITabBarItem>(kTabTitle, UIImage::named(kTabImage)));
}

UIViewControllerPtr DailyUpdatePageViewController::newViewControllerWith(const std::shared_ptr<BabyData>& baby) {
    auto page = instantiateViewController<DailyUpdateViewController>(*UIStoryboard::named("DailyUpdate"));
    page->baby = baby;
    return page;
}

UIViewControllerPtr DailyUpdatePageViewController::viewControllerForEmptyState() {
    return UIStoryboard::named("DailyUpdate")->instantiateViewController("NoBabyViewController");
}
