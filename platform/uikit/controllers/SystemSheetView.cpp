#include "uikit/controllers/SystemSheetView.h"

#include "uikit/controllers/BarTitle.h"

namespace cw {

namespace {
std::shared_ptr<TapTargetView> barButton(const std::string& title, std::function<void()> action, bool bold,
                                         bool enabled) {
    auto b = std::make_shared<TapTargetView>();
    b->titleLabel()->setFont(bold ? UIFont::systemFont(17, UIFont::Weight::semibold)
                                  : UIFont::systemFont(17));
    b->setTitle(title);
    b->onTap = std::move(action);
    b->isEnabled = enabled;
    return b;
}
} // namespace

SystemSheetView::SystemSheetView(const CGRect& frame, std::string title) : UIView(frame) {
    setBackgroundColor(UIColor::whiteColor());
    bar_ = std::make_shared<UIView>();
    bar_->setBackgroundColor(UIColor::withWhite(0.97, 1));
    addSubview(bar_);
    title_ = makeBarTitleLabel(title, UIFont::systemFont(17, UIFont::Weight::semibold), UIColor::blackColor());
    bar_->addSubview(title_);
}

void SystemSheetView::setTitle(const std::string& title) {
    title_->setText(title);
    setNeedsLayout();
}

void SystemSheetView::setLeftButton(const std::string& title, std::function<void()> action, bool enabled) {
    if (left_) left_->removeFromSuperview();
    left_ = barButton(title, std::move(action), false, enabled);
    bar_->addSubview(left_);
    colourButton(*left_);
    setNeedsLayout();
}

void SystemSheetView::setRightButton(const std::string& title, std::function<void()> action, bool enabled) {
    if (right_) right_->removeFromSuperview();
    right_ = barButton(title, std::move(action), true, enabled);
    bar_->addSubview(right_);
    colourButton(*right_);
    setNeedsLayout();
}

void SystemSheetView::colourButton(TapTargetView& button) {
    button.titleLabel()->setTextColor(tintColor());
}

void SystemSheetView::tintColorDidChange() {
    UIView::tintColorDidChange();
    for (auto* b : {&left_, &right_})
        if (*b) colourButton(**b);
}

void SystemSheetView::removeLines() {
    for (auto& l : lines_)
        l->removeFromSuperview();
    lines_.clear();
    setNeedsLayout();
}

void SystemSheetView::addText(const std::string& text, bool secondary) {
    auto l = std::make_shared<UILabel>();
    l->setText(text);
    l->setNumberOfLines(0);
    l->setFont(UIFont::systemFont(secondary ? 15 : 17));
    l->setTextColor(secondary ? UIColor::withWhite(0.45, 1) : UIColor::blackColor());
    addSubview(l);
    lines_.push_back(l);
    setNeedsLayout();
}

void SystemSheetView::addRow(const std::string& title, std::function<void()> action,
                             const std::string& identifier) {
    auto r = std::make_shared<TapTargetView>();
    r->touchSlop = 0;
    r->titleLabel()->setFont(UIFont::systemFont(17));
    r->titleLabel()->setTextColor(UIColor(0, 0.48, 1, 1));
    r->setTitle(title);
    r->onTap = std::move(action);
    r->setAccessibilityIdentifier(identifier);
    addSubview(r);
    lines_.push_back(r);
    setNeedsLayout();
}

void SystemSheetView::layoutSubviews() {
    UIView::layoutSubviews();
    const CGRect b = bounds();
    const CGFloat top = safeAreaInsets().top;
    bar_->setFrame({0, 0, b.size.width, top + 44});
    CGFloat left = 8, right = b.size.width - 8;
    if (left_) {
        const CGSize s = left_->sizeThatFits({});
        left_->setFrame({left, top, s.width + 8, 44});
        left = left_->frame().maxX() + 8;
    }
    if (right_) {
        const CGSize s = right_->sizeThatFits({});
        right_->setFrame({right - s.width - 8, top, s.width + 8, 44});
        right = right_->frame().minX() - 8;
    }
    title_->setFrame(barTitleFrame(title_->intrinsicContentSize(), b.size.width, left, right, top, 44));
    CGFloat y = top + 44 + 12;
    for (auto& l : lines_) {
        if (auto row = std::dynamic_pointer_cast<TapTargetView>(l)) {
            row->setFrame({0, y, b.size.width, 44});
            y += 44;
        } else {
            const CGSize s = l->sizeThatFits({b.size.width - 32, 10000});
            l->setFrame({16, y, b.size.width - 32, s.height});
            y += s.height + 8;
        }
    }
}

} // namespace cw
