#include "Controllers/Baby/CareTeamPageViewController.h"

#include "Controllers/Account/CareTeamViewController.h"

void CareTeamPageViewController::awakeFromNib() {
    BabyPageViewController::awakeFromNib();
    giveTabItem(kTabTitle, kTabImage);
}

UIViewControllerPtr CareTeamPageViewController::newViewControllerWith(const std::shared_ptr<BabyData>& baby) {
    return pageFromStoryboard<CareTeamViewController>("CareTeam", baby);
}

UIViewControllerPtr CareTeamPageViewController::viewControllerForEmptyState() {
    return noBabyPage();
}
