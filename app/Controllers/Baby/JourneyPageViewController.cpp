#include "Controllers/Baby/JourneyPageViewController.h"

#include "Controllers/Journey/JourneyViewController.h"

void JourneyPageViewController::awakeFromNib() {
    BabyPageViewController::awakeFromNib();
    giveTabItem(kTabTitle, kTabImage);
}

UIViewControllerPtr JourneyPageViewController::newViewControllerWith(const std::shared_ptr<BabyData>& baby) {
    return pageFromStoryboard<JourneyViewController>("Journey", baby);
}

UIViewControllerPtr JourneyPageViewController::viewControllerForEmptyState() {
    return noBabyPage();
}
