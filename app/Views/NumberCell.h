#pragma once

// The form row that takes a money amount, typed the way a till takes it: the digits typed are
// hundredths, and the amount grows from the right (1, 2, 5 shows 0.01, 0.12, 1.25), written with
// two decimals in the device locale's notation and grouping, without a currency symbol. The cell
// keeps the digits typed (`amountTypedString`) and writes the field's text itself on every
// keystroke; the amount is formatted from those digits exactly, whatever their number.
//
// Only ASCII digits are taken: an edit that brings anything else (letters pasted, a hardware
// keyboard's symbols) is refused and the text stays. Deleting drops the last digit ("0.00" once
// none is left); the clear button empties the field and the digits. An owner that sets the
// field's text in code sets `amountTypedString` to match, since typing continues from it.

#include "foundation/time/NumberFormatter.h"
#include "uikit/controls/UITableViewCell.h"
#include "uikit/controls/UITextField.h"

#include <memory>
#include <string>
#include <vector>

class NSCoder;

class NumberCell : public UITableViewCell, public UITextFieldDelegate {
public:
    // Any style shows as the default one.
    NumberCell(UITableViewCellStyle style, const std::string& reuseIdentifier);
    explicit NumberCell(NSCoder& coder);
    std::string className() const override { return "NumberCell"; }

    const std::shared_ptr<UITextField>& nf() const { return nf_; }
    void setNf(std::shared_ptr<UITextField> field) { nf_ = std::move(field); }
    // Currency style, no symbol, exactly two decimals, the device's locale.
    const NumberFormatter& formatter() const { return formatter_; }
    const std::string& amountTypedString() const { return amountTypedString_; }
    void setAmountTypedString(std::string digits) { amountTypedString_ = std::move(digits); }

    // Makes the cell its field's delegate and lays the field out over the row's right part.
    virtual void setup();
    void awakeFromNib() override;
    void touchesBegan(const TouchSet& touches, const UIEvent* event) override;

    bool textFieldShouldReturn(UITextField* field) override;
    // Appends typed digits, or drops the last on a deletion, and writes the text; the field never
    // applies an edit itself.
    bool shouldChangeCharactersIn(UITextField* field, NSRange range, const std::string& replacement) override;
    bool textFieldShouldClear(UITextField* field) override;

private:
    void showAmount();

    std::shared_ptr<UITextField> nf_ = std::make_shared<UITextField>();
    NumberFormatter formatter_;
    std::string amountTypedString_;
    std::vector<NSLayoutConstraintPtr> layout_;
};
