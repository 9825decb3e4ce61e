#include "uikit/controls/UITextField.h"

#include "foundation/text/CaseMapping.h"
#include "foundation/text/Utf8.h"

#include "uikit/graphics/UIBezierPath.h"
#include "uikit/graphics/UIGraphics.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr CGFloat clearButtonSize = 19;
constexpr CGFloat roundedInset = 7;

// A grey disc with the cross cut out of it: drawn as a template, the disc takes the tint and the
// field shows through the cross.
const std::shared_ptr<UIImage>& clearButtonImage() {
    static const std::shared_ptr<UIImage> image =
        UIGraphicsImageRenderer({clearButtonSize, clearButtonSize}).image([](UIGraphicsImageRendererContext& c) {
            CGContext& ctx = c.cgContext();
            const CGRect r{0, 0, clearButtonSize, clearButtonSize};
            ctx.setFillColor(UIColor(0.7, 0.7, 0.7, 1));
            ctx.fillEllipse(r);
            UIBezierPath cross;
            cross.move(CGPoint{r.minX() + 6, r.minY() + 6});
            cross.addLine(CGPoint{r.maxX() - 6, r.maxY() - 6});
            cross.move(CGPoint{r.maxX() - 6, r.minY() + 6});
            cross.addLine(CGPoint{r.minX() + 6, r.maxY() - 6});
            cross.lineWidth = 1.5;
            ctx.setBlendMode(CGBlendMode::clear);
            ctx.stroke(cross);
        });
    return image;
}
} // namespace

UITextField::UITextField() {
    build();
}

UITextField::UITextField(const CGRect& frame) : UIControl(frame) {
    build();
}

UITextField::~UITextField() {
    if (editing_) cw::Keyboard::shared().inputDidResign(this);
    // The button is handed out (under "clearButton") and may outlive the field.
    clearButton_->removeTarget(this, UIControlEventAllEvents);
}

std::shared_ptr<UIView> UITextField::valueForKey(const std::string& key) const {
    if (key == "clearButton") return clearButton_;
    return nullptr;
}

void UITextField::build() {
    font_ = UIFont::systemFont(17);
    textLabel_ = std::make_shared<UILabel>();
    textLabel_->setUserInteractionEnabled(false);
    placeholderLabel_ = std::make_shared<UILabel>();
    placeholderLabel_->setUserInteractionEnabled(false);
    textClip_ = std::make_shared<UIView>();
    textClip_->setUserInteractionEnabled(false);
    textClip_->setClipsToBounds(true);
    textClip_->setBackgroundColor(std::nullopt);
    textClip_->setOpaque(false);
    textClip_->addSubview(textLabel_);
    addSubview(textClip_);
    addSubview(placeholderLabel_);
    caret_ = std::make_shared<cw::TextCaret>();
    addSubview(caret_);
    clearButton_ = std::make_shared<UIButton>(UIButtonType::custom);
    clearButton_->setImage(clearButtonImage(), UIControlStateNormal);
    clearButton_->setHidden(true);
    clearButton_->addTarget(this, &UITextField::clearButtonTapped, UIControlEventTouchUpInside);
    addSubview(clearButton_);
    contentVerticalAlignment = UIControlContentVerticalAlignment::center;
    refresh();
}

void UITextField::setText(const std::optional<std::string>& text) {
    text_ = text.value_or("");
    attributedText_.reset();
    refresh();
    cw::Keyboard::shared().inputTextDidChange(this);
}

std::optional<NSAttributedString> UITextField::attributedText() const {
    if (attributedText_) return attributedText_;
    TextAttributes a;
    a.font = font_;
    a.foregroundColor = textColor_;
    return NSAttributedString(text_.value_or(""), a);
}

void UITextField::setAttributedText(const std::optional<NSAttributedString>& text) {
    attributedText_ = text;
    text_ = text ? text->string() : std::string();
    refresh();
    cw::Keyboard::shared().inputTextDidChange(this);
}

std::optional<std::string> UITextField::placeholder() const {
    if (!attributedPlaceholder_) return std::nullopt;
    return attributedPlaceholder_->string();
}

void UITextField::setPlaceholder(const std::optional<std::string>& placeholder) {
    if (!placeholder) {
        attributedPlaceholder_.reset();
    } else {
        TextAttributes a;
        a.foregroundColor = UIColor(0, 0, 0.0980392, 0.22);
        attributedPlaceholder_ = NSAttributedString(*placeholder, a);
    }
    refresh();
}

