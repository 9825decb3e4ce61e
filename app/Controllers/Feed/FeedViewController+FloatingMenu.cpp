// The feed's floating menu (write a post, call the hospital, send feedback by mail), the filter
// screen it presents from its filter button, and the reports of the screens it opens: a changed
// filter, a created post and a new comment each refresh the feed.

#include "Controllers/Feed/FeedEventDetail.h"
#include "Controllers/Feed/FeedViewController.h"
#include "Extensions/UIColor+Palette.h"
#include "foundation/url/URL.h"
#include "uikit/controllers/UIAlertController.h"
#include "uikit/controllers/UIApplication.h"
#include "uikit/controllers/UIBarItems.h"
#include "uikit/controllers/UINavigationController.h"

namespace {

using Event = FeedEventDetail;
constexpr Event kMenuOpened{"flyOutMenuTapped", "User tapped on the flyout menu button"};
constexpr Event kShowPostCreate{"feedViewShowPostCreateView", "User tapped to create a post"};
constexpr Event kPostCreated{"feedViewUserCreatedPost", "User created a post"};
constexpr Event kPhoneCall{"phoneCallTapped", "User tapped on the phone call"};
constexpr Event kFeedback{"sendFeedbackScreenTapped", "User tapped on the send feedback screen"};
constexpr Event kShowFilter{"feedViewShowFilterView", "User tapped to open filter"};
constexpr Event kFilterApplied{"feedViewFilterTapped", "User tapped filter"};

// A screen the feed presents: sliding up over the feed's own area.
std::shared_ptr<UINavigationController> presentedInNavigation(const UIViewControllerPtr& root) {
    auto navigation = std::make_shared<UINavigationController>(root);
    navigation->modalTransitionStyle = UIModalTransitionStyle::coverVertical;
    navigation->modalPresentationStyle = UIModalPresentationStyle::currentContext;
    return navigation;
}

} // namespace

// --- The menu ------------------------------------------------------------------------------------

void FeedViewController::addFloatingMenuItems() {
    struct Item {
        const char* title;
        const char* image;
        void (FeedViewController::*action)();
    };
    static constexpr Item items[] = {
        {"POST", "flyout_menu_compose", &FeedViewController::presentPostViewController},
        {"CALL", "flyout_menu_call", &FeedViewController::callHospital},
        {"FEEDBACK", "flyout_menu_feedback", &FeedViewController::sendFeedback},
    };
    for (const auto& item : items)
        floatingActionButton->add(UIColor::clearColor(), std::string(item.title), UIImage::named(item.image),
                                  [weak = weakSelf(), action = item.action](KYButtonCells&) {
                                      if (auto self = weak.lock()) ((*self).*action)();
                                  });
}

void FeedViewController::openKYButton(KYButton&) {
    sendEventNow(ScreenAction::Tap, kMenuOpened.dictionary());
}

void FeedViewController::presentPostViewController() {
    sendEvent(rawValue(ScreenAction::Tap), kShowPostCreate.dictionary());
    auto composer = std::make_shared<PostViewController>();
    composer->delegate = sharedSelf();
    present(presentedInNavigation(composer), true);
}

void FeedViewController::callHospital() {
    const auto url = URL::fromString(hospitalPhoneURL);
    auto& application = UIApplication::shared();
    if (!url || !application.canOpenURL(*url)) return;
    application.open(*url);
    sendEventNow(ScreenAction::Tap, kPhoneCall.dictionary());
}

void FeedViewController::sendFeedback() {
    openEmailForFeedback();
    sendEventNow(ScreenAction::Tap, kFeedback.dictionary());
}

void FeedViewController::openEmailForFeedback() {
    if (MFMailComposeViewController::canSendMail()) {
        auto mail = std::make_shared<MFMailComposeViewController>();
        // The composer's bar buttons take the app's green.
        mail->view()->setTintColor(UIColorPalette::cwy_mountainMeadow());
        mail->setToRecipients({feedbackAddress});
        mail->setSubject(feedbackSubject);
        mail->setMessageBody(feedbackBody, false);
        mail->setMailComposeDelegate(sharedSelf());
        present(mail, true);
        return;
    }
    auto alert = UIAlertController::make(std::nullopt, std::string(feedbackWithoutMail) + " " + feedbackAddress,
                                         UIAlertControllerStyle::alert);
    alert->addAction(UIAlertAction::make(std::string("OK"), UIAlertActionStyle::cancel));
    present(alert, true);
}

void FeedViewController::didFinishWith(MFMailComposeViewController& controller, MFMailComposeResult,
                                       const std::optional<NSError>&) {
    // Sent, saved, cancelled or failed: the composer has said what happened; it only goes away.
    controller.dismiss(true);
}

// --- Filter --------------------------------------------------------------------------------------

void FeedViewController::presentFilterViewController(UIButton*) {
    sendEvent(rawValue(ScreenAction::Tap), kShowFilter.dictionary());
    auto filter = std::make_shared<FilterViewController>();
    filter->delegate = sharedSelf();
    auto navigation = presentedInNavigation(filter);
    auto done = std::make_shared<UIBarButtonItem>(std::string("Done"), UIBarButtonItemStyle::done,
                                                  [weak = weakSelf()](UIBarButtonItem&) {
                                                      if (auto self = weak.lock()) self->filterModalCancelled();
                                                  });
    done->tintColor = UIColorPalette::cwy_mountainMeadow();
    filter->navigationItem()->setRightBarButtonItem(done, true);
    present(navigation, true);
}

void FeedViewController::filterModalCancelled() {
    // The filter screen saves the choice and reports it as it goes.
    dismiss(true);
}

void FeedViewController::applyFilterToView() {
    sendEvent(rawValue(ScreenAction::Tap), kFilterApplied.dictionary());
    filterResponseData();
    tableView->reloadData();
}

// --- Reports of the screens opened from here -----------------------------------------------------

void FeedViewController::succesfullyPosted() {
    moveThePostToTop = true;
    // A fetch sent before the post was taken would not hold it.
    fetchContent(FeedDataStore::Freshness::fromNow);
    tableView->setContentOffset({0, 0}, false);
    sendEvent(rawValue(ScreenAction::Tap), kPostCreated.dictionary());
}

void FeedViewController::handleNewComment() {
    fetchContent(FeedDataStore::Freshness::fromNow);
}
