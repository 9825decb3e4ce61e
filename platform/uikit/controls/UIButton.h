#pragma once

// A button: a title label and an image view laid out inside its content insets, with a title,
// styled title, title colour, image and background image kept per control state. A state without
// its own value shows the normal state's.

#include "uikit/controls/UIControl.h"
#include "uikit/graphics/NSAttributedString.h"
#include "uikit/graphics/UIImage.h"
#include "uikit/view/UIImageView.h"
#include "uikit/view/UILabel.h"

#include <map>
#include <memory>
#include <optional>
#include <string>

enum class UIButtonType {
    custom = 0,
    system = 1,
    detailDisclosure = 2,
    infoLight = 3,
    infoDark = 4,
    contactAdd = 5
};

class UIButton : public UIControl {
public:
    UIButton();
    explicit UIButton(const CGRect& frame);
    explicit UIButton(UIButtonType type);
    ~UIButton() override;
    std::string className() const override { return "UIButton"; }

    UIButtonType buttonType() const { return type_; }

    void setTitle(const std::optional<std::string>& title, UIControlState state);
    std::optional<std::string> title(UIControlState state) const;
    void setAttributedTitle(const std::optional<NSAttributedString>& title, UIControlState state);
    std::optional<NSAttributedString> attributedTitle(UIControlState state) const;
    void setTitleColor(const std::optional<UIColor>& color, UIControlState state);
    std::optional<UIColor> titleColor(UIControlState state) const;
    void setImage(const std::shared_ptr<UIImage>& image, UIControlState state);
    std::shared_ptr<UIImage> image(UIControlState state) const;
    void setBackgroundImage(const std::shared_ptr<UIImage>& image, UIControlState state);
    std::shared_ptr<UIImage> backgroundImage(UIControlState state) const;

    // What the current state shows.
    std::optional<std::string> currentTitle() const;
    std::optional<NSAttributedString> currentAttributedTitle() const;
    UIColor currentTitleColor() const;
    std::shared_ptr<UIImage> currentImage() const;
    std::shared_ptr<UIImage> currentBackgroundImage() const;

    // The label and image view (made with the button; the label's font is the title font).
    const std::shared_ptr<UILabel>& titleLabel() const { return titleLabel_; }
    const std::shared_ptr<UIImageView>& imageView() const { return imageView_; }

    UIEdgeInsets contentEdgeInsets() const { return contentInsets_; }
    void setContentEdgeInsets(const UIEdgeInsets& insets);
    UIEdgeInsets titleEdgeInsets() const { return titleInsets_; }
    void setTitleEdgeInsets(const UIEdgeInsets& insets);
    UIEdgeInsets imageEdgeInsets() const { return imageInsets_; }
    void setImageEdgeInsets(const UIEdgeInsets& insets);
    bool adjustsImageWhenHighlighted = true;
    bool adjustsImageWhenDisabled = true;
    bool showsTouchWhenHighlighted = false;

    // Geometry hooks, in bounds coordinates.
    virtual CGRect backgroundRect(const CGRect& bounds) const;
    virtual CGRect contentRect(const CGRect& bounds) const;
    virtual CGRect titleRect(const CGRect& contentRect) const;
    virtual CGRect imageRect(const CGRect& contentRect) const;

    CGSize intrinsicContentSize() const override;
    CGSize sizeThatFits(CGSize size) const override;
    void layoutSubviews() override;
    void stateDidChange() override;
    void tintColorDidChange() override;
    void draw(const CGRect& rect) override;

private:
    void build();
    void refresh();
    template <class T> static const T* lookup(const std::map<UIControlState, T>& m, UIControlState s) {
        auto it = m.find(s);
        if (it == m.end() && (s & UIControlStateHighlighted) && (s & UIControlStateSelected))
            it = m.find(UIControlStateSelected);
        if (it == m.end()) it = m.find(UIControlStateNormal);
        return it == m.end() ? nullptr : &it->second;
    }
    CGSize titleSize() const;
    CGSize imageSize() const;

    UIButtonType type_ = UIButtonType::custom;
    std::map<UIControlState, std::string> titles_;
    std::map<UIControlState, NSAttributedString> attributedTitles_;
    std::map<UIControlState, UIColor> titleColors_;
    std::map<UIControlState, std::shared_ptr<UIImage>> images_;
    std::map<UIControlState, std::shared_ptr<UIImage>> backgroundImages_;
    std::shared_ptr<UILabel> titleLabel_;
    std::shared_ptr<UIImageView> imageView_;
    std::shared_ptr<UIImageView> backgroundView_;
    UIEdgeInsets contentInsets_;
    UIEdgeInsets titleInsets_;
    UIEdgeInsets imageInsets_;
};

using UIButtonPtr = std::shared_ptr<UIButton>;
