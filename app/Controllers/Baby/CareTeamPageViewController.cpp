#include "Controllers/Baby/CareTeamPageViewController.h"

#include "Controllers/Account/CareTeamViewController.h"
#include "Extensions/UIStoryboard+Instantiate.h"

void CareTeamPageViewController::awakeFromNib() {
    BabyPageViewController::awakeFromNib();
    setTabBarItem(std::make_shared<UITabBarItem>(kTabTitle, UIImage::named(kTabImage)));
}

UIViewControllerPtr CareTeamPageViewController::newViewControllerWith(const std::shared_ptr<BabyData>& baby) {
    auto page = instantiateViewController<CareTeamViewController>(*UIStoryboard::named("CareTeam"));
    page->baby = baby;
    return page;
}

UIViewControllerPtr CareTeamPageViewController::viewControllerForEmptyState() {
    return UIStoryboard::named("DailyUpdate")->instantiateViewController("NoBabyViewController");
}
