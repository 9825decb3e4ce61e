#include "Extensions/UIBarButtonItem+Badge.h"

#include "Extensions/UIColor+Palette.h"
#include "uikit/controllers/UIScreen.h"

#include <string>

namespace {
const char badgeKey = 0;
using Badge = std::shared_ptr<CALayer>;
} // namespace

std::shared_ptr<CAShapeLayer> badgeLayer(const UIBarButtonItem& item) {
    const Badge* badge = item.associatedObject<Badge>(&badgeKey);
    return badge ? std::dynamic_pointer_cast<CAShapeLayer>(*badge) : nullptr;
}

void addOrUpdateBadge(UIBarButtonItem& item, long number, const UIColor& /*color*/) {
    if (badgeLayer(item)) {
        updateBadge(item, number);
        return;
    }
    const auto& view = item.view();
    if (!view) return;

    // A plain container: no path, no fill.
    auto container = std::make_shared<CAShapeLayer>();
    container->fillColor = std::nullopt;
    view->layer()->addSublayer(container);

    const CGFloat w = view->frame().size.width, h = view->frame().size.height;
    auto text = std::make_shared<CATextLayer>();
    text->setFrame({0.25 * w, h / 3, 0.5 * w, 0.5 * h});
    text->string = std::to_string(number);
    text->alignmentMode = CATextLayerAlignmentMode::center;
    text->fontSize = 11;
    text->foregroundColor = UIColorPalette::cwy_mountainMeadow();
    text->backgroundColor = UIColor::clearColor();
    text->contentsScale = UIScreen::main().scale();
    container->addSublayer(text);

    item.setAssociatedObject(&badgeKey, Badge(container));
}

void updateBadge(UIBarButtonItem& item, long number) {
    auto badge = badgeLayer(item);
    if (!badge) return;
    for (const auto& layer : badge->sublayers()) {
        if (auto text = std::dynamic_pointer_cast<CATextLayer>(layer)) {
            text->string = std::to_string(number);
            text->setNeedsDisplay();
            return;
        }
    }
}

void removeBadge(UIBarButtonItem& item) {
    if (auto badge = badgeLayer(item)) badge->removeFromSuperlayer();
    // Forgotten too: otherwise later calls would only renumber the detached badge.
    item.setAssociatedObject(&badgeKey, {});
}
