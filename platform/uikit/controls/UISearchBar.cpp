#include "uikit/controls/UISearchBar.h"

#include "uikit/graphics/UIGraphics.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>

struct UISearchBar::FieldDelegate : UITextFieldDelegate {
    UISearchBar* bar;
    explicit FieldDelegate(UISearchBar* b) : bar(b) {}
    bool textFieldShouldBeginEditing(UITextField*) override {
        auto d = bar->delegate_.get();
        return !d || d->searchBarShouldBeginEditing(bar);
    }
    void textFieldDidBeginEditing(UITextField*) override {
        if (auto d = bar->delegate_.get()) d->searchBarTextDidBeginEditing(bar);
    }
    bool textFieldShouldEndEditing(UITextField*) override {
        auto d = bar->delegate_.get();
        return !d || d->searchBarShouldEndEditing(bar);
    }
    void textFieldDidEndEditing(UITextField*) override {
        if (auto d = bar->delegate_.get()) d->searchBarTextDidEndEditing(bar);
    }
    bool shouldChangeCharactersIn(UITextField*, NSRange range, const std::string& s) override {
        auto d = bar->delegate_.get();
        return !d || d->shouldChangeTextIn(bar, range, s);
    }
    bool textFieldShouldReturn(UITextField*) override {
        if (auto d = bar->delegate_.get()) d->searchBarSearchButtonClicked(bar);
        return true;
    }
    bool textFieldShouldClear(UITextField*) override { return true; }
};

UISearchBar::UISearchBar() : UISearchBar(CGRect(0, 0, 320, 56)) {}

UISearchBar::UISearchBar(const CGRect& frame) : UIView(frame) {
    build();
}

UISearchBar::~UISearchBar() {
    // The field and the cancel button are handed out (under "searchField" and "cancelButton") and
    // may outlive the bar: they must not call back into it.
    field_->setDelegate(nullptr);
    field_->removeTarget(this, UIControlEventAllEvents);
    cancel_->removeTarget(this, UIControlEventAllEvents);
}

namespace {

// The field's picture keeps its two ends as drawn (rounded ends keep their shape) and stretches only
// its middle column across the rest, as the platform stretches a search field's picture.
class FieldBackgroundView : public UIImageView {
public:
    void draw(const CGRect& rect) override {
        const auto& picture = image();
        CGContext* ctx = UIGraphicsGetCurrentContext();
        const CGRect b = bounds();
        const CGFloat w = picture ? picture->size().width : 0;
        if (!ctx || w < 3 || b.size.width <= w) {
            UIImageView::draw(rect);
            return;
        }
        const CGFloat h = b.size.height;
        const CGFloat cap = std::floor((w - 1) / 2);
        const CGFloat scale = (b.size.width - 2 * cap) / (w - 2 * cap);
        const std::array<std::pair<CGRect, CGRect>, 3> pieces{{
            {CGRect(0, 0, cap, h), CGRect(0, 0, w, h)},
            {CGRect(b.size.width - cap, 0, cap, h), CGRect(b.size.width - w, 0, w, h)},
            {CGRect(cap, 0, b.size.width - 2 * cap, h), CGRect(cap - cap * scale, 0, w * scale, h)},
        }};
        for (const auto& [clip, drawn] : pieces) {
            ctx->saveGState();
            ctx->clip(clip);
            ctx->draw(*picture, drawn);
            ctx->restoreGState();
        }
    }
};

// The bar's field: it fills the field's picture, and its text keeps clear of the field's edges by
// a padding that the text position adjustment moves further (the field itself stays in place, so
// a border drawn round it stays round the picture).
class SearchTextField : public UITextField {
public:
    static constexpr CGFloat kTextPadding = 8;
    UIOffset adjustment;

    CGRect textRect(const CGRect& bounds) const override {
        const CGRect r = UITextField::textRect(bounds);
        const CGFloat left = r.minX() + kTextPadding + adjustment.horizontal;
        const CGFloat right = std::min(r.maxX(), bounds.maxX() - kTextPadding);
        return {left, r.minY() + adjustment.vertical, std::max<CGFloat>(0, right - left), r.size.height};
    }
};

} // namespace

