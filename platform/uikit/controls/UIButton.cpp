#include "uikit/controls/UIButton.h"

#include <algorithm>
#include <cmath>

UIButton::UIButton() {
    build();
}

UIButton::UIButton(const CGRect& frame) : UIControl(frame) {
    build();
}

UIButton::UIButton(UIButtonType type) : type_(type) {
    build();
}

UIButton::~UIButton() = default;

void UIButton::build() {
    setOpaque(false);
    backgroundView_ = std::make_shared<UIImageView>();
    backgroundView_->setHidden(true);
    backgroundView_->setUserInteractionEnabled(false);
    imageView_ = std::make_shared<UIImageView>();
    imageView_->setUserInteractionEnabled(false);
    imageView_->setHidden(true);
    imageView_->setContentMode(UIViewContentMode::center);
    titleLabel_ = std::make_shared<UILabel>();
    titleLabel_->setUserInteractionEnabled(false);
    titleLabel_->setFont(type_ == UIButtonType::system ? UIFont::systemFont(15) : UIFont::systemFont(18));
    titleLabel_->setHidden(true);
    titleLabel_->setTextAlignment(NSTextAlignment::center);
    addSubview(backgroundView_);
    addSubview(imageView_);
    addSubview(titleLabel_);
    refresh();
}

void UIButton::setTitle(const std::optional<std::string>& title, UIControlState state) {
    if (title)
        titles_[state] = *title;
    else
        titles_.erase(state);
    refresh();
}

std::optional<std::string> UIButton::title(UIControlState state) const {
    auto it = titles_.find(state);
    if (it != titles_.end()) return it->second;
    return std::nullopt;
}

void UIButton::setAttributedTitle(const std::optional<NSAttributedString>& title, UIControlState state) {
    if (title)
        attributedTitles_[state] = *title;
    else
        attributedTitles_.erase(state);
    refresh();
}

std::optional<NSAttributedString> UIButton::attributedTitle(UIControlState state) const {
    auto it = attributedTitles_.find(state);
    if (it != attributedTitles_.end()) return it->second;
    return std::nullopt;
}

void UIButton::setTitleColor(const std::optional<UIColor>& color, UIControlState state) {
    if (color)
        titleColors_[state] = *color;
    else
        titleColors_.erase(state);
    refresh();
}

std::optional<UIColor> UIButton::titleColor(UIControlState state) const {
    if (const UIColor* c = lookup(titleColors_, state)) return *c;
    return std::nullopt;
}

void UIButton::setImage(const std::shared_ptr<UIImage>& image, UIControlState state) {
    if (image)
        images_[state] = image;
    else
        images_.erase(state);
    refresh();
}

std::shared_ptr<UIImage> UIButton::image(UIControlState state) const {
    if (auto p = lookup(images_, state)) return *p;
    return nullptr;
}

void UIButton::setBackgroundImage(const std::shared_ptr<UIImage>& image, UIControlState state) {
    if (image)
        backgroundImages_[state] = image;
    else
        backgroundImages_.erase(state);
    refresh();
}

std::shared_ptr<UIImage> UIButton::backgroundImage(UIControlState state) const {
    if (auto p = lookup(backgroundImages_, state)) return *p;
    return nullptr;
}

std::optional<std::string> UIButton::currentTitle() const {
    if (const std::string* t = lookup(titles_, state())) return *t;
    if (auto a = currentAttributedTitle()) return a->string();
    return std::nullopt;
}

std::optional<NSAttributedString> UIButton::currentAttributedTitle() const {
    if (const NSAttributedString* t = lookup(attributedTitles_, state())) return *t;
    return std::nullopt;
}

UIColor UIButton::currentTitleColor() const {
    if (const UIColor* c = lookup(titleColors_, state())) return *c;
    if (type_ == UIButtonType::system) {
        const UIColor tint = tintColor();
        if (!isEnabled()) return UIColor(0.5, 0.5, 0.5, 1.0);
        if (isHighlighted()) return tint.withAlphaComponent(0.2);
        return tint;
    }
    return UIColor::whiteColor();
}

std::shared_ptr<UIImage> UIButton::currentImage() const {
    return image(state());
}

std::shared_ptr<UIImage> UIButton::currentBackgroundImage() const {
    return backgroundImage(state());
}

void UIButton::setContentEdgeInsets(const UIEdgeInsets& insets) {
    contentInsets_ = insets;
    invalidateIntrinsicContentSize();
    setNeedsLayout();
}

void UIButton::setTitleEdgeInsets(const UIEdgeInsets& insets) {
    titleInsets_ = insets;
    setNeedsLayout();
}

void UIButton::setImageEdgeInsets(const UIEdgeInsets& insets) {
    imageInsets_ = insets;
    setNeedsLayout();
}

void UIButton::stateDidChange() {
    refresh();
}

void UIButton::tintColorDidChange() {
    refresh();
}

