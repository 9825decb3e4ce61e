#include "Extensions/UIViewController+LoadingIndicator.h"

#include "uikit/controllers/UIBarItems.h"
#include "uikit/view/CATransaction.h"

#include <cstdint>
#include <vector>

namespace {

// The controller's box under this key points at its overlay.
char overlayKey = 1;
// On the overlay: how many shows it has had, so that a hide can tell whether a show came after it.
char showCountKey = 1;
// On the controller: the bar items its overlay took out of use, to give back when it goes.
char blockedItemsKey = 1;

struct BlockedBarItems {
    std::vector<std::weak_ptr<UIBarButtonItem>> items;
};

// The overlay covers the screen's view, not the navigation bar above it: the bar's buttons (a
// composer's Submit, a form's Save) would take a second tap while the first one's request is on its
// way. They are out of use while the overlay is shown: the screen's own items and those of the
// screens that hold it, which the bar shows for it. The back button stays: leaving is no second
// action.
void blockBarItems(UIViewController& controller) {
    BlockedBarItems blocked;
    if (const auto* earlier = controller.associatedObject<BlockedBarItems>(&blockedItemsKey)) blocked = *earlier;
    auto block = [&blocked](const std::vector<UIBarButtonItemPtr>& items) {
        for (const auto& item : items) {
            if (!item || !item->isEnabled()) continue;
            item->setEnabled(false);
            blocked.items.push_back(item);
        }
    };
    for (UIViewController* screen = &controller; screen;) {
        const auto& item = screen->navigationItem();
        if (item) {
            block(item->leftBarButtonItems());
            block(item->rightBarButtonItems());
        }
        auto parent = screen->parentViewController();
        screen = parent.get();
    }
    controller.setAssociatedObject(&blockedItemsKey, std::move(blocked));
}

void unblockBarItems(UIViewController& controller) {
    const auto* blocked = controller.associatedObject<BlockedBarItems>(&blockedItemsKey);
    if (!blocked) return;
    for (const auto& weak : blocked->items)
        if (auto item = weak.lock()) item->setEnabled(true);
    controller.setAssociatedObject(&blockedItemsKey, BlockedBarItems{});
}

double fadeDuration(bool animated) {
    return animated ? CATransaction::animationDuration() : 0;
}

std::uint64_t showCount(ActivityOverlayView& overlay) {
    const auto* count = overlay.associatedObject<std::uint64_t>(&showCountKey);
    return count ? *count : 0;
}

// The overlay the controller shows now, if any.
std::shared_ptr<ActivityOverlayView> currentActivityOverlay(UIViewController& controller) {
    const auto* box = controller.associatedObject<Weak<ActivityOverlayView>>(&overlayKey);
    return box ? box->object.lock() : nullptr;
}

} // namespace

void showActivityOverlay(UIViewController& controller, bool animated,
                         const std::optional<std::string>& description, const UIViewPtr& view) {
    const UIViewPtr container = view ? view : controller.view();
    auto overlay = currentActivityOverlay(controller);
    if (!overlay) overlay = std::make_shared<ActivityOverlayView>(container->bounds());
    overlay->setAssociatedObject(&showCountKey, showCount(*overlay) + 1);

    overlay->setAlpha(0);
    overlay->setTranslatesAutoresizingMaskIntoConstraints(false);
    overlay->removeFromSuperview();
    container->addSubview(overlay);
    // The container's edges, not its safe area: the whole screen dims, the indicator is centred in
    // the safe area by the overlay itself.
    NSLayoutConstraint::activate({
        overlay->topAnchor().constraintEqualTo(container->topAnchor()),
        overlay->bottomAnchor().constraintEqualTo(container->bottomAnchor()),
        overlay->leadingAnchor().constraintEqualTo(container->leadingAnchor()),
        overlay->trailingAnchor().constraintEqualTo(container->trailingAnchor()),
    });
    controller.setAssociatedObject(&overlayKey, Weak<ActivityOverlayView>{overlay});
    blockBarItems(controller);
    overlay->label()->setText(description);
    overlay->setNeedsLayout();
    overlay->layoutIfNeeded();
    UIView::animate(fadeDuration(animated), [overlay] { overlay->setAlpha(1.0); });
}

void hideActivityOverlay(UIViewController& controller, bool animated) {
    auto overlay = currentActivityOverlay(controller);
    if (!overlay) return;
    const std::uint64_t shown = showCount(*overlay);
    // At once, not when the fade ends: the screen may set its buttons as its answer requires.
    unblockBarItems(controller);
    // The completion keeps the overlay until the fade is over.
    UIView::animate(
        fadeDuration(animated), [overlay] { overlay->setAlpha(0); },
        [overlay, shown](bool) {
            // A show while this hide faded wants the overlay to stay.
            if (showCount(*overlay) == shown) overlay->removeFromSuperview();
        });
}

void startFullScreenLoadingOverlay(UIViewController& controller) {
    showActivityOverlay(controller, true, std::nullopt, nullptr);
}

void stopFullScreenLoadingOverlay(UIViewController& controller) {
    hideActivityOverlay(controller, true);
}

std::string loadingOverlayID(const UIViewController&) {
    return "Loading Overlay Container";
}
