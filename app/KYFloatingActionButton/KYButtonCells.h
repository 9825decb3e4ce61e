#pragma once

// One item of the floating button's menu: a coloured disc with an icon, and a title to the left of
// the item. The button makes its items (with `init()`), places and animates them, and keeps them;
// a tap on an item runs the item's handler and closes the menu. A touch down lays a pale highlight
// over the disc until the touch ends or is cancelled; a cancelled touch runs nothing.
//
// The item's frame is the button's size, so the disc (16 to 62 points across) reaches 7 points past
// the item's right edge and the title lies wholly left of the item.

#include "uikit/view/CALayer.h"
#include "uikit/view/UIImageView.h"
#include "uikit/view/UILabel.h"
#include "uikit/view/UIView.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

class KYButton;

class KYButtonCells : public UIView {
public:
    using ActionClosure = std::function<void(KYButtonCells&)>;

    // The item as the button makes it: the disc drawn, the title's shadow set.
    KYButtonCells();
    // A bare item: no disc is drawn and `originColor` stays unset.
    explicit KYButtonCells(const CGRect& frame);
    std::string className() const override { return "KYButtonCells"; }

    // The button whose menu holds the item.
    std::weak_ptr<KYButton> actionButton;
    // The disc, and the highlight laid over it while a touch is down.
    std::shared_ptr<CAShapeLayer> circleLayer = std::make_shared<CAShapeLayer>();
    std::shared_ptr<CAShapeLayer> tintLayer = std::make_shared<CAShapeLayer>();
    // The outline of both: (16, 0, 46, 46) with corners of 20.
    const UIBezierPath& circlePath() const { return circlePath_; }
    // Run with the item on a tap.
    ActionClosure actionCloure;
    // The disc colour a touch's end restores.
    std::optional<UIColor> originColor;

    const UIColor& buttonItemColor() const { return buttonItemColor_; }
    // Colours the disc, and the colour restored after a touch when one is kept.
    void setButtonItemColor(const UIColor& color);
    const UIColor& titleColor() const { return titleColor_; }
    void setTitleColor(const UIColor& color);
    const std::optional<std::string>& title() const { return title_; }
    // Sizes the title to fit and puts it left of the item, its centre 21 points below the top.
    void setTitle(const std::optional<std::string>& title);
    const std::shared_ptr<UIImage>& icon() const { return icon_; }
    void setIcon(const std::shared_ptr<UIImage>& icon);

    // Made on first use and kept: a plain label in the title colour, and a 60-point image view
    // that fills itself with the icon.
    std::shared_ptr<UILabel> titleLabel();
    std::shared_ptr<UIImageView> iconImageView();

    // The button places its items through this: the icon's centre follows the new size, at half
    // the width and a 3.2th of the height.
    void setFrame(const CGRect& frame);

    void touchesBegan(const TouchSet& touches, const UIEvent* event) override;
    void touchesEnded(const TouchSet& touches, const UIEvent* event) override;
    void touchesCancelled(const TouchSet& touches, const UIEvent* event) override;

private:
    void setup();
    void restoreDisc();

    UIBezierPath circlePath_ = UIBezierPath::roundedRect(CGRect(16, 0, 46, 46), 20);
    UIColor buttonItemColor_ = UIColor::clearColor();
    UIColor titleColor_ = UIColor::whiteColor();
    std::shared_ptr<UILabel> titleLabel_;
    std::optional<std::string> title_;
    std::shared_ptr<UIImageView> iconImageView_;
    std::shared_ptr<UIImage> icon_;
};
