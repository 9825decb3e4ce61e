#include "Controllers/Baby/DailyUpdatePageViewController.h"

#include "uikit/graphics/UIImage.h"

void DailyUpdatePageViewController::awakeFromNib() {
    PlaceholderViewController::awakeFromNib();
    setTabBarItem(std::make_shared<UITabBarItem>("Update", UIImage::named("tab-calendar")));
}