void UISearchBar::build() {
    setBackgroundColor(std::nullopt);
    background_ = std::make_shared<UIImageView>();
    background_->setBackgroundColor(UIColor(0.79, 0.79, 0.81, 1));
    fieldBackground_ = std::make_shared<FieldBackgroundView>();
    field_ = std::make_shared<SearchTextField>();
    field_->setBorderStyle(UITextBorderStyle::none);
    field_->setBackgroundColor(std::nullopt);
    field_->setFont(UIFont::systemFont(14));
    field_->setClearButtonMode(UITextFieldViewMode::whileEditing);
    field_->returnKeyType = UIReturnKeyType::search;
    field_->enablesReturnKeyAutomatically = true;
    fieldDelegate_ = std::make_unique<FieldDelegate>(this);
    field_->setDelegate(fieldDelegate_.get());
    field_->addTarget(this, &UISearchBar::fieldChanged, UIControlEventEditingChanged);
    cancel_ = std::make_shared<UIButton>(UIButtonType::system);
    cancel_->setTitle("Cancel", UIControlStateNormal);
    cancel_->setHidden(true);
    cancel_->addTarget(this, &UISearchBar::cancelButtonTapped, UIControlEventTouchUpInside);
    addSubview(background_);
    addSubview(fieldBackground_);
    addSubview(field_);
    addSubview(cancel_);
}

void UISearchBar::fieldChanged() {
    if (auto d = delegate_.get()) d->textDidChange(this, field_->text().value_or(""));
}

std::shared_ptr<UIView> UISearchBar::valueForKey(const std::string& key) const {
    if (key == "searchField") return field_;
    if (key == "cancelButton") return cancel_;
    return nullptr;
}

void UISearchBar::setShowsCancelButton(bool shows, bool) {
    showsCancel_ = shows;
    cancel_->setHidden(!shows);
    setNeedsLayout();
}

void UISearchBar::cancelButtonTapped() {
    if (auto d = delegate_.get()) d->searchBarCancelButtonClicked(this);
}

void UISearchBar::setBackgroundImage(const std::shared_ptr<UIImage>& image) {
    background_->setImage(image);
    // An image (even an empty one) replaces the bar's own grey.
    background_->setBackgroundColor(std::nullopt);
}

void UISearchBar::setSearchFieldBackgroundImage(const std::shared_ptr<UIImage>& image, UIControlState state) {
    if (state == UIControlStateNormal) {
        fieldImage_ = image;
        fieldBackground_->setImage(image);
    }
}

std::shared_ptr<UIImage> UISearchBar::searchFieldBackgroundImage(UIControlState state) const {
    return state == UIControlStateNormal ? fieldImage_ : nullptr;
}

void UISearchBar::setSearchTextPositionAdjustment(const UIOffset& offset) {
    textAdjustment_ = offset;
    static_cast<SearchTextField&>(*field_).adjustment = offset;
    field_->setNeedsLayout();
}

void UISearchBar::layoutSubviews() {
    UIView::layoutSubviews();
    const CGRect b = bounds();
    background_->setFrame(b);
    CGFloat right = b.maxX() - 8;
    if (showsCancel_) {
        const CGSize s = cancel_->intrinsicContentSize();
        cancel_->setFrame(CGRect(b.maxX() - 8 - s.width, (b.size.height - s.height) / 2, s.width, s.height));
        right = cancel_->frame().minX() - 8;
    }
    const CGFloat h = std::min<CGFloat>(36, b.size.height);
    const CGRect fieldRect(b.minX() + 8, (b.size.height - h) / 2, std::max<CGFloat>(0, right - b.minX() - 8),
                           h);
    fieldBackground_->setFrame(fieldRect);
    field_->setFrame(fieldRect);
}