void UITextField::setAttributedPlaceholder(const std::optional<NSAttributedString>& placeholder) {
    attributedPlaceholder_ = placeholder;
    refresh();
}

void UITextField::setFont(const UIFont& font) {
    font_ = font;
    refresh();
    invalidateIntrinsicContentSize();
}

void UITextField::setTextColor(const UIColor& color) {
    textColor_ = color;
    refresh();
}

void UITextField::setTextAlignment(NSTextAlignment alignment) {
    alignment_ = alignment;
    refresh();
}

void UITextField::setBorderStyle(UITextBorderStyle style) {
    borderStyle_ = style;
    if (style == UITextBorderStyle::roundedRect) {
        if (!backgroundColor()) setBackgroundColor(UIColor::whiteColor());
        layer()->cornerRadius = 5;
        layer()->borderWidth = 0.5;
        layer()->borderColor = UIColor(0.8, 0.8, 0.8, 1);
    } else if (style == UITextBorderStyle::line) {
        layer()->borderWidth = 1;
        layer()->borderColor = UIColor::blackColor();
    }
    setNeedsLayout();
    invalidateIntrinsicContentSize();
}

void UITextField::setClearButtonMode(UITextFieldViewMode mode) {
    clearButtonMode_ = mode;
    setNeedsLayout();
}

void UITextField::setLeftView(const std::shared_ptr<UIView>& view) {
    if (leftView_) leftView_->removeFromSuperview();
    leftView_ = view;
    if (view) addSubview(view);
    setNeedsLayout();
}

void UITextField::setLeftViewMode(UITextFieldViewMode mode) {
    leftViewMode_ = mode;
    setNeedsLayout();
}

void UITextField::setRightView(const std::shared_ptr<UIView>& view) {
    if (rightView_) rightView_->removeFromSuperview();
    rightView_ = view;
    if (view) addSubview(view);
    setNeedsLayout();
}

void UITextField::setRightViewMode(UITextFieldViewMode mode) {
    rightViewMode_ = mode;
    setNeedsLayout();
}

std::string UITextField::shownText() const {
    const std::string t = text_.value_or("");
    if (!isSecureTextEntry) return t;
    std::string dots;
    for (std::size_t i = 0, n = cw::utf8ToUTF32(t).size(); i < n; ++i)
        dots += "\u2022";
    return dots;
}

void UITextField::refresh() {
    if (!textLabel_) return;
    if (attributedText_ && !isSecureTextEntry) {
        textLabel_->setAttributedText(attributedText_);
    } else {
        textLabel_->setText(shownText());
        textLabel_->setFont(font_);
        textLabel_->setTextColor(textColor_);
    }
    textLabel_->setTextAlignment(alignment_);
    placeholderLabel_->setFont(font_);
    placeholderLabel_->setAttributedText(attributedPlaceholder_);
    placeholderLabel_->setTextAlignment(alignment_);
    placeholderLabel_->setHidden(hasText() || !attributedPlaceholder_);
    textLabel_->setHidden(!hasText());
    textClip_->setHidden(!hasText());
    invalidateIntrinsicContentSize();
    setNeedsLayout();
}

// --- Geometry ----------------------------------------------------------------------------------

bool UITextField::showsSideView(UITextFieldViewMode mode) const {
    switch (mode) {
    case UITextFieldViewMode::never:
        return false;
    case UITextFieldViewMode::always:
        return true;
    case UITextFieldViewMode::whileEditing:
        return editing_;
    case UITextFieldViewMode::unlessEditing:
        return !editing_;
    }
    return false;
}

bool UITextField::isClearButtonShown() const {
    return hasText() && showsSideView(clearButtonMode_);
}

CGRect UITextField::borderRect(const CGRect& bounds) const {
    return bounds;
}

CGRect UITextField::leftViewRect(const CGRect& bounds) const {
    if (!leftView_) return CGRect::zero();
    const CGSize s = leftView_->frame().size;
    return CGRect(bounds.origin.x, bounds.origin.y + std::round((bounds.size.height - s.height) / 2), s.width,
                  s.height);
}

CGRect UITextField::rightViewRect(const CGRect& bounds) const {
    if (!rightView_) return CGRect::zero();
    const CGSize s = rightView_->frame().size;
    return CGRect(bounds.maxX() - s.width, bounds.origin.y + std::round((bounds.size.height - s.height) / 2),
                  s.width, s.height);
}

