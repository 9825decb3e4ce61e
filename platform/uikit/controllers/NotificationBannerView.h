#pragma once

// The banner the system drops in at the top of the screen for a notification that arrives while
// the application is in front and asks to be shown as an alert: the application's name, the
// notification's title and text. A tap on it is a tap on the notification. Main thread only.

#include "uikit/view/UILabel.h"
#include "uikit/view/UIView.h"

#include <functional>
#include <memory>
#include <string>

namespace cw {

class NotificationBannerView : public UIView {
public:
    NotificationBannerView(const std::string& applicationName, const std::string& title, const std::string& body);
    std::string className() const override { return "_UINotificationBannerView"; }

    // Runs when a finger lifts on the banner.
    std::function<void()> onTap;

    // The banner's frame in a window of `width` points: across the top, inset from the edges.
    CGRect frameInWindow(CGFloat width) const;
    void layoutSubviews() override;

    void touchesBegan(const TouchSet& touches, const UIEvent* event) override;
    void touchesEnded(const TouchSet& touches, const UIEvent* event) override;
    void touchesCancelled(const TouchSet& touches, const UIEvent* event) override;

private:
    CGFloat heightForWidth(CGFloat width) const;

    std::shared_ptr<UILabel> app_, when_, title_, body_;
};

} // namespace cw
