#pragma once

// A picker of rows in one or more wheels (components), from a data source and a delegate. Each
// wheel turns under a finger (a drag, a flick, a tap on a row above or below the middle) or the
// mouse wheel, and where it comes to rest its row is selected and the delegate told; selecting
// from code tells nobody. The picker has an opaque ground, and its rows never leave its bounds.

#include "uikit/controls/Delegate.h"
#include "uikit/controls/PickerWheel.h"
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
    ~UIPickerView() override;
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

    // A wheel came to rest on a row (kept within its rows): it is selected and the delegate told.
    void pick(long row, long component);
    // The wheel of a component, as a finger finds it on screen; none for a component the picker
    // lacks.
    std::shared_ptr<cw::PickerWheel> wheel(long component) const;

    CGSize intrinsicContentSize() const override { return {320, 216}; }
    void draw(const CGRect& rect) override;
    void layoutSubviews() override;

private:
    void clampSelection();
    // One wheel per component, each showing its selected row.
    void syncWheels();
    std::vector<std::shared_ptr<cw::PickerWheel>> wheels_;
    cw::DelegateRef<UIPickerViewDataSource> dataSource_;
    cw::DelegateRef<UIPickerViewDelegate> delegate_;
    mutable std::vector<long> selected_;
};
