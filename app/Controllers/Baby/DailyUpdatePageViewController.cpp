#include "Controllers/Baby/DailyUpdatePageViewController.h"

#include "Controllers/Baby/DailyUpdateViewController.h"

void DailyUpdatePageViewController::awakeFromNib() {
    BabyPageViewController::awakeFromNib();
    giveTabItem(kTabTitle, kTabImage);
}

UIViewControllerPtr DailyUpdatePageViewController::newViewControllerWith(const std::shared_ptr<BabyData>& baby) {
    return pageFromStoryboard<DailyUpdateViewController>("DailyUpdate", baby);
}

UIViewControllerPtr DailyUpdatePageViewController::viewControllerForEmptyState() {
    return noBabyPage();
}
