#include "Controllers/Education/EducationCenterParentViewController.h"

#include "uikit/graphics/UIImage.h"

void EducationCenterParentViewController::awakeFromNib() {
    PlaceholderViewController::awakeFromNib();
    setTabBarItem(std::make_shared<UITabBarItem>("Education", UIImage::named("tab-education")));
}
