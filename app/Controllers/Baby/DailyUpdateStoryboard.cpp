#include "Controllers/Baby/DailyUpdateStoryboard.h"

#include "Controllers/Baby/DailyUpdateViewController.h"
#include "Controllers/Baby/MeasurementsViewController.h"
#include "Extensions/UIColor+Palette.h"
#include "uikit/controllers/UIScreen.h"
#include "uikit/controllers/UIStoryboard.h"
#include "uikit/view/NSLayoutConstraint.h"
#include "uikit/view/UIImageView.h"

#include <mutex>

namespace {

// The empty-state scene: a plain controller whose view says that there is no baby yet.
UIViewControllerPtr makeNoBabyScene() {
    auto controller = std::make_shared<UIViewController>();
    auto root = std::make_shared<UIView>(UIScreen::main().bounds());
    root->setBackgroundColor(UIColor::whiteColor());
    auto picture = std::make_shared<UIImageView>(UIImage::named("card_default_baby"));
    picture->setContentMode(UIViewContentMode::scaleAspectFit);
    auto heading = std::make_shared<UILabel>();
    heading->setText(kNoBabyTitle);
    heading->setFont(UIFont::systemFont(20, UIFont::Weight::semibold));
    heading->setTextAlignment(NSTextAlignment::center);
    auto message = std::make_shared<UILabel>();
    message->setText(kNoBabyMessage);
    message->setFont(UIFont::systemFont(15));
    message->setTextColor(UIColorPalette::contentColor2());
    message->setTextAlignment(NSTextAlignment::center);
    message->setNumberOfLines(0);
    for (const auto& v : std::initializer_list<std::shared_ptr<UIView>>{picture, heading, message}) {
        v->setTranslatesAutoresizingMaskIntoConstraints(false);
        root->addSubview(v);
    }
    NSLayoutConstraint::activate({
        picture->centerXAnchor().constraintEqualTo(root->centerXAnchor()),
        picture->widthAnchor().constraintEqualToConstant(96),
        picture->heightAnchor().constraintEqualToConstant(96),
        heading->topAnchor().constraintEqualTo(picture->bottomAnchor(), 20),
        heading->centerYAnchor().constraintEqualTo(root->centerYAnchor()),
        heading->leadingAnchor().constraintEqualTo(root->leadingAnchor(), 32),
        heading->trailingAnchor().constraintEqualTo(root->trailingAnchor(), -32),
        message->topAnchor().constraintEqualTo(heading->bottomAnchor(), 8),
        message->leadingAnchor().constraintEqualTo(root->leadingAnchor(), 32),
        message->trailingAnchor().constraintEqualTo(root->trailingAnchor(), -32),
    });
    controller->setView(root);
    controller->navigationItem()->title = kNoBabyTitle;
    return controller;
}

} // namespace

void registerDailyUpdateStoryboard() {
    static std::once_flag once;
    std::call_once(once, [] {
        UIStoryboard::Definition d;
        d.scene(DailyUpdateViewController::storyboardIdentifier(), [] { return std::make_shared<DailyUpdateViewController>(); });
        d.segue(DailyUpdateViewController::storyboardIdentifier(), DailyUpdateViewController::kMeasurementsSegue,
                UIStoryboard::SegueDefinition(MeasurementsViewController::storyboardIdentifier(), UIStoryboardSegue::Kind::show));
        d.scene(MeasurementsViewController::storyboardIdentifier(), [] { return std::make_shared<MeasurementsViewController>(); });
        d.scene("NoBabyViewController", makeNoBabyScene);
        UIStoryboard::registerStoryboard("DailyUpdate", std::move(d));
    });
}
