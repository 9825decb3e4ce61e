#include "uikit/controls/UIPickerView.h"

#include "uikit/graphics/NSAttributedString.h"
#include "uikit/graphics/UIBezierPath.h"

#include <algorithm>

UIPickerView::UIPickerView() : UIPickerView(CGRect(0, 0, 320, 216)) {}

UIPickerView::UIPickerView(const CGRect& frame) : UIView(frame) {}

void UIPickerView::setDataSource(cw::DelegateRef<UIPickerViewDataSource> dataSource) {
    dataSource_ = std::move(dataSource);
    reloadAllComponents();
}

void UIPickerView::setDelegate(cw::DelegateRef<UIPickerViewDelegate> delegate) {
    delegate_ = std::move(delegate);
    setNeedsDisplay();
}

long UIPickerView::numberOfComponents() const {
    auto ds = dataSource_.get();
    return ds ? std::max(0L, ds->numberOfComponents(const_cast<UIPickerView*>(this))) : 0;
}

long UIPickerView::numberOfRows(long component) const {
    auto ds = dataSource_.get();
    if (!ds || component < 0 || component >= numberOfComponents()) return 0;
    return std::max(0L, ds->numberOfRowsInComponent(const_cast<UIPickerView*>(this), component));
}

void UIPickerView::clampSelection() {
    const long n = numberOfComponents();
    selected_.resize(static_cast<std::size_t>(n), 0);
    for (long c = 0; c < n; ++c)
        selected_[c] = std::clamp(selected_[c], 0L, std::max(0L, numberOfRows(c) - 1));
}

long UIPickerView::selectedRow(long component) const {
    if (component < 0 || component >= static_cast<long>(selected_.size())) return -1;
    return numberOfRows(component) > 0 ? selected_[component] : -1;
}

void UIPickerView::selectRow(long row, long component, bool) {
    clampSelection();
    if (component < 0 || component >= static_cast<long>(selected_.size())) return;
    selected_[component] = std::clamp(row, 0L, std::max(0L, numberOfRows(component) - 1));
    setNeedsDisplay();
}

void UIPickerView::reloadAllComponents() {
    clampSelection();
    setNeedsDisplay();
}

void UIPickerView::reloadComponent(long) {
    reloadAllComponents();
}

void UIPickerView::pick(long row, long component) {
    clampSelection();
    if (component < 0 || component >= static_cast<long>(selected_.size()) || numberOfRows(component) == 0)
        return;
    selectRow(row, component, true);
    if (auto d = delegate_.get()) d->didSelectRow(this, selected_[component], component);
}

void UIPickerView::draw(const CGRect&) {
    const long n = numberOfComponents();
    if (n == 0) return;
    const CGRect b = bounds();
    const CGFloat width = b.size.width / static_cast<CGFloat>(n);
    auto d = delegate_.get();
    for (long c = 0; c < n; ++c) {
        const CGFloat rowHeight = d ? d->rowHeightForComponent(this, c) : 32;
        const long rows = numberOfRows(c);
        const long sel = selectedRow(c);
        for (long r = std::max(0L, sel - 3); r < rows && r <= sel + 3; ++r) {
            auto title = d ? d->titleForRow(this, r, c) : std::nullopt;
            if (!title) continue;
            TextAttributes a;
            a.font = UIFont::systemFont(r == sel ? 21 : 17);
            a.foregroundColor = r == sel ? UIColor::blackColor() : UIColor::grayColor();
            const CGSize s = textSize(*title, a);
            const CGFloat y = b.midY() + static_cast<CGFloat>(r - sel) * rowHeight - s.height / 2;
            NSAttributedString(*title, a).draw(CGPoint{b.minX() + c * width + (width - s.width) / 2, y});
        }
    }
    if (showsSelectionIndicator) {
        UIColor(0.8, 0.8, 0.8, 1).setFill();
        UIBezierPath::rect(CGRect(b.minX(), b.midY() - 16, b.size.width, 0.5)).fill();
        UIBezierPath::rect(CGRect(b.minX(), b.midY() + 16, b.size.width, 0.5)).fill();
    }
}
