#pragma once

// A picker of rows in one or more wheels (components), from a data source and a delegate. Turning
// a wheel is `pick(row, component)`: the row is selected and the delegate told; selecting from
// code tells nobody.

#include "uikit/controls/Delegate.h"
#include "uikit/view/UIView.h"

#include <optional>
#include <string>
#include <vector>

class UIPickerView;

class UIPickerViewDataSource {
public:
    virtual ~UIPickerViewDataSource() = default;
    virtual long numberOfComponents(UIPickerView*) = 0;
    virtual long numberOfRowsInComponent(UIPickerView*, long component) = 0;
};

class UIPickerViewDelegate {
public:
    virtual ~UIPickerViewDelegate() = default;
    virtual std::optional<std::string> titleForRow(UIPickerView*, long /*row*/, long /*component*/) {
        return std::nullopt;
    }
    virtual void didSelectRow(UIPickerView*, long /*row*/, long /*component*/) {}
    virtual CGFloat rowHeightForComponent(UIPickerView*, long) { return 32; }
};

class UIPickerView : public UIView {
public:
    UIPickerView();
    explicit UIPickerView(const CGRect& frame);
    std::string className() const override { return "UIPickerView"; }

    cw::DelegateRef<UIPickerViewDataSource> dataSource() const { return dataSource_; }
    void setDataSource(cw::DelegateRef<UIPickerViewDataSource> dataSource);
    cw::DelegateRef<UIPickerViewDelegate> delegate() const { return delegate_; }
    void setDelegate(cw::DelegateRef<UIPickerViewDelegate> delegate);
    bool showsSelectionIndicator = true;

    long numberOfComponents() const;
    long numberOfRows(long component) const;
    // -1 when the wheel has no rows.
    long selectedRow(long component) const;
    void selectRow(long row, long component, bool animated);
    void reloadAllComponents();
    void reloadComponent(long component);

    // The member turns a wheel to a row (kept within its rows).
    void pick(long row, long component);

    CGSize intrinsicContentSize() const override { return {320, 216}; }
    void draw(const CGRect& rect) override;

private:
    void clampSelection();
    cw::DelegateRef<UIPickerViewDataSource> dataSource_;
    cw::DelegateRef<UIPickerViewDelegate> delegate_;
    mutable std::vector<long> selected_;
};
