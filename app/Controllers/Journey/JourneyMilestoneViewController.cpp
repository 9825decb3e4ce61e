#include "Controllers/Journey/JourneyMilestoneViewController.h"

#include "Controllers/Journey/JourneyViewSupport.h"
#include "Extensions/UIColor+Palette.h"
#include "Extensions/UIFont+Named.h"
#include "Extensions/UIView+Autolayout.h"
#include "Extensions/UIView+ConstraintSubviews.h"
#include "Extensions/UIViewController+LoadingIndicator.h"
#include "Services/AuthenticationContext.h"
#include "Services/BabyService.h"
#include "Services/BaseHTTPService.h"
#include "kits/banners/GSMessage.h"
#include "kits/images/Kingfisher.h"
#include "uikit/controllers/UIAlertController.h"
#include "uikit/controllers/UINavigationController.h"
#include "uikit/controllers/UIScreen.h"
#include "uikit/controllers/UIStoryboard.h"
#include "uikit/graphics/UIImage.h"
#include "uikit/view/NSLayoutConstraint.h"

namespace {

std::shared_ptr<JourneyMilestoneViewController> strong(const std::weak_ptr<UIViewController>& weak) {
    return std::static_pointer_cast<JourneyMilestoneViewController>(weak.lock());
}

} // namespace

JourneyMilestoneViewController::JourneyMilestoneViewController() = default;

void JourneyMilestoneViewController::loadView() {
    auto root = std::make_shared<UIView>(UIScreen::main().bounds());
    root->setBackgroundColor(UIColorPalette::tableViewBackground());
    setView(root);

    auto picture = cw::journey::makePictureView(8);
    auto text = std::make_shared<UILabel>();
    text->setNumberOfLines(0);
    text->setTextAlignment(NSTextAlignment::center);
    text->setTextColor(UIColorPalette::textColor());
    if (auto font = UIFontNamed::avenirMedium(20)) text->setFont(*font);
    auto ok = std::make_shared<OvalButton>(CGRect(0, 0, 200, 48));
    ok->setTitle(std::string("OK"), UIControlStateNormal);
    const std::map<std::string, std::shared_ptr<UIView>> views{{"picture", picture}, {"text", text}, {"ok", ok}};
    cw::addSubviewsForConstraints(*root, views);
    lyt_layoutHorizontalWithMargin(*picture, 16);
    lyt_layoutHorizontalWithMargin(*text, 24);
    lyt_horizontalCenterInSuperView(*ok);
    lyt_setWidth(*ok, 200);
    lyt_setHeight(*ok, 48);
    root->addConstraint(picture->heightAnchor().constraintEqualTo(picture->widthAnchor()));
    root->addConstraints(NSLayoutConstraint::constraints("V:[picture]-20-[text]-(>=20)-[ok]", 0, {}, views));
    // Clear of the navigation bar above and the tab bar below.
    const auto safe = root->safeAreaLayoutGuide();
    root->addConstraint(picture->topAnchor().constraintEqualTo(safe->topAnchor(), 16));
    root->addConstraint(ok->bottomAnchor().constraintEqualTo(safe->bottomAnchor(), -24));

    label = text;
    imageView = picture;
    okButton = ok;
}

void JourneyMilestoneViewController::viewDidLoad() {
    UIViewController::viewDidLoad();
    showMilestone();
}

void JourneyMilestoneViewController::showMilestone() {
    if (auto picture = imageView.lock(); picture && milestone && milestone->imageURL)
        kf(*picture).setImage(BaseHTTPService::serverPictureURL(milestone->imageURL));
    if (auto text = label.lock()) text->setText(milestone ? milestone->overlayText : std::nullopt);
    if (milestone && milestone->isEditable.value_or(false)) {
        std::weak_ptr<UIViewController> weakSelf = weak_from_this();
        auto menu = std::make_shared<UIBarButtonItem>(UIImage::named(menuImageName), UIBarButtonItemStyle::plain,
                                                      [weakSelf](UIBarButtonItem&) {
                                                          if (auto s = strong(weakSelf)) s->editButtonTapped();
                                                      });
        menu->accessibilityIdentifier = menuImageName;
        navigationItem()->setRightBarButtonItem(menu, false);
    }
    if (auto ok = okButton.lock()) {
        // Shown again after an edit: one action is enough.
        ok->removeTarget(this, &JourneyMilestoneViewController::okButtonPressed, UIControlEventTouchUpInside);
        ok->addTarget(this, &JourneyMilestoneViewController::okButtonPressed, UIControlEventTouchUpInside);
    }
}

