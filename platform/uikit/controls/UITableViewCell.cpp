#include "uikit/controls/UITableViewCell.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr CGFloat sideMargin = 15;

// The side-by-side texts of a value cell shrink to share a narrow row (down to 70% of their size).
void shrinkToShareTheRow(UITableViewCellStyle style, UILabel& label) {
    if (style != UITableViewCellStyle::value1 && style != UITableViewCellStyle::value2) return;
    label.setAdjustsFontSizeToFitWidth(true);
    label.setMinimumScaleFactor(0.7);
}

// The built-in accessories: a drawn chevron or check mark in a small view.
class AccessoryGlyph : public UIView {
public:
    explicit AccessoryGlyph(UITableViewCellAccessoryType type) : type_(type) {
        setOpaque(false);
        setUserInteractionEnabled(false);
        setFrame(CGRect(0, 0, type == UITableViewCellAccessoryType::checkmark ? 14 : 8, 13));
    }
    void draw(const CGRect&) override {
        UIBezierPath path;
        const CGRect b = bounds();
        if (type_ == UITableViewCellAccessoryType::checkmark) {
            path.move(CGPoint{b.minX() + 1, b.midY()});
            path.addLine(CGPoint{b.minX() + b.width() * 0.4, b.maxY() - 1});
            path.addLine(CGPoint{b.maxX() - 1, b.minY() + 1});
            tintColor().setStroke();
        } else {
            path.move(CGPoint{b.minX() + 1, b.minY() + 1});
            path.addLine(CGPoint{b.maxX() - 1, b.midY()});
            path.addLine(CGPoint{b.minX() + 1, b.maxY() - 1});
            UIColor(0.78, 0.78, 0.8, 1).setStroke();
        }
        path.lineWidth = 2;
        path.stroke();
    }

private:
    UITableViewCellAccessoryType type_;
};

} // namespace

UITableViewCell::UITableViewCell() {
    build();
}

UITableViewCell::UITableViewCell(UITableViewCellStyle style, std::string reuseIdentifier)
    : style_(style), reuseIdentifier_(std::move(reuseIdentifier)) {
    build();
}

UITableViewCell::UITableViewCell(const CGRect& frame) : UIView(frame) {
    build();
}

UITableViewCell::~UITableViewCell() = default;

void UITableViewCell::build() {
    setBackgroundColor(UIColor::whiteColor());
    if (bounds().size.height == 0) setFrame(CGRect(frame().origin, CGSize{320, defaultHeight}));
    contentView_ = std::make_shared<UIView>(bounds());
    contentView_->setBackgroundColor(std::nullopt);
    // The content view follows the cell's size at once (before the cell's own layout pass takes the
    // accessory's room out), so constraints between the two never see a stale content view.
    contentView_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    addSubview(contentView_);
    separator_ = std::make_shared<UIView>();
    separator_->setHidden(true);
    separator_->setUserInteractionEnabled(false);
    addSubview(separator_);
}

std::shared_ptr<UILabel> UITableViewCell::textLabel() {
    if (!textLabel_) {
        textLabel_ = std::make_shared<UILabel>();
        textLabel_->setFont(UIFont::systemFont(17));
        shrinkToShareTheRow(style_, *textLabel_);
        contentView_->addSubview(textLabel_);
        setNeedsLayout();
    }
    return textLabel_;
}

std::shared_ptr<UILabel> UITableViewCell::detailTextLabel() {
    if (style_ == UITableViewCellStyle::default_) return nullptr;
    if (!detailTextLabel_) {
        detailTextLabel_ = std::make_shared<UILabel>();
        if (style_ == UITableViewCellStyle::subtitle) {
            detailTextLabel_->setFont(UIFont::systemFont(12));
        } else {
            detailTextLabel_->setFont(UIFont::systemFont(17));
            detailTextLabel_->setTextColor(UIColor(0.56, 0.56, 0.58, 1));
            if (style_ == UITableViewCellStyle::value1)
                detailTextLabel_->setTextAlignment(NSTextAlignment::right);
        }
        shrinkToShareTheRow(style_, *detailTextLabel_);
        contentView_->addSubview(detailTextLabel_);
        setNeedsLayout();
    }
    return detailTextLabel_;
}

std::shared_ptr<UIImageView> UITableViewCell::imageView() {
    if (!imageView_) {
        imageView_ = std::make_shared<UIImageView>();
        imageView_->setContentMode(UIViewContentMode::center);
        contentView_->addSubview(imageView_);
        setNeedsLayout();
    }
    return imageView_;
}

void UITableViewCell::setAccessoryType(UITableViewCellAccessoryType type) {
    if (accessoryType_ == type) return;
    accessoryType_ = type;
    if (builtInAccessory_) builtInAccessory_->removeFromSuperview();
    builtInAccessory_.reset();
    if (type == UITableViewCellAccessoryType::disclosureIndicator ||
        type == UITableViewCellAccessoryType::checkmark ||
        type == UITableViewCellAccessoryType::detailDisclosureButton ||
        type == UITableViewCellAccessoryType::detailButton) {
        builtInAccessory_ = std::make_shared<AccessoryGlyph>(type);
        if (!accessoryView_) addSubview(builtInAccessory_);
    }
    setNeedsLayout();
}

