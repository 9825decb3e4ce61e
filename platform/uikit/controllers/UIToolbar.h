#pragma once

// A bar of items along the bottom of a screen, or above the keyboard as a text input's accessory.
// Items run from the left margin to the right margin: buttons as wide as their titles or images
// (or their `width`), 8 points apart; a fixed space takes exactly its `width`, and the flexible
// spaces share whatever room is left, so [flexible space, Done] puts Done at the right edge and
// [flexible, item, flexible] centres the item. Items stand in the top 44 points of the bar.
//
// The item views are the navigation bar's (cw::BarButtonItemView), drawn in the bar's tint and
// following their items. `sizeToFit` makes the bar as wide as the screen and 44 points high; a bar
// laid out by constraints is 44 points high by itself.

#include "uikit/controllers/UIBarItems.h"
#include "uikit/view/UIView.h"
#include "uikit/view/UIVisualEffectView.h"

#include <memory>
#include <optional>
#include <vector>

class NSCoder;

enum class UIBarStyle { default_ = 0, black = 1 };

class UIToolbar : public UIView {
public:
    UIToolbar();
    explicit UIToolbar(const CGRect& frame);
    // Made from an archive: a bar with its defaults and no items. Our storyboards are code, so no
    // archive holds a toolbar's settings; the coder is not read.
    explicit UIToolbar(NSCoder& coder);
    std::string className() const override { return "UIToolbar"; }

    const std::vector<UIBarButtonItemPtr>& items() const { return items_; }
    // Animated, the new items fade in.
    void setItems(std::vector<UIBarButtonItemPtr> items, bool animated = false);

    UIBarStyle barStyle() const { return barStyle_; }
    void setBarStyle(UIBarStyle style);
    bool isTranslucent() const { return translucent_; }
    void setTranslucent(bool translucent);
    // The bar's own colour; without one the bar shows its background colour when one is set, else
    // the style's light (or dark) grey: blurring what lies under it while translucent, as the
    // platform's bar does.
    const std::optional<UIColor>& barTintColor() const { return barTintColor_; }
    void setBarTintColor(const std::optional<UIColor>& color);

    static constexpr CGFloat kHeight = 44;
    // Room left and right of the items, and between two buttons.
    static constexpr CGFloat kMargin = 16;
    static constexpr CGFloat kSpacing = 8;

    CGSize sizeThatFits(CGSize size) const override;
    CGSize intrinsicContentSize() const override;
    void layoutSubviews() override;

private:
    void build();

    std::vector<UIBarButtonItemPtr> items_;
    // One per item; none for spaces.
    std::vector<std::shared_ptr<UIView>> itemViews_;
    std::shared_ptr<UIVisualEffectView> blur_;
    std::shared_ptr<UIView> background_;
    std::shared_ptr<UIView> hairline_;
    UIBarStyle barStyle_ = UIBarStyle::default_;
    bool translucent_ = true;
    std::optional<UIColor> barTintColor_;
};

using UIToolbarPtr = std::shared_ptr<UIToolbar>;
