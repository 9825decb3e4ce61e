#pragma once

// A round button that floats over a screen and opens a small menu of items over a dimmed backdrop.
// A touch that began on the button opens the menu when it ends (the button turns by 45 degrees, so
// its plus becomes a cross, the screen dims behind it and the items appear one after another in the
// way `openType` names); the next touch on the button, a touch on the backdrop, or a tap on an item
// closes it in reverse order. The delegate hears when an opening and a closing start.
//
// The menu counts as closed (`isHide`) once the last item has gone away; a menu without items
// closes at once. A cancelled touch (the system took it) restores the button's colour and neither
// opens nor closes. Main thread only; the animations and the end of a closing run on the main
// run loop.

#include "KYFloatingActionButton/ButtonLayer.h"
#include "KYFloatingActionButton/KYButtonCells.h"
#include "KYFloatingActionButton/KYButtonDelegate.h"
#include "KYFloatingActionButton/OverLayView.h"
#include "uikit/controls/Delegate.h"
#include "uikit/view/UIView.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

class NSCoder;

class KYButton : public UIView {
public:
    // How the items appear and go: sliding up or down from the button, or popping out of nothing
    // above or below it.
    enum class openButtonType { slideUp, slideDown, popUp, popDown };

    // 55 by 55 points in "#BBB54D", set up.
    KYButton();
    // From a stored interface (storyboard or nib): its factory makes the button with this, gives it
    // the file's frame and colour, and calls awakeFromNib, which sets it up in that colour (in the
    // colour of a button made in code when the file gives none).
    explicit KYButton(NSCoder& coder);
    // A bare button: no round layer, no shadow and no highlight, though it still opens and closes.
    explicit KYButton(const CGRect& frame);
    std::string className() const override { return "KYButton"; }

    // Held weakly: the owner keeps the button, not the other way round.
    cw::DelegateRef<KYButtonDelegate> kyDelegate;
    // The title colour given to every item added afterwards.
    std::optional<UIColor> fabTitleColor;
    // The colour a touch lightens for its highlight, taken from `orignalColor` at each touch.
    std::optional<UIColor> hilighColor;
    // The button's own colour, taken from the view's background at set-up.
    std::optional<UIColor> orignalColor;
    // The backdrop of the current (or last) opening.
    std::shared_ptr<OverLayView> overLayView;
    std::shared_ptr<ButtonLayer> buttonLayer;
    bool isHide = true;
    openButtonType openType = openButtonType::popUp;
    std::shared_ptr<KYButtonCells> buttonCells;
    // The menu, item 0 nearest the button. Items added while the menu is open show at the next opening.
    std::vector<std::shared_ptr<KYButtonCells>> items;

    const UIColor& plusColor() const { return plusColor_; }
    // Strokes the plus sign in the colour at once (a bare button only keeps it).
    void setPlusColor(const UIColor& color);

    // Makes the round layer of the view's colour, clears the view's own background and adds the shadow.
    virtual void setup();
    virtual void openButton();
    virtual void closeButton();
    // One item each, appended to `items`.
    virtual void add(const UIColor& color);
    virtual void add(const UIColor& color, const std::optional<std::string>& title);
    virtual void add(const UIColor& color, const std::optional<std::string>& title,
                     const std::shared_ptr<UIImage>& image);
    virtual void add(const UIColor& color, const std::optional<std::string>& title,
                     const std::shared_ptr<UIImage>& image, KYButtonCells::ActionClosure handle);
    // The items' animations of each open type, for an opening or a closing.
    virtual void slideUpAnimation(bool opening);
    virtual void slideDownAnimation(bool opening);
    virtual void popUpAnimation(bool opening);
    virtual void popDownAnimation(bool opening);

    void awakeFromNib() override;
    CGSize intrinsicContentSize() const override { return {55, 55}; }
    void layoutSubviews() override;
    void touchesBegan(const TouchSet& touches, const UIEvent* event) override;
    void touchesEnded(const TouchSet& touches, const UIEvent* event) override;
    void touchesCancelled(const TouchSet& touches, const UIEvent* event) override;

private:
    struct Motion;
    void animateItems(const Motion& motion, bool opening);
    void runItemAnimation(bool opening);
    // The steps of adding an item; an argument a shorter form lacks is none and its step is left out.
    void appendItem(const UIColor& color, const std::optional<std::string>* title,
                    const std::shared_ptr<UIImage>* image, KYButtonCells::ActionClosure handle);
    void finishClosing(const std::shared_ptr<OverLayView>& overlay);
    void restoreColor();

    UIColor plusColor_ = UIColor::blackColor();
    // Made from a stored interface and not set up yet.
    bool awaitingSetup_ = false;
};