CGRect UITextField::clearButtonRect(const CGRect& bounds) const {
    CGFloat right = bounds.maxX() - 5;
    if (rightView_ && showsSideView(rightViewMode_)) right = rightViewRect(bounds).minX();
    return CGRect(right - clearButtonSize,
                  bounds.origin.y + std::round((bounds.size.height - clearButtonSize) / 2), clearButtonSize,
                  clearButtonSize);
}

CGRect UITextField::textRect(const CGRect& bounds) const {
    const CGFloat inset = borderStyle_ == UITextBorderStyle::none ? 0 : roundedInset;
    CGFloat left = bounds.minX() + inset;
    CGFloat right = bounds.maxX() - inset;
    if (leftView_ && showsSideView(leftViewMode_)) left = std::max(left, leftViewRect(bounds).maxX());
    if (rightView_ && showsSideView(rightViewMode_)) right = std::min(right, rightViewRect(bounds).minX());
    if (isClearButtonShown()) right = std::min(right, clearButtonRect(bounds).minX());
    return CGRect(left, bounds.minY(), std::max<CGFloat>(0, right - left), bounds.size.height);
}

CGRect UITextField::placeholderRect(const CGRect& bounds) const {
    return textRect(bounds);
}

CGRect UITextField::editingRect(const CGRect& bounds) const {
    return textRect(bounds);
}

void UITextField::drawText(const CGRect& rect) {
    const CGFloat h = std::min(rect.size.height, font_.lineHeight());
    textClip_->setFrame(
        CGRect(rect.origin.x, rect.origin.y + std::round((rect.size.height - h) / 2), rect.size.width, h));
    // Being edited, a text wider than the field slides left so that its end, where she types, and
    // the caret after it stay in view; its head is cut at the field's edge. Otherwise it shows
    // from its head, truncated.
    const CGFloat whole = editing_ && !textLabel_->isHidden() ? textLabel_->intrinsicContentSize().width : 0;
    scrolled_ = whole > rect.size.width - cw::TextCaret::kWidth;
    if (scrolled_)
        textLabel_->setFrame(CGRect(rect.size.width - cw::TextCaret::kWidth - whole, 0, whole, h));
    else
        textLabel_->setFrame(CGRect(0, 0, rect.size.width, h));
}

void UITextField::drawPlaceholder(const CGRect& rect) {
    const CGFloat h = std::min(rect.size.height, font_.lineHeight());
    placeholderLabel_->setFrame(
        CGRect(rect.origin.x, rect.origin.y + std::round((rect.size.height - h) / 2), rect.size.width, h));
}

void UITextField::layoutSubviews() {
    UIControl::layoutSubviews();
    const CGRect b = bounds();
    drawText(editing_ ? editingRect(b) : textRect(b));
    drawPlaceholder(placeholderRect(b));
    if (leftView_) {
        leftView_->setHidden(!showsSideView(leftViewMode_));
        leftView_->setFrame(leftViewRect(b));
    }
    if (rightView_) {
        rightView_->setHidden(!showsSideView(rightViewMode_));
        rightView_->setFrame(rightViewRect(b));
    }
    clearButton_->setHidden(!isClearButtonShown());
    clearButton_->setFrame(clearButtonRect(b));
    bringSubviewToFront(clearButton_);
    if (editing_) {
        caret_->placeAfterText(*textLabel_, font_);
        if (scrolled_) {
            // Just after the last character, at the field's edge.
            CGRect at = caret_->frame();
            at.origin.x = textClip_->frame().maxX() - cw::TextCaret::kWidth;
            caret_->setFrame(at);
        }
        bringSubviewToFront(caret_);
    }
}

CGSize UITextField::intrinsicContentSize() const {
    const CGSize t = textLabel_->isHidden() ? placeholderLabel_->intrinsicContentSize()
                                            : textLabel_->intrinsicContentSize();
    const CGFloat inset = borderStyle_ == UITextBorderStyle::none ? 0 : 2 * roundedInset;
    CGFloat w = std::max<CGFloat>(0, t.width) + inset;
    if (leftView_ && showsSideView(leftViewMode_)) w += leftView_->frame().size.width;
    if (rightView_ && showsSideView(rightViewMode_)) w += rightView_->frame().size.width;
    const CGFloat h =
        std::ceil(font_.lineHeight()) + (borderStyle_ == UITextBorderStyle::roundedRect ? 12 : 0);
    return {std::ceil(w), h};
}

CGSize UITextField::sizeThatFits(CGSize) const {
    return intrinsicContentSize();
}

// --- Editing -----------------------------------------------------------------------------------

bool UITextField::canBecomeFirstResponder() const {
    return isEnabled() && isUserInteractionEnabled();
}

