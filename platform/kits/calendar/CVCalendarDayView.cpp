#include "kits/calendar/CVCalendarDayView.h"

#include "kits/calendar/CVCalendarView.h"
#include "uikit/controls/UIEvent.h"
#include "uikit/graphics/UIGraphics.h"
#include "uikit/view/UILabel.h"

#include <algorithm>

namespace {
constexpr CGFloat kNumberSize = 16;
// The disc leaves this much of the cell's shorter side free.
constexpr CGFloat kDiscMargin = 6;
const UIColor kNumberColor = UIColor::withWhite(0.13);
const UIColor kTodayColor = UIColor(0.92, 0.17, 0.16);
} // namespace

CVCalendarDayView::CVCalendarDayView(CVDate date)
    : date_(date), label_(std::make_shared<UILabel>()),
      looks_{CVCalendarViewAppearanceDelegate::defaultAccentColor(), CVCalendarViewAppearanceDelegate::defaultAccentColor(),
             UIColor::lightGrayColor()} {
    setOpaque(false);
    label_->setTextAlignment(NSTextAlignment::center);
    label_->setFont(UIFont::systemFont(kNumberSize));
    label_->setUserInteractionEnabled(false);
    addSubview(label_);
    refreshLabel();
}

UIColor CVCalendarDayView::numberColor() const {
    if (selected_ || highlighted_) return UIColor::whiteColor();
    if (!enabled_) return looks_.disabled;
    return today_ ? kTodayColor : kNumberColor;
}

std::optional<UIColor> CVCalendarDayView::discColor() const {
    if (highlighted_) return looks_.highlightedBackground;
    if (selected_) return looks_.selectedBackground;
    return std::nullopt;
}

void CVCalendarDayView::setNumberText(const std::string& text) {
    label_->setText(text);
}

void CVCalendarDayView::setState(bool enabled, bool selected, bool today, const Looks& looks) {
    enabled_ = enabled;
    selected_ = selected;
    today_ = today;
    looks_ = looks;
    refreshLabel();
    setNeedsDisplay();
}

void CVCalendarDayView::setHighlighted(bool highlighted) {
    if (highlighted_ == highlighted) return;
    highlighted_ = highlighted;
    refreshLabel();
    setNeedsDisplay();
}

void CVCalendarDayView::refreshLabel() {
    // Only real changes: a new font or colour lays the number out again.
    const UIColor colour = numberColor();
    if (!(label_->textColor() == colour)) label_->setTextColor(colour);
    const UIFont font = today_ ? UIFont::boldSystemFont(kNumberSize) : UIFont::systemFont(kNumberSize);
    if (!(label_->font() == font)) label_->setFont(font);
}

void CVCalendarDayView::layoutSubviews() {
    UIView::layoutSubviews();
    label_->setFrame(bounds());
}

void CVCalendarDayView::draw(const CGRect&) {
    const auto disc = discColor();
    CGContext* ctx = UIGraphicsGetCurrentContext();
    if (!disc || !ctx) return;
    const CGRect b = bounds();
    const CGFloat diameter = std::max<CGFloat>(0, std::min(b.width(), b.height()) - kDiscMargin);
    if (diameter <= 0) return;
    ctx->setFillColor(*disc);
    ctx->fillEllipse({b.midX() - diameter / 2, b.midY() - diameter / 2, diameter, diameter});
}

void CVCalendarDayView::touchesBegan(const TouchSet&, const UIEvent*) {
    if (enabled_) setHighlighted(true);
}

void CVCalendarDayView::touchesEnded(const TouchSet& touches, const UIEvent*) {
    setHighlighted(false);
    bool inside = false;
    for (const auto& t : touches)
        if (pointInside(t->location(this), nullptr)) inside = true;
    if (!inside) return;
    if (CVCalendarView* calendar = calendarView()) calendar->dayViewTapped(*this);
}

CVCalendarView* CVCalendarDayView::calendarView() const {
    for (UIView* v = superviewPointer(); v; v = v->superviewPointer())
        if (auto* calendar = dynamic_cast<CVCalendarView*>(v)) return calendar;
    return nullptr;
}

void CVCalendarDayView::touchesCancelled(const TouchSet&, const UIEvent*) {
    setHighlighted(false);
}
