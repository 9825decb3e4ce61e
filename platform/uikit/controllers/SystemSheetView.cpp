#include "uikit/controllers/SystemSheetView.h"

namespace cw {

namespace {
std::shared_ptr<TapTargetView> barButton(const std::string& title, std::function<void()> action, bool bold) {
    auto b = std::make_shared<TapTargetView>();
    b->titleLabel()->setFont(bold ? UIFont::systemFont(17, UIFont::Weight::semibold)
                                  : UIFont::systemFont(17));
    b->titleLabel()->setTextColor(UIColor(0, 0.48, 1, 1));
    b->setTitle(title);
    b->onTap = std::move(action);
    return b;
}
} // namespace

SystemSheetView::SystemSheetView(const CGRect& frame, std::string title) : UIView(frame) {
    setBackgroundColor(UIColor::whiteColor());
    bar_ = std::make_shared<UIView>();
    bar_->setBackgroundColor(UIColor::withWhite(0.97, 1));
    addSubview(bar_);
    title_ = std::make_shared<UILabel>();
    title_->setText(title);
    title_->setFont(UIFont::systemFont(17, UIFont::Weight::semibold));
    bar_->addSubview(title_);
}

void SystemSheetView::setLeftButton(const std::string& title, std::function<void()> action) {
    if (left_) left_->removeFromSuperview();
    left_ = barButton(title, std::move(action), false);
    bar_->addSubview(left_);
    setNeedsLayout();
}

void SystemSheetView::setRightButton(const std::string& title, std::function<void()> action) {
    if (right_) right_->removeFromSuperview();
    right_ = barButton(title, std::move(action), true);
    bar_->addSubview(right_);
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
    const CGSize t = title_->intrinsicContentSize();
    title_->setFrame({(b.size.width - t.width) / 2, top + (44 - t.height) / 2, t.width, t.height});
    if (left_) {
        const CGSize s = left_->sizeThatFits({});
        left_->setFrame({8, top, s.width + 8, 44});
    }
    if (right_) {
        const CGSize s = right_->sizeThatFits({});
        right_->setFrame({b.size.width - s.width - 16, top, s.width + 8, 44});
    }
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
