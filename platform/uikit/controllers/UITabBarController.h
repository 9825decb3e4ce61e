#pragma once

// Controllers side by side behind a tab bar: the selected one's view fills the space above the
// bar. A tap on a tab asks the delegate whether to select it, selects it, tells the controller
// (tabBarDidSelect, the controller's own tabBar(_:didSelect:) that subclasses override) and then the delegate
// (didSelect).

#include "uikit/controllers/TapTargetView.h"
#include "uikit/controllers/UIViewController.h"
#include "uikit/view/UIVisualEffectView.h"

#include <functional>
#include <memory>
#include <vector>

class UITabBarController;

class UITabBarControllerDelegate {
public:
    virtual ~UITabBarControllerDelegate() = default;
    virtual bool shouldSelect(UITabBarController&, const UIViewControllerPtr&) { return true; }
    virtual void didSelect(UITabBarController&, const UIViewControllerPtr&) {}
};

class UITabBar : public UIView {
public:
    UITabBar();
    std::string className() const override { return "UITabBar"; }
    static constexpr CGFloat kHeight = 49;

    const std::vector<UITabBarItemPtr>& items() const { return items_; }
    void setItems(std::vector<UITabBarItemPtr> items);
    UITabBarItemPtr selectedItem() const { return selected_; }
    void setSelectedItem(const UITabBarItemPtr& item);

    std::optional<UIColor> barTintColor;
    std::optional<UIColor> unselectedItemTintColor;
    // A translucent bar without a bar tint blurs what lies under it, as the platform's does; one with
    // a tint, or an opaque one, shows its colour.
    bool isTranslucent = true;

    // Run when a tab is tapped.
    std::function<void(const UITabBarItemPtr&)> onSelect;

    struct Appearance {
        std::optional<UIColor> tintColor;
        std::optional<UIColor> barTintColor;
        std::optional<UIColor> unselectedItemTintColor;
    };
    static Appearance& appearance();

    void reloadItems();
    void layoutSubviews() override;

private:
    // The tint the items were built with; a new one (the bar moved into a tinted window)
    // rebuilds them at the next layout.
    std::optional<UIColor> builtTint_;
    std::vector<UITabBarItemPtr> items_;
    UITabBarItemPtr selected_;
    std::vector<std::shared_ptr<cw::TapTargetView>> itemViews_;
    std::shared_ptr<UIView> hairline_;
    std::shared_ptr<UIVisualEffectView> blur_;
};

class UITabBarController : public UIViewController {
public:
    UITabBarController();

    const std::vector<UIViewControllerPtr>& viewControllers() const { return controllers_; }
    void setViewControllers(std::vector<UIViewControllerPtr> controllers, bool animated = false);

    std::size_t selectedIndex() const { return selectedIndex_; }
    void setSelectedIndex(std::size_t index);
    UIViewControllerPtr selectedViewController() const;
    void setSelectedViewController(const UIViewControllerPtr& controller);

    std::shared_ptr<UITabBarControllerDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<UITabBarControllerDelegate>& delegate) { delegate_ = delegate; }

    const std::shared_ptr<UITabBar>& tabBar();

    // The bar's report of a tapped item, after the selection; subclasses override it.
    virtual void tabBarDidSelect(UITabBar& bar, const UITabBarItemPtr& item);
    // A child changed its tab bar item.
    void tabBarItemsChanged();
    // What a tap on the tab at `index` does (the bar calls it; so may a test).
    void tapTab(std::size_t index);

    void loadView() override;
    std::vector<UIViewControllerPtr> childrenForAppearanceForwarding() const override;
    UIEdgeInsets barInsetsForChild(const UIViewController& child) const override;
    void layoutContent();

private:
    void showSelected(const UIViewControllerPtr& from);

    std::vector<UIViewControllerPtr> controllers_;
    std::size_t selectedIndex_ = 0;
    std::weak_ptr<UITabBarControllerDelegate> delegate_;
    std::shared_ptr<UITabBar> bar_;
};