void JourneyMilestoneViewController::editButtonTapped() {
    std::weak_ptr<UIViewController> weakSelf = weak_from_this();
    auto sheet = UIAlertController::make(std::nullopt, std::nullopt, UIAlertControllerStyle::actionSheet);
    sheet->addAction(UIAlertAction::make("Edit", UIAlertActionStyle::default_, [weakSelf](UIAlertAction&) {
        if (auto s = strong(weakSelf)) s->performSegue(s->segueId, std::any(s.get()));
    }));
    sheet->addAction(UIAlertAction::make("Delete", UIAlertActionStyle::destructive, [weakSelf](UIAlertAction&) {
        if (auto s = strong(weakSelf)) s->confirmDelete();
    }));
    sheet->addAction(UIAlertAction::make("Cancel", UIAlertActionStyle::cancel));
    present(sheet, true);
}

void JourneyMilestoneViewController::okButtonPressed() {
    if (auto d = delegate.lock()) d->journeyMilestonViewControllerDidCancel(*this);
}

void JourneyMilestoneViewController::confirmDelete() {
    std::weak_ptr<UIViewController> weakSelf = weak_from_this();
    auto alert = UIAlertController::make(std::nullopt, std::string(deleteQuestion), UIAlertControllerStyle::alert);
    alert->addAction(UIAlertAction::make("Yes", UIAlertActionStyle::destructive, [weakSelf](UIAlertAction&) {
        if (auto s = strong(weakSelf)) s->deleteMilestone();
    }));
    alert->addAction(UIAlertAction::make("Cancel", UIAlertActionStyle::cancel));
    present(alert, true);
}

void JourneyMilestoneViewController::deleteMilestone() {
    showActivityOverlay(*this, true);
    std::int64_t itemId = 0, babyId = 0;
    const bool known = milestone && milestone->id && baby && baby->babyId();
    if (known) {
        itemId = *milestone->id;
        babyId = *baby->babyId();
    }
    auto user = AuthenticationContext::shared().user();
    // Without the milestone's id (or the baby's, or a member to send it for) there is nothing the
    // server could delete.
    if (!known || !user) {
        hideActivityOverlay(*this, true);
        showMessage(*this, RequestError::nilData().what(), GSMessageType::error);
        return;
    }
    std::weak_ptr<UIViewController> weakSelf = weak_from_this();
    auto failed = [weakSelf](const RequestError& error) {
        auto s = strong(weakSelf);
        if (!s) return;
        hideActivityOverlay(*s, true);
        showMessage(*s, error.what(), GSMessageType::error);
    };
    auto deleted = [weakSelf](const JSON&) {
        if (auto s = strong(weakSelf))
            if (auto d = s->delegate.lock()) d->journeyMilestonViewControllerDidDeleteMilestone(*s);
    };
    const JSON parameters(
        JSON::dictionary_t{{"baby_id", JSON(babyId)}, {"user_id", JSON(user->id())}, {"id", JSON(itemId)}});
    BabyService().post(
        "nicu_journey_delete", parameters,
        [deleted, failed](const BaseHTTPService::Task&, const std::optional<JSON>& reply) {
            BabyService::handleDictionaryResponse(reply, deleted, failed);
        },
        [failed](const BaseHTTPService::Task&, const NSError& error) { BabyService::handleError(&error, failed); });
}

void JourneyMilestoneViewController::prepare(UIStoryboardSegue& segue, const std::any&) {
    auto navigation = std::dynamic_pointer_cast<UINavigationController>(segue.destination());
    if (!navigation || navigation->viewControllers().empty()) return;
    auto edit = std::dynamic_pointer_cast<JourneyEditViewController>(navigation->viewControllers().front());
    if (!edit) return;
    edit->baby = baby;
    edit->milestone = milestone;
    edit->delegate = std::static_pointer_cast<JourneyMilestoneViewController>(shared_from_this());
}

void JourneyMilestoneViewController::journeyEditViewController(JourneyEditViewController&, const JourneyItem& edited) {
    milestone = edited;
    showMilestone();
    if (auto d = delegate.lock()) d->journeyMilestonViewControllerDidEditMilestone(*this);
}

void JourneyMilestoneViewController::journeyEditViewControllerDidCancel(JourneyEditViewController&) {
    if (presentedViewController()) dismiss(true);
}
