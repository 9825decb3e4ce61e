#include "uikit/controls/UIPickerView.h"

#include "uikit/graphics/UIBezierPath.h"

#include <algorithm>

UIPickerView::UIPickerView() : UIPickerView(CGRect(0, 0, 320, 216)) {}

UIPickerView::UIPickerView(const CGRect& frame) : UIView(frame) {
    // Opaque, as the platform's wheels are: nothing of the screen behind shows through.
    setBackgroundColor(UIColor::whiteColor());
    setClipsToBounds(true);
}

UIPickerView::~UIPickerView() {
    for (const auto& w : wheels_) {
        w->onRest = nullptr;
        w->titleForRow = nullptr;
    }
}

void UIPickerView::setDataSource(cw::DelegateRef<UIPickerViewDataSource> dataSource) {
    dataSource_ = std::move(dataSource);
    reloadAllComponents();
}

void UIPickerView::setDelegate(cw::DelegateRef<UIPickerViewDelegate> delegate) {
    delegate_ = std::move(delegate);
    syncWheels();
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

void UIPickerView::selectRow(long row, long component, bool animated) {
    clampSelection();
    if (component < 0 || component >= static_cast<long>(selected_.size())) return;
    selected_[component] = std::clamp(row, 0L, std::max(0L, numberOfRows(component) - 1));
    syncWheels();
    if (component < static_cast<long>(wheels_.size())) wheels_[component]->showRow(selected_[component], animated);
    setNeedsDisplay();
}

void UIPickerView::reloadAllComponents() {
    clampSelection();
    syncWheels();
    for (std::size_t c = 0; c < wheels_.size(); ++c) {
        if (!wheels_[c]->isTurning()) wheels_[c]->showRow(selected_[c], false);
        wheels_[c]->setNeedsDisplay();
    }
    setNeedsDisplay();
}

std::shared_ptr<cw::PickerWheel> UIPickerView::wheel(long component) const {
    if (component < 0 || component >= static_cast<long>(wheels_.size())) return nullptr;
    return wheels_[component];
}

void UIPickerView::syncWheels() {
    const long n = numberOfComponents();
    while (static_cast<long>(wheels_.size()) > n) {
        wheels_.back()->onRest = nullptr;
        wheels_.back()->removeFromSuperview();
        wheels_.pop_back();
    }
    while (static_cast<long>(wheels_.size()) < n) {
        const long c = static_cast<long>(wheels_.size());
        auto w = std::make_shared<cw::PickerWheel>();
        w->onRest = [this, c](long row) { pick(row, c); };
        w->titleForRow = [this, c](long row) -> std::optional<std::string> {
            auto d = delegate_.get();
            return d ? d->titleForRow(this, row, c) : std::nullopt;
        };
        addSubview(w);
        wheels_.push_back(w);
    }
    auto d = delegate_.get();
    for (long c = 0; c < n; ++c) {
        wheels_[c]->setRowHeight(d ? d->rowHeightForComponent(this, c) : 32);
        if (wheels_[c]->numberOfRows() != numberOfRows(c)) wheels_[c]->setNumberOfRows(numberOfRows(c));
    }
    setNeedsLayout();
}

void UIPickerView::layoutSubviews() {
    UIView::layoutSubviews();
    if (static_cast<long>(wheels_.size()) != numberOfComponents()) reloadAllComponents();
    const CGRect b = bounds();
    const CGFloat width = wheels_.empty() ? 0 : b.size.width / static_cast<CGFloat>(wheels_.size());
    for (std::size_t c = 0; c < wheels_.size(); ++c) {
        const CGRect frame(b.minX() + width * static_cast<CGFloat>(c), b.minY(), width, b.size.height);
        if (wheels_[c]->frame() == frame) continue;
        wheels_[c]->setFrame(frame);
        wheels_[c]->layoutIfNeeded();
        if (c < selected_.size() && !wheels_[c]->isTurning()) wheels_[c]->showRow(selected_[c], false);
    }
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

// The wheels draw their rows; the picker draws the two lines the middle row stands between.
void UIPickerView::draw(const CGRect&) {
    if (!showsSelectionIndicator || numberOfComponents() == 0) return;
    const CGRect b = bounds();
    auto d = delegate_.get();
    const CGFloat rowHeight = d ? d->rowHeightForComponent(this, 0) : 32;
    UIColor(0.8, 0.8, 0.8, 1).setFill();
    UIBezierPath::rect(CGRect(b.minX(), b.midY() - rowHeight / 2, b.size.width, 0.5)).fill();
    UIBezierPath::rect(CGRect(b.minX(), b.midY() + rowHeight / 2, b.size.width, 0.5)).fill();
}
