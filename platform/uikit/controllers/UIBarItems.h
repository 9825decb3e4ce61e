#pragma once

// The items that bars show: bar button items (title, image or a system item, with an action),
// tab bar items, and the navigation item each controller gives its navigation bar.

#include "uikit/graphics/NSAttributedString.h"
#include "uikit/graphics/UIColor.h"
#include "uikit/graphics/UIImage.h"
#include "uikit/view/UIView.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace cw {
class BarButtonItemView;
}

// The states an item's title attributes are set for.
enum class UIBarItemState { normal, highlighted, disabled, selected };

class UIBarItem : public cw::AssociatedObjects {
public:
    virtual ~UIBarItem() = default;

    const std::optional<std::string>& title() const { return title_; }
    void setTitle(std::optional<std::string> title) {
        title_ = std::move(title);
        changed();
    }
    const std::shared_ptr<UIImage>& image() const { return image_; }
    void setImage(std::shared_ptr<UIImage> image) {
        image_ = std::move(image);
        changed();
    }
    bool isEnabled() const { return enabled_; }
    void setEnabled(bool enabled) {
        if (enabled_ == enabled) return;
        enabled_ = enabled;
        changed();
    }
    long tag = 0;
    std::string accessibilityIdentifier;

    // The attributes set for `state`; for other states than normal, the normal ones fill in.
    TextAttributes titleTextAttributes(UIBarItemState state) const;
    void setTitleTextAttributes(const TextAttributes& attributes, UIBarItemState state);

    // The bars that show the item follow it: each keeps the returned token, and `onChange` runs
    // after each change of what the item shows (title, image, enabled state, style, custom view)
    // for as long as the token lives.
    using Observation = std::shared_ptr<std::function<void()>>;
    Observation observeChanges(std::function<void()> onChange);

protected:
    void changed();

private:
    std::vector<std::weak_ptr<std::function<void()>>> observers_;
    std::optional<std::string> title_;
    std::shared_ptr<UIImage> image_;
    bool enabled_ = true;
    std::map<UIBarItemState, TextAttributes> attributes_;
};

enum class UIBarButtonItemStyle { plain, bordered, done };

enum class UIBarButtonSystemItem {
    done,
    cancel,
    edit,
    save,
    add,
    flexibleSpace,
    fixedSpace,
    compose,
    reply,
    action,
    organize,
    bookmarks,
    search,
    refresh,
    stop,
    camera,
    trash,
    play,
    pause,
    rewind,
    fastForward,
    undo,
    redo,
};

class UIBarButtonItem : public UIBarItem {
public:
    using Action = std::function<void(UIBarButtonItem&)>;

    UIBarButtonItem() = default;
    UIBarButtonItem(std::optional<std::string> title, UIBarButtonItemStyle style, Action action = {});
    UIBarButtonItem(std::shared_ptr<UIImage> image, UIBarButtonItemStyle style, Action action = {});
    UIBarButtonItem(UIBarButtonSystemItem item, Action action = {});
    explicit UIBarButtonItem(std::shared_ptr<UIView> customView);

    UIBarButtonItemStyle style() const { return style_; }
    void setStyle(UIBarButtonItemStyle style) {
        style_ = style;
        changed();
    }
    std::optional<UIBarButtonSystemItem> systemItem() const { return systemItem_; }
    // Space items take room in a toolbar and show nothing.
    bool isSpace() const {
        return systemItem_ == UIBarButtonSystemItem::flexibleSpace ||
               systemItem_ == UIBarButtonSystemItem::fixedSpace;
    }
    const std::shared_ptr<UIView>& customView() const { return customView_; }
    void setCustomView(std::shared_ptr<UIView> view) {
        customView_ = std::move(view);
        changed();
    }
    std::optional<UIColor> tintColor;
    // The width the item takes in a bar: a fixed space's width, or a wider button; 0 for the
    // width its contents need.
    CGFloat width = 0;

