#include "KYFloatingActionButton/KYButton.h"

#include "Extensions/UIColor+Palette.h"
#include "uikit/controls/UIViewAnimation.h"

#include <numbers>

namespace {

UIColor madeInCodeColor() {
    return UIColorWithHex("#BBB54D", 1.0);
}

// Seconds between the starts of neighbouring items' animations.
constexpr double itemStagger = 0.15;

} // namespace

// How one open type moves its items. An opening first places item i at
//   y = F.y + direction * h * (i + step) + gap
// (F the button's frame, h its height), then animates it in; a closing animates the items away in
// reverse order.
struct KYButton::Motion {
    bool pops;           // grows out of nothing, instead of sliding one height further
    CGFloat direction;   // -1 above the button, +1 below
    CGFloat step;        // 0: item 0 starts on the button (slides), 1: one height away (pops)
    CGFloat gap;         // room between the button and the items below it
    double openDuration; // closing always takes 0.2 s
};

KYButton::KYButton() : UIView(CGRect(0, 0, 55, 55)) {
    setBackgroundColor(madeInCodeColor());
    setup();
}

KYButton::KYButton(NSCoder&) : awaitingSetup_(true) {}

KYButton::KYButton(const CGRect& frame) : UIView(frame) {}

void KYButton::setup() {
    const UIColor color = backgroundColor().value_or(madeInCodeColor());
    buttonLayer = std::make_shared<ButtonLayer>(color);
    orignalColor = color;
    setBackgroundColor(UIColor::clearColor());
    layer()->shadowColor = UIColor::blackColor();
    layer()->shadowOpacity = 0.45f;
    layer()->shadowOffset = {0, 0};
    layer()->addSublayer(buttonLayer);
}

void KYButton::awakeFromNib() {
    UIView::awakeFromNib();
    if (!awaitingSetup_) return;
    awaitingSetup_ = false;
    setup();
}

void KYButton::setPlusColor(const UIColor& color) {
    plusColor_ = color;
    if (buttonLayer) buttonLayer->setPlusColor(color);
}

void KYButton::layoutSubviews() {
    UIView::layoutSubviews();
    if (buttonLayer) buttonLayer->setFrame(bounds());
    invalidateIntrinsicContentSize();
}

// --- Opening and closing -------------------------------------------------------------------------

void KYButton::openButton() {
    isHide = false;
    overLayView = std::make_shared<OverLayView>();
    auto overlay = overLayView;
    if (auto parent = superview()) parent->insertSubviewBelow(overlay, shared_from_this());
    std::weak_ptr<UIView> weakSelf = weak_from_this();
    overlay->addAction(
        [weakSelf](UIControl*) {
            if (auto self = std::static_pointer_cast<KYButton>(weakSelf.lock())) self->closeButton();
        },
        UIControlEventTouchUpInside);
    UIView::animate(0.3, [this, overlay] {
        layer()->setTransform(CATransform3DMakeRotation(-std::numbers::pi / 4, 0, 0, 1));
        overlay->setBackgroundColor(UIColor::blackColor().withAlphaComponent(0.5));
    });
    for (const auto& item : items)
        overlay->addSubview(item);
    runItemAnimation(true);
    if (auto delegate = kyDelegate.get()) delegate->openKYButton(*this);
}

void KYButton::closeButton() {
    auto overlay = overLayView;
    UIView::animate(0.3, [this, overlay] {
        layer()->setTransform(CATransform3DMakeRotation(0, 0, 0, 1));
        if (overlay) overlay->setBackgroundColor(UIColor::blackColor().withAlphaComponent(0.0));
    });
    runItemAnimation(false);
    if (auto delegate = kyDelegate.get()) delegate->closeKYButton(*this);
    // No item animation will end the closing: it ends now, or the clear backdrop would stay over
    // the screen taking every touch.
    if (items.empty()) finishClosing(overlay);
}

void KYButton::finishClosing(const std::shared_ptr<OverLayView>& overlay) {
    // A closing that ends after a newer opening leaves that opening alone.
    if (overlay != overLayView) {
        if (overlay) overlay->removeFromSuperview();
        return;
    }
    isHide = true;
    if (overlay) overlay->removeFromSuperview();
}

void KYButton::runItemAnimation(bool opening) {
    switch (openType) {
    case openButtonType::slideUp:
        slideUpAnimation(opening);
        break;
    case openButtonType::slideDown:
        slideDownAnimation(opening);
        break;
    case openButtonType::popUp:
        popUpAnimation(opening);
        break;
    case openButtonType::popDown:
        popDownAnimation(opening);
        break;
    }
}

void KYButton::slideUpAnimation(bool opening) {
    animateItems({false, -1, 0, 0, 0.2}, opening);
}

