#include "kits/banners/GSMessage.h"

#include "foundation/dispatch/Timer.h"
#include "uikit/controls/UIEvent.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr CGFloat kHorizontalPadding = 16;
constexpr CGFloat kVerticalPadding = 12;

std::vector<GSMessage::Record>& records() {
    static std::vector<GSMessage::Record> all;
    return all;
}

template <class... Handlers> struct Overloaded : Handlers... {
    using Handlers::operator()...;
};
template <class... Handlers> Overloaded(Handlers...) -> Overloaded<Handlers...>;

GSMessage::Settings settingsFrom(const std::vector<GSMessageOptionValue>& options) {
    GSMessage::Settings settings;
    for (const auto& option : options)
        std::visit(Overloaded{
                       [&](const GSMessageOption::autoHide& o) { settings.autoHide = o.value; },
                       [&](const GSMessageOption::autoHideDelay& o) {
                           // A delay that is not a number of seconds keeps the default.
                           if (std::isfinite(o.seconds) && o.seconds >= 0) settings.autoHideDelay = o.seconds;
                       },
                       [&](const GSMessageOption::hideOnTap& o) { settings.hideOnTap = o.value; },
                       [&](const GSMessageOption::textNumberOfLines& o) {
                           settings.textNumberOfLines = std::max(0L, o.value);
                       },
                   },
                   option);
    return settings;
}

} // namespace

UIColor GSMessage::styleColor(GSMessageType type) {
    switch (type) {
    case GSMessageType::success:
        return {0x2F / 255.0, 0xA8 / 255.0, 0x63 / 255.0, 0.95};
    case GSMessageType::error:
        return {0xD9 / 255.0, 0x3F / 255.0, 0x3F / 255.0, 0.95};
    case GSMessageType::warning:
        return {0xE8 / 255.0, 0x93 / 255.0, 0x1C / 255.0, 0.95};
    }
    return UIColor::darkGrayColor();
}

GSMessage::GSMessage(std::string text, GSMessageType type, Settings settings)
    : text_(std::move(text)), type_(type), settings_(settings), label_(std::make_shared<UILabel>()) {
    setBackgroundColor(styleColor(type));
    setAutoresizingMask(UIViewAutoresizingFlexibleWidth);
    label_->setText(text_);
    label_->setTextColor(UIColor::whiteColor());
    label_->setFont(UIFont::systemFont(14, UIFont::Weight::medium));
    label_->setTextAlignment(NSTextAlignment::center);
    // "As many as the text needs" and counts past the most both stop at the most.
    label_->setNumberOfLines(settings_.textNumberOfLines == 0
                                 ? kMostNumberOfLines
                                 : std::min(settings_.textNumberOfLines, kMostNumberOfLines));
    addSubview(label_);
    setUserInteractionEnabled(true);
    addGestureRecognizer(std::make_shared<UITapGestureRecognizer>([this](UIGestureRecognizer&) {
        if (settings_.hideOnTap) hide();
    }));
}

GSMessage::~GSMessage() {
    if (autoHideTimer_) autoHideTimer_->invalidate();
}

CGFloat GSMessage::heightForWidth(CGFloat width) const {
    const CGFloat textWidth = std::max<CGFloat>(0, width - 2 * kHorizontalPadding);
    const CGFloat textHeight = label_->sizeThatFits({textWidth, UILayoutFittingExpandedSize.height}).height;
    return std::max(kMinimumHeight, std::ceil(textHeight + 2 * kVerticalPadding));
}

void GSMessage::layoutSubviews() {
    UIView::layoutSubviews();
    const CGRect b = bounds();
    label_->setFrame({kHorizontalPadding, 0, std::max<CGFloat>(0, b.size.width - 2 * kHorizontalPadding),
                      b.size.height});
}

void GSMessage::present(UIViewController& controller) {
    auto view = controller.view();
    const CGRect b = view->bounds();
    // Below the bars that the view reaches under (status and navigation bar), wherever it scrolled.
    const CGFloat top = b.origin.y + controller.barInsets().top;
    const CGFloat height = heightForWidth(b.size.width);
    setFrame({b.origin.x, top - height, b.size.width, height});
    view->addSubview(shared_from_this());
    UIView::animate(kAnimationDuration, 0, UIViewAnimationOptionCurveEaseOut,
                    [this, top] { setFrame({frame().origin.x, top, frame().size.width, frame().size.height}); });
    if (settings_.autoHide) {
        std::weak_ptr<UIView> weak = weak_from_this();
        autoHideTimer_ = Timer::scheduledTimer(settings_.autoHideDelay, false, [weak](Timer&) {
            if (auto banner = std::static_pointer_cast<GSMessage>(weak.lock())) banner->hide();
        });
    }
}

void GSMessage::hide(bool animated) {
    if (autoHideTimer_) {
        autoHideTimer_->invalidate();
        autoHideTimer_.reset();
    }
    if (!animated) {
        hiding_ = true;
        removeFromSuperview();
        return;
    }
    if (hiding_) return;
    hiding_ = true;
    auto self = std::static_pointer_cast<GSMessage>(shared_from_this());
    UIView::animate(
        kAnimationDuration, 0, UIViewAnimationOptionCurveEaseIn,
        [this] {
            setFrame({frame().origin.x, frame().origin.y - frame().size.height, frame().size.width,
                      frame().size.height});
        },
        [self](bool) { self->removeFromSuperview(); });
}

std::shared_ptr<GSMessage> GSMessage::shown(UIViewController& controller) {
    auto view = controller.viewIfLoaded();
    if (!view) return nullptr;
    for (auto it = view->subviews().rbegin(); it != view->subviews().rend(); ++it)
        if (auto banner = std::dynamic_pointer_cast<GSMessage>(*it); banner && !banner->isHiding()) return banner;
    return nullptr;
}

const std::vector<GSMessage::Record>& GSMessage::history() {
    return records();
}

void GSMessage::clearHistory() {
    records().clear();
}

void showMessage(UIViewController& controller, const std::string& text, GSMessageType type,
                 const std::vector<GSMessageOptionValue>& options) {
    const GSMessage::Settings settings = settingsFrom(options);
    // One banner per screen: the one shown (or sliding away) makes room at once.
    if (auto view = controller.viewIfLoaded()) {
        std::vector<std::shared_ptr<GSMessage>> earlier;
        for (const auto& subview : view->subviews())
            if (auto banner = std::dynamic_pointer_cast<GSMessage>(subview)) earlier.push_back(banner);
        for (const auto& banner : earlier)
            banner->hide(false);
    }
    auto banner = std::make_shared<GSMessage>(text, type, settings);
    banner->present(controller);
    records().push_back({text, type, settings, controller.weak_from_this()});
}

void hideMessage(UIViewController& controller) {
    if (auto banner = GSMessage::shown(controller)) banner->hide();
}