    // The target-action pair as one callback; none for items that only stand (a back item).
    const Action& action() const { return action_; }
    void setAction(Action action) { action_ = std::move(action); }
    // What a tap does: runs the action when the item is enabled.
    void sendAction();

    // The text shown for the item: its title, or the system item's word ("Done", "Cancel", ...).
    std::optional<std::string> displayTitle() const;

    // The view a bar shows for the item: none until the item is first in a bar. The bar keeps using
    // it when it rebuilds its items, so what other code added to it (a badge) stays.
    const std::shared_ptr<UIView>& view() const { return view_; }

    // The shared style every new bar button item starts from (the appearance proxy).
    static UIBarButtonItem& appearance();
    // The same, for items inside a container class ("UISearchBar", "UINavigationBar", ...).
    static UIBarButtonItem& appearance(const std::string& containerClass);
    // The appearance values that apply inside the given chain of container classes.
    static TextAttributes appearanceTitleTextAttributes(UIBarItemState state,
                                                        const std::vector<std::string>& containers);

private:
    UIBarButtonItemStyle style_ = UIBarButtonItemStyle::plain;
    std::optional<UIBarButtonSystemItem> systemItem_;
    std::shared_ptr<UIView> customView_;
    Action action_;
    friend class cw::BarButtonItemView;
    std::shared_ptr<UIView> view_;
};

using UIBarButtonItemPtr = std::shared_ptr<UIBarButtonItem>;

class UITabBarItem : public UIBarItem {
public:
    UITabBarItem() { applyAppearance(); }
    UITabBarItem(std::optional<std::string> title, std::shared_ptr<UIImage> image,
                 std::shared_ptr<UIImage> selectedImage = nullptr);

    const std::shared_ptr<UIImage>& selectedImage() const { return selectedImage_; }
    void setSelectedImage(std::shared_ptr<UIImage> image) { selectedImage_ = std::move(image); }
    std::optional<std::string> badgeValue;

    // The process-wide style that every tab bar item made afterwards takes.
    static UIBarItem& appearance();

private:
    void applyAppearance();
    std::shared_ptr<UIImage> selectedImage_;
};

using UITabBarItemPtr = std::shared_ptr<UITabBarItem>;

class UINavigationItem {
public:
    UINavigationItem() = default;
    explicit UINavigationItem(std::optional<std::string> title) : title(std::move(title)) {}

    std::optional<std::string> title;
    std::shared_ptr<UIView> titleView;
    std::optional<std::string> prompt;
    UIBarButtonItemPtr backBarButtonItem;
    bool hidesBackButton = false;
    bool leftItemsSupplementBackButton = false;

    UIBarButtonItemPtr leftBarButtonItem() const { return left_.empty() ? nullptr : left_.front(); }
    void setLeftBarButtonItem(UIBarButtonItemPtr item, bool animated = false);
    UIBarButtonItemPtr rightBarButtonItem() const { return right_.empty() ? nullptr : right_.front(); }
    void setRightBarButtonItem(UIBarButtonItemPtr item, bool animated = false);
    // Left items run from the left edge inwards, right items from the right edge inwards.
    const std::vector<UIBarButtonItemPtr>& leftBarButtonItems() const { return left_; }
    void setLeftBarButtonItems(std::vector<UIBarButtonItemPtr> items, bool animated = false);
    const std::vector<UIBarButtonItemPtr>& rightBarButtonItems() const { return right_; }
    void setRightBarButtonItems(std::vector<UIBarButtonItemPtr> items, bool animated = false);
    void setHidesBackButton(bool hides, bool animated = false);

    // Told when anything that the bar shows changes (the navigation bar listens).
    std::function<void()> onChange;

private:
    void changed() {
        if (onChange) onChange();
    }
    std::vector<UIBarButtonItemPtr> left_;
    std::vector<UIBarButtonItemPtr> right_;
};

using UINavigationItemPtr = std::shared_ptr<UINavigationItem>;