void KYButton::slideDownAnimation(bool opening) {
    animateItems({false, +1, 0, 25, 0.2}, opening);
}

void KYButton::popUpAnimation(bool opening) {
    animateItems({true, -1, 1, 0, 0.3}, opening);
}

void KYButton::popDownAnimation(bool opening) {
    animateItems({true, +1, 1, 25, 0.3}, opening);
}

void KYButton::animateItems(const Motion& motion, bool opening) {
    // The button's frame as laid out, without the turn an opening gives it.
    const CGRect b = bounds();
    const CGPoint c = center();
    const CGRect f(c.x - b.width() / 2, c.y - b.height() / 2, b.width(), b.height());
    const CGFloat h = f.height();
    const std::size_t n = items.size();
    if (opening) {
        for (std::size_t i = 0; i < n; ++i) {
            const auto& item = items[i];
            const CGFloat y =
                f.minY() + motion.direction * h * (static_cast<CGFloat>(i) + motion.step) + motion.gap;
            item->setFrame(CGRect(f.minX(), y, f.width(), h));
            if (motion.pops) item->setTransform(CGAffineTransform::makeScale(0, 0));
            const CGAffineTransform shown = motion.pops
                                                ? CGAffineTransform::identity()
                                                : CGAffineTransform::makeTranslation(0, motion.direction * h);
            UIView::animate(motion.openDuration, itemStagger * static_cast<double>(i), 1.0, 1.0, 0,
                            [item, shown] {
                                item->setTransform(shown);
                                item->setAlpha(1);
                            });
        }
        return;
    }
    auto overlay = overLayView;
    std::weak_ptr<UIView> weakSelf = weak_from_this();
    for (std::size_t k = 0; k < n; ++k) {
        const auto& item = items[n - 1 - k];
        const CGAffineTransform gone =
            motion.pops ? CGAffineTransform::makeScale(0.1, 0.1) : CGAffineTransform::identity();
        const bool last = k + 1 == n;
        const bool pops = motion.pops;
        UIView::animate(
            0.2, itemStagger * static_cast<double>(k), 1.0, 1.0, 0,
            [item, gone] {
                item->setTransform(gone);
                item->setAlpha(0);
            },
            [weakSelf, overlay, item, last, pops](bool) {
                if (last)
                    if (auto self = std::static_pointer_cast<KYButton>(weakSelf.lock()))
                        self->finishClosing(overlay);
                if (pops) item->setTransform(CGAffineTransform::identity());
            });
    }
}

// --- Items -----------------------------------------------------------------------------------------

void KYButton::appendItem(const UIColor& color, const std::optional<std::string>* title,
                          const std::shared_ptr<UIImage>* image, KYButtonCells::ActionClosure handle) {
    auto item = std::make_shared<KYButtonCells>();
    item->setButtonItemColor(color);
    if (image) item->setIcon(*image);
    // Hidden until an opening shows it.
    item->setBackgroundColor(UIColor::clearColor());
    item->setAlpha(0);
    if (title) item->setTitle(*title);
    // Without a title colour the item keeps its own white.
    if (fabTitleColor) item->setTitleColor(*fabTitleColor);
    if (handle) item->actionCloure = std::move(handle);
    item->actionButton = std::static_pointer_cast<KYButton>(weak_from_this().lock());
    items.push_back(item);
}

void KYButton::add(const UIColor& color) {
    appendItem(color, nullptr, nullptr, {});
}

void KYButton::add(const UIColor& color, const std::optional<std::string>& title) {
    appendItem(color, &title, nullptr, {});
}

void KYButton::add(const UIColor& color, const std::optional<std::string>& title,
                   const std::shared_ptr<UIImage>& image) {
    appendItem(color, &title, &image, {});
}

void KYButton::add(const UIColor& color, const std::optional<std::string>& title,
                   const std::shared_ptr<UIImage>& image, KYButtonCells::ActionClosure handle) {
    appendItem(color, &title, &image, std::move(handle));
}

// --- Touches -----------------------------------------------------------------------------------------

void KYButton::touchesBegan(const TouchSet&, const UIEvent*) {
    hilighColor = orignalColor;
    if (buttonLayer && hilighColor) buttonLayer->backgroundColor = whiteWithRate(*hilighColor, 0.7);
}

void KYButton::touchesEnded(const TouchSet&, const UIEvent*) {
    auto keep = weak_from_this().lock();
    if (isHide)
        openButton();
    else
        closeButton();
    restoreColor();
}

void KYButton::touchesCancelled(const TouchSet&, const UIEvent*) {
    restoreColor();
}

void KYButton::restoreColor() {
    if (buttonLayer) buttonLayer->backgroundColor = orignalColor;
}
