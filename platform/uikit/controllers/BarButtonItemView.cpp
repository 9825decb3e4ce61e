#include "uikit/controllers/BarButtonItemView.h"

#include <algorithm>

namespace cw {

namespace {
constexpr CGFloat kMinimumSide = 30;
}

std::shared_ptr<BarButtonItemView> BarButtonItemView::make(const UIBarButtonItemPtr& item, std::string barClass,
                                                           CGFloat barHeight) {
    // A bar that rebuilds its items takes their views back, with whatever was added to them.
    if (auto kept = std::dynamic_pointer_cast<BarButtonItemView>(item->view_);
        kept && kept->barClass_ == barClass && !kept->superviewPointer()) {
        kept->barHeight_ = barHeight;
        kept->refresh();
        return kept;
    }
    auto view = std::make_shared<BarButtonItemView>(item, std::move(barClass), barHeight);
    view->refresh();
    item->view_ = view;
    return view;
}

BarButtonItemView::BarButtonItemView(const UIBarButtonItemPtr& item, std::string barClass, CGFloat barHeight)
    : item_(item), barClass_(std::move(barClass)), barHeight_(barHeight) {
    std::weak_ptr<UIBarButtonItem> weakItem = item;
    onTap = [weakItem] {
        if (auto i = weakItem.lock()) i->sendAction();
    };
}

void BarButtonItemView::refresh() {
    auto item = item_.lock();
    if (!item || refreshing_) return;
    // Taking the item's tint tells this view its tint changed, which lands here again.
    refreshing_ = true;
    if (!observation_ && !weak_from_this().expired()) {
        std::weak_ptr<UIView> weakSelf = weak_from_this();
        observation_ = item->observeChanges([weakSelf] {
            if (auto s = weakSelf.lock()) {
                static_cast<BarButtonItemView&>(*s).refresh();
                if (auto bar = s->superview()) bar->setNeedsLayout();
            }
        });
    }
    if (const auto& custom = item->customView()) {
        if (custom->superviewPointer() != this) addSubview(custom);
        const CGSize s = custom->frame().size;
        setFrame({frame().origin, {std::max(s.width, kMinimumSide), std::max(s.height, kMinimumSide)}});
    } else {
        setTintColor(item->tintColor);
        TextAttributes attributes =
            UIBarButtonItem::appearanceTitleTextAttributes(UIBarItemState::normal, {barClass_});
        attributes.merge(
            item->titleTextAttributes(item->isEnabled() ? UIBarItemState::normal : UIBarItemState::disabled));
        titleLabel()->setFont(attributes.font.value_or(item->style() == UIBarButtonItemStyle::done
                                                           ? UIFont::boldSystemFont(17)
                                                           : UIFont::systemFont(17)));
        titleLabel()->setTextColor(attributes.foregroundColor.value_or(tintColor()));
        setTitle(item->displayTitle());
        auto image = item->image();
        if (image && renderingModeOf(image.get()) == UIImageRenderingMode::automatic)
            image = imageWithRenderingMode(image, UIImageRenderingMode::alwaysTemplate);
        setImage(image);
        const CGFloat width = item->width > 0 ? item->width : std::max(sizeThatFits({}).width, kMinimumSide);
        setFrame({frame().origin, {width, barHeight_}});
    }
    isEnabled = item->isEnabled();
    setAccessibilityIdentifier(item->accessibilityIdentifier);
    setNeedsLayout();
    refreshing_ = false;
}

std::shared_ptr<BarButtonItemView> findBarButtonItemView(UIView& root, const UIBarButtonItem& item) {
    if (auto* v = dynamic_cast<BarButtonItemView*>(&root); v && v->item().get() == &item)
        return std::static_pointer_cast<BarButtonItemView>(v->shared_from_this());
    for (const auto& s : root.subviews())
        if (auto found = findBarButtonItemView(*s, item)) return found;
    return nullptr;
}

} // namespace cw
