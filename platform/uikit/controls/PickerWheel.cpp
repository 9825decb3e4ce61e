#include "uikit/controls/PickerWheel.h"

#include "uikit/graphics/NSAttributedString.h"

#include <algorithm>
#include <cmath>

namespace cw {

// The wheel hears its own scrolling: where a drag or a coast would stop is moved onto a row, and
// every way of stopping ends in one rest.
struct PickerWheel::Motion : UIScrollViewDelegate {
    PickerWheel* wheel;
    explicit Motion(PickerWheel* w) : wheel(w) {}
    void scrollViewWillBeginDragging(UIScrollView*) override {
        wheel->heading_.reset();
        wheel->reportAtRest_ = false;
    }
    void scrollViewWillEndDragging(UIScrollView*, CGPoint, CGPoint* target) override {
        target->y = wheel->offsetFor(wheel->rowAt(target->y));
    }
    void scrollViewDidEndDragging(UIScrollView*, bool decelerate) override {
        if (!decelerate) wheel->cameToRest();
    }
    void scrollViewDidEndDecelerating(UIScrollView*) override { wheel->cameToRest(); }
    void scrollViewDidEndScrollingAnimation(UIScrollView*) override {
        wheel->heading_.reset();
        if (!wheel->reportAtRest_) return;
        wheel->reportAtRest_ = false;
        wheel->cameToRest();
    }
};

PickerWheel::PickerWheel(CGFloat rowHeight) : rowHeight_(rowHeight > 0 ? rowHeight : 32) {
    motion_ = std::make_unique<Motion>(this);
    setDelegate(motion_.get());
    setContentInsetAdjustmentBehavior(UIScrollViewContentInsetAdjustmentBehavior::never);
    showsVerticalScrollIndicator = false;
    showsHorizontalScrollIndicator = false;
    alwaysBounceVertical = true;
    scrollsToTop = false;
    // A wheel stops sooner than a list: a slow turn lands on the row the finger left it at.
    decelerationRate = UIScrollViewDecelerationRateFast;
    tap_ = std::make_shared<UITapGestureRecognizer>();
    tap_->addTarget([this](UIGestureRecognizer& g) {
        if (g.state() != UIGestureRecognizerState::ended || rows_ == 0) return;
        const CGFloat y = g.location(this).y;
        const long row = static_cast<long>(std::floor(y / rowHeight_));
        if (row < 0 || row >= rows_ || row == middleRow()) return;
        turnTo(row);
    });
    addGestureRecognizer(tap_);
}

PickerWheel::~PickerWheel() {
    setDelegate(nullptr);
    tap_->removeTarget(nullptr);
    removeGestureRecognizer(tap_);
}

void PickerWheel::setRowHeight(CGFloat height) {
    if (height <= 0 || height == rowHeight_) return;
    const long row = middleRow();
    rowHeight_ = height;
    updateGeometry();
    if (row >= 0) showRow(row, false);
}

void PickerWheel::setNumberOfRows(long rows) {
    rows = std::max(0L, rows);
    const long row = middleRow();
    rows_ = rows;
    updateGeometry();
    showRow(std::max(0L, row), false);
    setNeedsDisplay();
}

void PickerWheel::updateGeometry() {
    // Each row, the first and the last too, can stand in the middle.
    const CGFloat h = bounds().size.height;
    const CGFloat inset = std::max<CGFloat>(0, (h - rowHeight_) / 2);
    setContentInset(UIEdgeInsets{inset, 0, inset, 0});
    setContentSize({bounds().size.width, static_cast<CGFloat>(rows_) * rowHeight_});
}

CGFloat PickerWheel::offsetFor(long row) const {
    return static_cast<CGFloat>(row) * rowHeight_ - contentInset().top;
}

long PickerWheel::rowAt(CGFloat offsetY) const {
    if (rows_ == 0) return -1;
    const long row = std::lround((offsetY + contentInset().top) / rowHeight_);
    return std::clamp(row, 0L, rows_ - 1);
}

long PickerWheel::middleRow() const {
    if (heading_) return *heading_;
    return rowAt(contentOffset().y);
}

void PickerWheel::showRow(long row, bool animated) {
    heading_.reset();
    reportAtRest_ = false;
    if (rows_ == 0) return;
    row = std::clamp(row, 0L, rows_ - 1);
    const CGPoint target{contentOffset().x, offsetFor(row)};
    if (animated && !(target == contentOffset())) {
        heading_ = row;
        setContentOffset(target, true);
    } else {
        setContentOffset(target);
    }
}

bool PickerWheel::isTurning() const {
    return isDragging() || isDecelerating() || heading_.has_value();
}

void PickerWheel::turnTo(long row) {
    row = std::clamp(row, 0L, rows_ - 1);
    const CGPoint target{contentOffset().x, offsetFor(row)};
    if (target == contentOffset()) {
        cameToRest();
        return;
    }
    heading_ = row;
    reportAtRest_ = true;
    setContentOffset(target, true);
}

void PickerWheel::cameToRest() {
    if (rows_ == 0) return;
    const long row = rowAt(contentOffset().y);
    if (contentOffset().y != offsetFor(row)) {
        // Let go between two rows (pulled past an end and back): it clicks onto the nearest.
        turnTo(row);
        return;
    }
    if (onRest) onRest(row);
}

void PickerWheel::scrollWheel(CGFloat notches) {
    if (rows_ == 0 || !isScrollEnabled()) return;
    // The wheel rolled away from the person brings the rows above into the middle.
    const long step = static_cast<long>(std::lround(notches));
    if (step == 0) return;
    turnTo(middleRow() - step);
}

void PickerWheel::layoutSubviews() {
    const long row = middleRow();
    const CGFloat before = contentInset().top;
    updateGeometry();
    UIScrollView::layoutSubviews();
    if (contentInset().top != before && row >= 0 && !isTurning()) showRow(row, false);
}

void PickerWheel::contentOffsetDidChange() {
    setNeedsDisplay();
}

void PickerWheel::draw(const CGRect&) {
    if (rows_ == 0 || !titleForRow) return;
    const CGRect b = bounds();
    const long middle = rowAt(contentOffset().y);
    const long first = std::max(0L, static_cast<long>(std::floor(b.minY() / rowHeight_)));
    const long last = std::min(rows_ - 1, static_cast<long>(std::floor(b.maxY() / rowHeight_)));
    for (long r = first; r <= last; ++r) {
        const auto title = titleForRow(r);
        if (!title || title->empty()) continue;
        const bool enabled = !isRowEnabled || isRowEnabled(r);
        TextAttributes a;
        a.font = UIFont::systemFont(r == middle ? middleFontSize : fontSize);
        a.foregroundColor = !enabled       ? UIColor(0.8, 0.8, 0.8, 1)
                            : r == middle ? UIColor::blackColor()
                                          : UIColor::grayColor();
        CGSize s = textSize(*title, a);
        // A title wider than the wheel is drawn smaller rather than past its neighbours.
        if (s.width > b.size.width - 8 && s.width > 0) {
            const CGFloat size = r == middle ? middleFontSize : fontSize;
            a.font = UIFont::systemFont(std::max<CGFloat>(9, size * (b.size.width - 8) / s.width));
            s = textSize(*title, a);
        }
        const CGFloat y = (static_cast<CGFloat>(r) + 0.5f) * rowHeight_ - s.height / 2;
        NSAttributedString(*title, a).draw(CGPoint{b.minX() + (b.size.width - s.width) / 2, y});
    }
}

} // namespace cw