void UIButton::refresh() {
    if (!titleLabel_) return;
    // Only text and looks change here; the label's font stays whatever the app gave it.
    if (auto a = currentAttributedTitle()) {
        titleLabel_->setAttributedText(*a);
    } else if (const std::string* t = lookup(titles_, state())) {
        if (titleLabel_->text() != *t) titleLabel_->setText(*t);
        titleLabel_->setTextColor(currentTitleColor());
    } else {
        if (titleLabel_->text()) titleLabel_->setText(std::nullopt);
    }
    titleLabel_->setHidden(!titleLabel_->text() || titleLabel_->text()->empty());
    auto img = currentImage();
    if (imageView_->image() != img) imageView_->setImage(img);
    imageView_->setHidden(img == nullptr);
    imageView_->setAlpha(isHighlighted() && adjustsImageWhenHighlighted && !currentBackgroundImage() &&
                                 image(UIControlStateHighlighted) == image(UIControlStateNormal)
                             ? 0.5
                             : 1.0);
    auto bg = currentBackgroundImage();
    if (backgroundView_->image() != bg) backgroundView_->setImage(bg);
    backgroundView_->setHidden(bg == nullptr);
    invalidateIntrinsicContentSize();
    setNeedsLayout();
}

CGSize UIButton::titleSize() const {
    if (titleLabel_->isHidden()) return {0, 0};
    const CGSize s = titleLabel_->intrinsicContentSize();
    return {std::max<CGFloat>(0, s.width), std::max<CGFloat>(0, s.height)};
}

CGSize UIButton::imageSize() const {
    auto img = currentImage();
    return img ? img->size() : CGSize{0, 0};
}

CGRect UIButton::backgroundRect(const CGRect& b) const {
    return b;
}

CGRect UIButton::contentRect(const CGRect& b) const {
    return contentInsets_.inset(b);
}

// Title and image sit side by side (image first), centred as a pair in the content rectangle
// unless the horizontal alignment says otherwise; each then moves by its own insets.
namespace {
struct Pair {
    CGRect image;
    CGRect title;
};
} // namespace

static Pair placePair(const UIButton& button, CGRect content, CGSize img, CGSize title,
                      const UIEdgeInsets& ii, const UIEdgeInsets& ti) {
    const CGFloat imgW = img.width + ii.left + ii.right;
    const CGFloat titleW =
        std::min(title.width + ti.left + ti.right, std::max<CGFloat>(0, content.size.width - imgW));
    const CGFloat total = imgW + titleW;
    CGFloat x = content.origin.x;
    switch (button.contentHorizontalAlignment) {
    case UIControlContentHorizontalAlignment::left:
    case UIControlContentHorizontalAlignment::leading:
    case UIControlContentHorizontalAlignment::fill:
        break;
    case UIControlContentHorizontalAlignment::right:
    case UIControlContentHorizontalAlignment::trailing:
        x = content.origin.x + content.size.width - total;
        break;
    case UIControlContentHorizontalAlignment::center:
        x = content.origin.x + (content.size.width - total) / 2;
        break;
    }
    auto vert = [&](CGFloat h, const UIEdgeInsets& in) {
        const CGFloat avail = content.size.height - in.top - in.bottom;
        switch (button.contentVerticalAlignment) {
        case UIControlContentVerticalAlignment::top:
            return content.origin.y + in.top;
        case UIControlContentVerticalAlignment::bottom:
            return content.origin.y + content.size.height - in.bottom - h;
        case UIControlContentVerticalAlignment::fill:
            return content.origin.y + in.top;
        case UIControlContentVerticalAlignment::center:
            break;
        }
        return content.origin.y + in.top + (avail - h) / 2;
    };
    Pair p;
    const CGFloat imgH = button.contentVerticalAlignment == UIControlContentVerticalAlignment::fill
                             ? content.size.height - ii.top - ii.bottom
                             : img.height;
    p.image = CGRect(x + ii.left, vert(imgH, ii), img.width, imgH);
    const CGFloat tw = std::max<CGFloat>(0, titleW - ti.left - ti.right);
    const CGFloat th = std::min(title.height, std::max<CGFloat>(0, content.size.height - ti.top - ti.bottom));
    p.title = CGRect(x + imgW + ti.left, vert(th, ti), tw, th);
    return p;
}

CGRect UIButton::titleRect(const CGRect& content) const {
    return placePair(*this, content, imageSize(), titleSize(), imageInsets_, titleInsets_).title;
}

CGRect UIButton::imageRect(const CGRect& content) const {
    return placePair(*this, content, imageSize(), titleSize(), imageInsets_, titleInsets_).image;
}

void UIButton::layoutSubviews() {
    UIControl::layoutSubviews();
    const CGRect b = bounds();
    backgroundView_->setFrame(backgroundRect(b));
    const CGRect content = contentRect(b);
    if (!imageView_->isHidden()) imageView_->setFrame(imageRect(content));
    if (!titleLabel_->isHidden()) titleLabel_->setFrame(titleRect(content));
}

CGSize UIButton::intrinsicContentSize() const {
    const CGSize t = titleSize();
    const CGSize i = imageSize();
    CGFloat w = t.width + i.width + contentInsets_.left + contentInsets_.right;
    CGFloat h = std::max(t.height, i.height) + contentInsets_.top + contentInsets_.bottom;
    if (auto bg = currentBackgroundImage()) {
        w = std::max(w, bg->size().width);
        h = std::max(h, bg->size().height);
    }
    // An empty button still has the platform's minimum size.
    if (t.width == 0 && i.width == 0 && !currentBackgroundImage()) {
        w = std::max<CGFloat>(w, 30);
        h = std::max<CGFloat>(h, 34);
    }
    return {std::ceil(w), std::ceil(h)};
}

CGSize UIButton::sizeThatFits(CGSize) const {
    return intrinsicContentSize();
}

void UIButton::draw(const CGRect& rect) {
    UIControl::draw(rect);
}
