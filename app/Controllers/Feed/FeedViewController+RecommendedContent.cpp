// The red dot on the feed's menu button while recommended content waits. The feed only asks; the
// education library's recommended page tells the server the content was seen.

#include "Controllers/Feed/FeedViewController.h"
#include "Extensions/UIView+Autolayout.h"
#include "Services/AuthenticationContext.h"
#include "Services/NotificationService.h"
#include "foundation/dispatch/DispatchQueue.h"
#include "uikit/view/NSLayoutConstraint.h"

namespace {

constexpr CGFloat kRedDotSize = 8;

} // namespace

const std::shared_ptr<UIView>& FeedViewController::redDot() {
    if (redDot_) return redDot_;
    redDot_ = std::make_shared<UIView>();
    redDot_->setAccessibilityIdentifier(redDotIdentifier);
    redDot_->setBackgroundColor(UIColor::redColor());
    redDot_->setTranslatesAutoresizingMaskIntoConstraints(false);
    lyt_setWidth(*redDot_, kRedDotSize);
    lyt_setHeight(*redDot_, kRedDotSize);
    redDot_->layer()->cornerRadius = kRedDotSize / 2;
    const auto root = view();
    root->addSubview(redDot_);
    root->bringSubviewToFront(redDot_);
    if (const auto button = hamburgerButton.lock()) {
        using A = NSLayoutAttribute;
        root->addConstraint(NSLayoutConstraint::make(button, A::top, NSLayoutRelation::equal, redDot_, A::top, 1.0, 0));
        root->addConstraint(NSLayoutConstraint::make(button, A::right, NSLayoutRelation::equal, redDot_, A::right, 1.0, 0));
    }
    redDot_->setHidden(true);
    return redDot_;
}

void FeedViewController::checkForRecommendedContent() {
    const auto user = AuthenticationContext::shared().user();
    if (!user) return;
    const auto weak = weakSelf();
    // Queued like the reply's change, so that the dot is hidden before the reply can show it.
    DispatchQueue::main().async([weak] {
        if (auto self = weak.lock()) self->updateRedDot(true);
    });
    sendEvent(rawValue(ScreenAction::ServerRequest),
              {{"feedViewCheckForRecommendedContent", JSON("Checking for recommended content")}});
    NotificationService("notification").checkRecommended(user->id(), [weak](const JSON& reply) {
        if (auto self = weak.lock()) self->showRedDot(reply);
    });
}

void FeedViewController::showRedDot(const JSON& reply) {
    // Only a JSON Boolean decides: a number or a text leaves the dot hidden.
    const auto hide = reply["hide_red_dot"].bool_();
    if (!hide) return;
    sendEvent(rawValue(ScreenAction::ServerRequest),
              {{"feedViewShowRedDot", JSON(*hide ? "Red dot was hidden" : "Red dot was shown")}});
    DispatchQueue::main().async([weak = weakSelf(), hidden = *hide] {
        if (auto self = weak.lock()) self->updateRedDot(hidden);
    });
    checkingForRecommendedContent = false;
}

void FeedViewController::updateRedDot(bool hidden) {
    redDot()->setHidden(hidden);
    if (const auto hamburger = delegate.lock()) hamburger->hideRedDot(hidden);
}