bool UITextField::becomeFirstResponder() {
    if (isFirstResponder()) return true;
    // Off screen the delegate is not even asked.
    if (!canBecomeFirstResponder() || !window()) return false;
    if (auto d = delegate_.get(); d && !d->textFieldShouldBeginEditing(this)) return false;
    auto keep = weak_from_this().lock();
    auto& keyboard = cw::Keyboard::shared();
    keyboard.beginFocusChange();
    const bool ok = UIControl::becomeFirstResponder();
    keyboard.endFocusChange();
    if (!ok) return false;
    editing_ = true;
    if (clearsOnBeginEditing) setText(std::string());
    caret_->restart();
    setNeedsLayout();
    sendActions(UIControlEventEditingDidBegin);
    if (auto d = delegate_.get()) d->textFieldDidBeginEditing(this);
    NotificationCenter::defaultCenter().post(UITextFieldTextDidBeginEditingNotification, this);
    if (isFirstResponder()) keyboard.inputDidBecomeFirstResponder(this, inputView_, inputAccessoryView_);
    return true;
}

void UITextField::reloadInputViews() {
    if (isFirstResponder())
        cw::Keyboard::shared().inputDidBecomeFirstResponder(this, inputView_, inputAccessoryView_);
}

bool UITextField::resignFirstResponder() {
    if (!isFirstResponder()) return true;
    if (!cw::detail::forcingEndEditing)
        if (auto d = delegate_.get(); d && !d->textFieldShouldEndEditing(this)) return false;
    auto keep = weak_from_this().lock();
    if (!UIControl::resignFirstResponder()) return false;
    editing_ = false;
    caret_->stop();
    setNeedsLayout();
    cw::Keyboard::shared().inputDidResign(this);
    sendActions(UIControlEventEditingDidEnd);
    if (auto d = delegate_.get()) d->textFieldDidEndEditing(this);
    NotificationCenter::defaultCenter().post(UITextFieldTextDidEndEditingNotification, this);
    return true;
}

bool UITextField::replace(NSRange range, const std::string& replacement, std::size_t endBytes) {
    if (auto d = delegate_.get(); d && !d->shouldChangeCharactersIn(this, range, replacement)) return false;
    if (endBytes)
        text_->resize(text_->size() - endBytes);
    else
        text_ = cw::detail::replacingUTF16(text_.value_or(""), range, replacement);
    attributedText_.reset();
    refresh();
    if (editing_) caret_->restart();
    cw::Keyboard::shared().inputTextDidChange(this);
    sendActions(UIControlEventEditingChanged);
    NotificationCenter::defaultCenter().post(UITextFieldTextDidChangeNotification, this);
    return true;
}

void UITextField::insertText(const std::string& text) {
    if (!editing_) return;
    if (text == "\n") {
        auto keep = weak_from_this().lock();
        const bool ret = delegate_.get() ? delegate_->textFieldShouldReturn(this) : true;
        if (!ret) return;
        const bool resigns = (allControlEvents() & UIControlEventEditingDidEndOnExit) != 0;
        sendActions(UIControlEventEditingDidEndOnExit);
        if (resigns) resignFirstResponder();
        return;
    }
    // The caret stays at the end: typing appends.
    replace({cw::detail::utf16Length(text_.value_or("")), 0}, text);
}

void UITextField::deleteBackward() {
    if (!editing_ || !hasText()) return;
    const std::string_view last = cw::lastCharacter(*text_);
    const std::size_t units = cw::utf16Length(last);
    replace({cw::utf16Length(*text_) - units, units}, std::string(), last.size());
}

void UITextField::clearButtonTapped() {
    if (auto d = delegate_.get(); d && !d->textFieldShouldClear(this)) return;
    if (!hasText()) return;
    text_ = std::string();
    attributedText_.reset();
    refresh();
    cw::Keyboard::shared().inputTextDidChange(this);
    sendActions(UIControlEventEditingChanged);
    NotificationCenter::defaultCenter().post(UITextFieldTextDidChangeNotification, this);
}

void UITextField::touchesEnded(const TouchSet& touches, const UIEvent* event) {
    const bool inside =
        !touches.empty() && isEnabled() && bounds().contains((*touches.begin())->location(this));
    const bool onClear =
        inside && isClearButtonShown() &&
        clearButtonRect(bounds()).insetBy(-8, -8).contains((*touches.begin())->location(this));
    UIControl::touchesEnded(touches, event);
    if (onClear)
        clearButtonTapped();
    else if (inside)
        becomeFirstResponder();
}
