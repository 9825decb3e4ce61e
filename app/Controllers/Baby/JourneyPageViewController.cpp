#include "Controllers/Baby/JourneyPageViewController.h"

#include "uikit/graphics/UIImage.h"

void JourneyPageViewController::awakeFromNib() {
    PlaceholderViewController::awakeFromNib();
    setTabBarItem(std::make_shared<UITabBarItem>("Journey", UIImage::named("tab-journey")));
}