void UITableViewCell::setAccessoryView(const std::shared_ptr<UIView>& view) {
    if (accessoryView_ == view) return;
    if (accessoryView_) accessoryView_->removeFromSuperview();
    accessoryView_ = view;
    if (view) {
        if (builtInAccessory_) builtInAccessory_->removeFromSuperview();
        addSubview(view);
    } else if (builtInAccessory_) {
        addSubview(builtInAccessory_);
    }
    setNeedsLayout();
}

void UITableViewCell::setBackgroundView(const std::shared_ptr<UIView>& view) {
    if (backgroundView_) backgroundView_->removeFromSuperview();
    backgroundView_ = view;
    if (view) insertSubview(view, 0);
    setNeedsLayout();
}

void UITableViewCell::setSelectedBackgroundView(const std::shared_ptr<UIView>& view) {
    if (selectedBackgroundView_) selectedBackgroundView_->removeFromSuperview();
    selectedBackgroundView_ = view;
    updateSelectionLook();
}

void UITableViewCell::setSeparatorInset(const UIEdgeInsets& insets) {
    separatorInset_ = insets;
    separatorInsetSet_ = true;
    setNeedsLayout();
}

void UITableViewCell::setSelected(bool selected, bool) {
    selected_ = selected;
    updateSelectionLook();
}

void UITableViewCell::setHighlighted(bool highlighted, bool) {
    highlighted_ = highlighted;
    updateSelectionLook();
}

void UITableViewCell::setEditing(bool editing, bool) {
    editing_ = editing;
    setNeedsLayout();
}

void UITableViewCell::updateSelectionLook() {
    const bool show = (selected_ || highlighted_) && selectionStyle != UITableViewCellSelectionStyle::none;
    if (show) {
        if (!selectedBackgroundView_) {
            selectedBackgroundView_ = std::make_shared<UIView>();
            selectedBackgroundView_->setBackgroundColor(UIColor(0.85, 0.85, 0.85, 1));
        }
        if (!selectedBackgroundView_->superview()) {
            insertSubview(selectedBackgroundView_, backgroundView_ ? 1 : 0);
            selectedBackgroundView_->setFrame(bounds());
        }
    } else if (selectedBackgroundView_) {
        selectedBackgroundView_->removeFromSuperview();
    }
    if (textLabel_) textLabel_->setNeedsDisplay();
}

void UITableViewCell::prepareForReuse() {}

CGFloat UITableViewCell::accessoryWidth() const {
    const UITableViewCellAccessoryType type = editing_ ? editingAccessoryType : accessoryType_;
    if (accessoryView_) return accessoryView_->frame().size.width + 2 * sideMargin;
    if (type == UITableViewCellAccessoryType::none) return 0;
    return 38;
}

