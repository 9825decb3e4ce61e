#include "Controllers/Baby/CareTeamPageViewController.h"

#include "uikit/graphics/UIImage.h"

void CareTeamPageViewController::awakeFromNib() {
    PlaceholderViewController::awakeFromNib();
    setTabBarItem(std::make_shared<UITabBarItem>("Team", UIImage::named("tab-team")));
}
