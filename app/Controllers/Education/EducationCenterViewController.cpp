#include "Controllers/Education/EducationCenterViewController.h"

#include "Controllers/Education/CategoriesEducationController.h"
#include "Controllers/Education/EducationCenterSearchViewController.h"
#include "Controllers/Education/RecommendedEducationCenterController.h"
#include "Extensions/UIColor+Palette.h"
#include "Extensions/UIFont+Avenir.h"
#include "foundation/dispatch/DispatchQueue.h"

namespace {

struct Tab {
    const char* title;
    const char* image;
    const char* selectedImage;
};

// The four tabs, in order.
constexpr Tab kTabs[] = {
    {"Recommended", "bec_recommended", "bec_recommended_selected"},
    {"Categories", "bec_categories", "bec_categories_selected"},
    {"Search", "bec_search", "bec_search_selected"},
    {"Bookmarked", "bec_bookmarked", "bec_bookmarked_selected"},
};

} // namespace

std::shared_ptr<EducationCenterViewController> EducationCenterViewController::make(std::optional<std::string> searchQuery) {
    auto controller = std::make_shared<EducationCenterViewController>();
    controller->searchQuery = std::move(searchQuery);
    controller->loadViewIfNeeded();
    return controller;
}

void EducationCenterViewController::viewDidLoad() {
    UITabBarController::viewDidLoad();
    view()->setBackgroundColor(UIColorWithHex("#EAE6E4", 1.0));
    setTitle(std::string(kTitle));
    tabBar()->barTintColor = UIColorPalette::cwy_mountainMeadow();

    // Light titles for the library's own green bar. They go on its four items only: set on the
    // process-wide appearance they would also dress every tab bar made afterwards, and the main
    // one, made again for the next member, would show white titles on its white bar.
    const UIFont font = cw::avenirFont(10);
    TextAttributes normal;
    normal.foregroundColor = UIColorPalette::disabledColor();
    normal.font = font;
    TextAttributes selected;
    selected.foregroundColor = UIColor::whiteColor();
    selected.font = font;

    auto search = std::make_shared<EducationCenterSearchViewController>();
    std::vector<UIViewControllerPtr> children = {std::make_shared<RecommendedEducationCenterController>(false),
                                                 std::make_shared<CategoriesEducationController>(), search,
                                                 std::make_shared<RecommendedEducationCenterController>(true)};
    setViewControllers(children);
    for (std::size_t i = 0; i < children.size(); ++i) {
        auto item = std::make_shared<UITabBarItem>(std::string(kTabs[i].title), UIImage::named(kTabs[i].image));
        item->tag = kTabTag;
        item->setTitleTextAttributes(normal, UIBarItemState::normal);
        item->setTitleTextAttributes(selected, UIBarItemState::selected);
        children[i]->setTabBarItem(item);
        item->setSelectedImage(UIImage::named(kTabs[i].selectedImage));
    }
    if (searchQuery) {
        search->initialQuery = searchQuery;
        setSelectedIndex(kSearchTab);
    }
}

void EducationCenterViewController::hideRedDot(bool hideRedDot) {
    if (hideRedDot) return;
    const auto& bar = tabBar();
    for (const auto& subview : bar->subviews()) {
        if (subview->tag() != kRedDotTag) continue;
        subview->removeFromSuperview();
        break;
    }
    const auto& items = bar->items();
    if (items.empty() || !items.front()->selectedImage()) return;
    const CGFloat n = static_cast<CGFloat>(items.size());
    const CGFloat width = view()->bounds().width();
    const CGFloat imageWidth = items.front()->selectedImage()->size().width;
    const CGFloat x = width / (2 * n) + imageWidth / 2 - 5;
    auto dot = std::make_shared<UIView>(CGRect{x, 5, 8, 8});
    dot->setTag(kRedDotTag);
    dot->setBackgroundColor(UIColor::redColor());
    dot->layer()->cornerRadius = 4;
    bar->addSubview(dot);
    DispatchQueue::main().asyncAfter(DispatchTime::now() + kRedDotSeconds, [dot] { dot->removeFromSuperview(); });
}

namespace {

template <class T> std::shared_ptr<T> child(const UITabBarController& tabs, std::size_t index) {
    const auto& children = tabs.viewControllers();
    return index < children.size() ? std::dynamic_pointer_cast<T>(children[index]) : nullptr;
}

} // namespace

std::shared_ptr<RecommendedEducationCenterController> EducationCenterViewController::recommendedController() const {
    return child<RecommendedEducationCenterController>(*this, 0);
}

std::shared_ptr<CategoriesEducationController> EducationCenterViewController::categoriesController() const {
    return child<CategoriesEducationController>(*this, 1);
}

std::shared_ptr<EducationCenterSearchViewController> EducationCenterViewController::searchController() const {
    return child<EducationCenterSearchViewController>(*this, kSearchTab);
}

std::shared_ptr<RecommendedEducationCenterController> EducationCenterViewController::bookmarkedController() const {
    return child<RecommendedEducationCenterController>(*this, 3);
}
