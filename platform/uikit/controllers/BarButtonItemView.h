#pragma once

// The view a bar shows for one bar button item. The navigation bar and the toolbar both make
// their item views here: the item's custom view, or its title or image in the item's or the
// bar's tint, with the item's title attributes over those of the appearance proxies for the
// bar's class, bold for the done style. Images that do not ask to be drawn as themselves are
// drawn as templates in the tint. The view follows the item while it shows it: a new title,
// image or enabled state redraws it, and a tap runs the item's action.

#include "uikit/controllers/TapTargetView.h"
#include "uikit/controllers/UIBarItems.h"

#include <memory>
#include <string>

namespace cw {

class BarButtonItemView : public TapTargetView {
public:
    // `barClass` names the bar for the appearance proxies ("UINavigationBar", "UIToolbar");
    // `barHeight` is the height of the bar's row of items. The item's view from an earlier build of
    // the same kind of bar is used again when no bar shows it now; otherwise the item gets a new one.
    static std::shared_ptr<BarButtonItemView> make(const UIBarButtonItemPtr& item, std::string barClass,
                                                   CGFloat barHeight);
    BarButtonItemView(const UIBarButtonItemPtr& item, std::string barClass, CGFloat barHeight);

    UIBarButtonItemPtr item() const { return item_.lock(); }
    // Takes the item's present title, image, state and tint (and its size from them).
    void refresh();
    // The tint is the bar's once the view is in it.
    void tintColorDidChange() override { refresh(); }
    void didMoveToSuperview() override { refresh(); }

private:
    std::weak_ptr<UIBarButtonItem> item_;
    std::string barClass_;
    CGFloat barHeight_;
    UIBarItem::Observation observation_;
    bool refreshing_ = false;
};

// The view that shows `item` in a bar somewhere below `root`, if one does.
std::shared_ptr<BarButtonItemView> findBarButtonItemView(UIView& root, const UIBarButtonItem& item);

} // namespace cw
