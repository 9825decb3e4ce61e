#include "uikit/controllers/NotificationBannerView.h"

#include <algorithm>
#include <cctype>

namespace cw {

namespace {

constexpr CGFloat kBannerMargin = 8;
constexpr CGFloat kBannerPadding = 12;
constexpr CGFloat kBannerHeaderHeight = 18;

std::shared_ptr<UILabel> bannerLabel(const std::string& text, const UIFont& font, const UIColor& color, long lines) {
    auto label = std::make_shared<UILabel>();
    label->setText(text);
    label->setFont(font);
    label->setTextColor(color);
    label->setNumberOfLines(lines);
    label->setHidden(text.empty());
    return label;
}

} // namespace

NotificationBannerView::NotificationBannerView(const std::string& applicationName, const std::string& title,
                                               const std::string& body) {
    setBackgroundColor(UIColor::withWhite(0.97, 0.97));
    layer()->cornerRadius = 13;
    setClipsToBounds(true);
    setAccessibilityIdentifier("NotificationBanner");
    std::string name = applicationName;
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::toupper(c); });
    const UIColor grey = UIColor::withWhite(0.45, 1);
    app_ = bannerLabel(name, UIFont::systemFont(13), grey, 1);
    when_ = bannerLabel("now", UIFont::systemFont(13), grey, 1);
    when_->setTextAlignment(NSTextAlignment::right);
    title_ = bannerLabel(title, UIFont::systemFont(15, UIFont::Weight::semibold), UIColor::blackColor(), 1);
    // The platform shows up to four lines of the text in a banner.
    body_ = bannerLabel(body, UIFont::systemFont(15), UIColor::blackColor(), 4);
    for (auto* l : {&app_, &when_, &title_, &body_})
        addSubview(*l);
}

CGFloat NotificationBannerView::heightForWidth(CGFloat width) const {
    const CGFloat textWidth = width - 2 * kBannerPadding;
    CGFloat y = 10 + kBannerHeaderHeight + 4;
    for (const auto* l : {&title_, &body_})
        if (!(*l)->isHidden()) y += (*l)->sizeThatFits({textWidth, 10000}).height;
    return y + kBannerPadding;
}

CGRect NotificationBannerView::frameInWindow(CGFloat width) const {
    const CGFloat w = std::max<CGFloat>(0, width - 2 * kBannerMargin);
    return {kBannerMargin, kBannerMargin, w, heightForWidth(w)};
}

void NotificationBannerView::layoutSubviews() {
    UIView::layoutSubviews();
    const CGFloat width = bounds().size.width;
    const CGFloat textWidth = width - 2 * kBannerPadding;
    app_->setFrame({kBannerPadding, 10, textWidth * 0.7, kBannerHeaderHeight});
    when_->setFrame({kBannerPadding + textWidth * 0.7, 10, textWidth * 0.3, kBannerHeaderHeight});
    CGFloat y = 10 + kBannerHeaderHeight + 4;
    for (auto* l : {&title_, &body_}) {
        if ((*l)->isHidden()) continue;
        const CGFloat h = (*l)->sizeThatFits({textWidth, 10000}).height;
        (*l)->setFrame({kBannerPadding, y, textWidth, h});
        y += h;
    }
}

void NotificationBannerView::touchesBegan(const TouchSet&, const UIEvent*) {
    setBackgroundColor(UIColor::withWhite(0.88, 0.97));
}

void NotificationBannerView::touchesEnded(const TouchSet&, const UIEvent*) {
    setBackgroundColor(UIColor::withWhite(0.97, 0.97));
    if (auto tap = onTap) tap();
}

void NotificationBannerView::touchesCancelled(const TouchSet&, const UIEvent*) {
    setBackgroundColor(UIColor::withWhite(0.97, 0.97));
}

} // namespace cw
