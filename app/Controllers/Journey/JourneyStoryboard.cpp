#include "Controllers/Journey/JourneyStoryboard.h"

#include "Controllers/Journey/JourneyAddViewController.h"
#include "Controllers/Journey/JourneyEditViewController.h"
#include "Controllers/Journey/JourneyMilestoneViewController.h"
#include "Controllers/Journey/JourneyViewController.h"
#include "Controllers/Journey/JourneyViewController_old.h"
#include "Extensions/UIColor+Palette.h"
#include "uikit/controllers/UINavigationController.h"

#include <mutex>

namespace {

const std::string kAddNavigation = "JourneyAddNavigationController";
const std::string kEditNavigation = "JourneyEditNavigationController";

template <class T> UIViewControllerPtr make() {
    return std::make_shared<T>();
}

// A navigation controller of the storyboard whose root is another of its scenes.
std::function<UIViewControllerPtr()> navigationWithRoot(const std::string& root) {
    return [root] {
        auto navigation = std::make_shared<UINavigationController>(
            UIStoryboard::named("Journey")->instantiateViewController(root));
        navigation->navigationBar()->setTintColor(UIColorPalette::cwy_mountainMeadow());
        return std::static_pointer_cast<UIViewController>(navigation);
    };
}

UIStoryboard::Definition journeyStoryboard() {
    using Kind = UIStoryboardSegue::Kind;
    const std::string timeline = JourneyViewController::storyboardIdentifier();
    const std::string milestone = JourneyMilestoneViewController::storyboardIdentifier();
    UIStoryboard::Definition d;
    d.scene(timeline, make<JourneyViewController>);
    d.scene(kAddNavigation, navigationWithRoot(JourneyAddViewController::storyboardIdentifier()));
    d.scene(JourneyAddViewController::storyboardIdentifier(), make<JourneyAddViewController>);
    d.scene(milestone, make<JourneyMilestoneViewController>);
    d.scene(kEditNavigation, navigationWithRoot(JourneyEditViewController::storyboardIdentifier()));
    d.scene(JourneyEditViewController::storyboardIdentifier(), make<JourneyEditViewController>);
    d.segue(timeline, kJourneyAddMilestoneSegue, {kAddNavigation, Kind::presentModally});
    d.segue(timeline, kJourneyItemCellSegue, {milestone, Kind::show});
    d.segue(milestone, "toJourneyEdit", {kEditNavigation, Kind::presentModally});
    return d;
}

UIStoryboard::Definition journeyOldStoryboard() {
    UIStoryboard::Definition d;
    d.scene("JourneyViewController", make<JourneyViewController_old>);
    return d;
}

} // namespace

void registerJourneyStoryboard() {
    static std::once_flag once;
    std::call_once(once, [] {
        UIStoryboard::registerStoryboard("Journey", journeyStoryboard());
        UIStoryboard::registerStoryboard("Journey_old", journeyOldStoryboard());
    });
}
