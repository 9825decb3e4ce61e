#pragma once

// Appearance proxies: values that every view of a class takes when it arrives in a window,
// optionally only inside views of given container classes ("UILabel" inside "UISearchBar"). The
// window applies them once to each view as it first sees it, before drawing; bar button items,
// tab bar items, navigation and tab bars have their own proxies (UIBarButtonItem::appearance,
// UITabBarItem::appearance, UINavigationBar::appearance, UITabBar::appearance).

#include "uikit/graphics/UIColor.h"
#include "uikit/graphics/UIFont.h"

#include <optional>
#include <string>
#include <vector>

class UIView;

struct UIAppearanceValues {
    std::optional<UIFont> font;
    std::optional<UIColor> textColor;
    std::optional<UIColor> tintColor;
    std::optional<UIColor> backgroundColor;
};

class UIAppearance {
public:
    // The proxy of views whose class is `className` (or derives from it without a name of its
    // own), inside views of every class in `containedIn`.
    static UIAppearanceValues& proxy(const std::string& className, std::vector<std::string> containedIn = {});
    // Applies the proxies to the views below `root` that have not had them yet.
    static void apply(UIView& root);
    static void reset();
};