void UITableViewCell::layoutSubviews() {
    UIView::layoutSubviews();
    const CGRect b = bounds();
    const CGFloat acc = accessoryWidth();
    contentView_->setFrame(CGRect(0, 0, std::max<CGFloat>(0, b.size.width - acc), b.size.height));
    if (backgroundView_) backgroundView_->setFrame(b);
    if (selectedBackgroundView_ && selectedBackgroundView_->superview()) selectedBackgroundView_->setFrame(b);
    if (auto a = accessoryView_ ? accessoryView_ : builtInAccessory_) {
        const CGSize s = a->frame().size;
        a->setFrame(CGRect(b.size.width - sideMargin - s.width, std::round((b.size.height - s.height) / 2),
                           s.width, s.height));
        a->setHidden(editing_ ? editingAccessoryType == UITableViewCellAccessoryType::none && !accessoryView_
                              : false);
    }
    // The built-in labels and image of the style, when the cell uses them. One that code has
    // handed to Auto Layout (it no longer translates its frame) is placed by its constraints.
    auto byHand = [](const std::shared_ptr<UIView>& v) {
        return v && v->translatesAutoresizingMaskIntoConstraints();
    };
    const CGRect c = contentView_->bounds();
    CGFloat x = sideMargin;
    if (imageView_ && imageView_->image()) {
        const CGSize s = imageView_->image()->size();
        if (byHand(imageView_))
            imageView_->setFrame(CGRect(x, std::round((c.size.height - s.height) / 2), s.width, s.height));
        x += s.width + sideMargin;
    }
    const CGFloat right = c.size.width - sideMargin;
    auto fit = [](const std::shared_ptr<UILabel>& l) {
        if (!l || !l->text() || l->text()->empty()) return CGSize{0, 0};
        return l->intrinsicContentSize();
    };
    const CGSize ts = fit(textLabel_);
    const CGSize ds = fit(detailTextLabel_);
    switch (style_) {
    case UITableViewCellStyle::subtitle: {
        const CGFloat total = ts.height + ds.height;
        const CGFloat top = std::round((c.size.height - total) / 2);
        if (byHand(textLabel_))
            textLabel_->setFrame(CGRect(x, top, std::max<CGFloat>(0, right - x), ts.height));
        if (byHand(detailTextLabel_))
            detailTextLabel_->setFrame(
                CGRect(x, top + ts.height, std::max<CGFloat>(0, right - x), ds.height));
        break;
    }
    case UITableViewCellStyle::value1:
    case UITableViewCellStyle::value2: {
        // Two texts too wide for the row share it by their widths, each drawn smaller to fit its
        // share, rather than the title being cut to leave the detail whole.
        const CGFloat room = std::max<CGFloat>(0, right - x - (ts.width > 0 && ds.width > 0 ? 8 : 0));
        const CGFloat share = ts.width + ds.width > room && ts.width + ds.width > 0 ? room / (ts.width + ds.width) : 1;
        const CGFloat dw = std::floor(ds.width * share);
        if (byHand(detailTextLabel_))
            detailTextLabel_->setFrame(
                CGRect(right - dw, std::round((c.size.height - ds.height) / 2), dw, ds.height));
        if (byHand(textLabel_))
            textLabel_->setFrame(CGRect(x, std::round((c.size.height - ts.height) / 2),
                                        std::max<CGFloat>(0, right - dw - x - (dw > 0 ? 8 : 0)), ts.height));
        break;
    }
    case UITableViewCellStyle::default_:
        if (byHand(textLabel_))
            textLabel_->setFrame(CGRect(x, std::round((c.size.height - ts.height) / 2),
                                        std::max<CGFloat>(0, right - x), ts.height));
        break;
    }
}

CGSize UITableViewCell::sizeThatFits(CGSize size) const {
    auto h = [](const std::shared_ptr<UILabel>& l) -> CGFloat {
        if (!l || !l->text() || l->text()->empty()) return 0;
        return l->intrinsicContentSize().height;
    };
    CGFloat content = style_ == UITableViewCellStyle::subtitle ? h(textLabel_) + h(detailTextLabel_)
                                                               : std::max(h(textLabel_), h(detailTextLabel_));
    if (imageView_ && imageView_->image()) content = std::max(content, imageView_->image()->size().height);
    return {size.width, std::max<CGFloat>(defaultHeight, std::ceil(content + 22))};
}

// --- Header and footer views --------------------------------------------------------------------

UITableViewHeaderFooterView::UITableViewHeaderFooterView() {
    build();
}

UITableViewHeaderFooterView::UITableViewHeaderFooterView(std::string reuseIdentifier)
    : reuseIdentifier_(std::move(reuseIdentifier)) {
    build();
}

UITableViewHeaderFooterView::UITableViewHeaderFooterView(const CGRect& frame) : UIView(frame) {
    build();
}

UITableViewHeaderFooterView::~UITableViewHeaderFooterView() = default;

void UITableViewHeaderFooterView::build() {
    contentView_ = std::make_shared<UIView>(bounds());
    addSubview(contentView_);
}

std::shared_ptr<UILabel> UITableViewHeaderFooterView::textLabel() {
    if (!textLabel_) {
        textLabel_ = std::make_shared<UILabel>();
        textLabel_->setFont(UIFont::systemFont(13));
        textLabel_->setTextColor(UIColor(0.43, 0.43, 0.45, 1));
        contentView_->addSubview(textLabel_);
        setNeedsLayout();
    }
    return textLabel_;
}

std::shared_ptr<UILabel> UITableViewHeaderFooterView::detailTextLabel() {
    if (!detailTextLabel_) {
        detailTextLabel_ = std::make_shared<UILabel>();
        detailTextLabel_->setFont(UIFont::systemFont(12));
        contentView_->addSubview(detailTextLabel_);
        setNeedsLayout();
    }
    return detailTextLabel_;
}

void UITableViewHeaderFooterView::setBackgroundView(const std::shared_ptr<UIView>& view) {
    if (backgroundView_) backgroundView_->removeFromSuperview();
    backgroundView_ = view;
    if (view) insertSubview(view, 0);
    setNeedsLayout();
}

void UITableViewHeaderFooterView::layoutSubviews() {
    UIView::layoutSubviews();
    const CGRect b = bounds();
    contentView_->setFrame(b);
    if (backgroundView_) backgroundView_->setFrame(b);
    if (textLabel_) {
        const CGSize s = textLabel_->intrinsicContentSize();
        const CGFloat h = std::max<CGFloat>(0, s.height);
        textLabel_->setFrame(CGRect(15, std::max<CGFloat>(0, b.size.height - h - 6),
                                    std::max<CGFloat>(0, b.size.width - 30), h));
    }
}
