#pragma once

// A view that runs an action when a finger lifts on it: what bars, tab items and alert actions
// are drawn with. Its title label and image take no touches of their own. A finger that slides off
// it before lifting (she changed her mind, or began a scroll on a tab) runs nothing, as a control's
// touch up outside.

#include "uikit/controls/UIControl.h"
#include "uikit/view/UIImageView.h"
#include "uikit/view/UILabel.h"
#include "uikit/view/UIView.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace cw {

class TapTargetView : public UIView {
public:
    TapTargetView();

    std::string className() const override { return "_UIButtonBarButton"; }

    const std::shared_ptr<UILabel>& titleLabel() const { return label_; }
    const std::shared_ptr<UIImageView>& imageView() const { return image_; }
    void setTitle(const std::optional<std::string>& title);
    void setImage(const std::shared_ptr<UIImage>& image);
    // Where the image stands relative to the title: left of it (bars) or above it (tab items).
    bool imageAboveTitle = false;

    std::function<void()> onTap;
    bool isEnabled = true;
    // How far outside its bounds a finger may lift and still act: a control's slop for bar buttons
    // and tab items; none for the buttons of an alert or a sheet, which stand side by side, so that
    // a finger that slides onto the next one does not choose the one it began on.
    CGFloat touchSlop = UIControl::touchSlop;
    bool isHighlighted() const { return highlighted_; }
    // Runs the action as a tap would.
    void activate();

    CGSize intrinsicContentSize() const override;
    CGSize sizeThatFits(CGSize size) const override;
    void layoutSubviews() override;

    void touchesBegan(const TouchSet& touches, const UIEvent* event) override;
    void touchesMoved(const TouchSet& touches, const UIEvent* event) override;
    void touchesEnded(const TouchSet& touches, const UIEvent* event) override;
    void touchesCancelled(const TouchSet& touches, const UIEvent* event) override;

private:
    CGSize titleSize() const;
    CGSize imageSize() const;

    std::shared_ptr<UILabel> label_;
    std::shared_ptr<UIImageView> image_;
    bool highlighted_ = false;
};

} // namespace cw
