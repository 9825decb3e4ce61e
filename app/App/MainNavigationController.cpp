#include "App/MainNavigationController.h"

#include "App/MainViewController.h"
#include "App/TabBarController.h"
#include "Controllers/SignIn/LaunchScreenController.h"
#include "Extensions/UIColor+Palette.h"

void MainNavigationController::viewDidLoad() {
    UINavigationController::viewDidLoad();
    setDelegate(std::dynamic_pointer_cast<UINavigationControllerDelegate>(shared_from_this()));
    const auto& bar = navigationBar();
    auto back = UIImage::named("cwy_back");
    bar->backIndicatorImage = back;
    bar->backIndicatorTransitionMaskImage = back;
    bar->setTintColor(UIColorPalette::cwy_mountainMeadow());
    TextAttributes title;
    title.font = UIFont::systemFont(18, UIFont::Weight::semibold);
    bar->titleTextAttributes = title;
    bar->setNeedsLayout();
}

bool MainNavigationController::hidesBarAbove(const UIViewController& controller) {
    return dynamic_cast<const MainViewController*>(&controller) ||
           dynamic_cast<const LaunchScreenController*>(&controller) ||
           dynamic_cast<const TabBarController*>(&controller);
}

void MainNavigationController::willShow(UINavigationController&, const UIViewControllerPtr& controller,
                                        bool animated) {
    if (!controller) return;
    controller->navigationItem()->backBarButtonItem =
        std::make_shared<UIBarButtonItem>(std::string(), UIBarButtonItemStyle::plain);
    setNavigationBarHidden(hidesBarAbove(*controller), animated);
}
