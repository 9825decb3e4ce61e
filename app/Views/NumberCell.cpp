#include "Views/NumberCell.h"

#include "Extensions/UIView+Autolayout.h"
#include "Views/FormCellSupport.h"

#include <algorithm>

namespace {

NumberFormatter amountFormatter() {
    NumberFormatter f;
    f.setNumberStyle(NumberFormatter::Style::currency);
    f.setCurrencySymbol("");
    f.setMaximumFractionDigits(2);
    f.setMinimumFractionDigits(2);
    return f;
}

bool allDigits(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The typed digits as hundredths, in decimal text: "5" is "0.05", "125" is "1.25".
std::string hundredths(const std::string& digits) {
    std::string padded = digits;
    if (padded.size() < 3) padded.insert(0, 3 - padded.size(), '0');
    padded.insert(padded.size() - 2, 1, '.');
    return padded;
}

} // namespace

NumberCell::NumberCell(UITableViewCellStyle, const std::string& reuseIdentifier)
    : UITableViewCell(UITableViewCellStyle::default_, reuseIdentifier), formatter_(amountFormatter()) {
    setup();
}

NumberCell::NumberCell(NSCoder&)
    : UITableViewCell(UITableViewCellStyle::default_, std::string()), formatter_(amountFormatter()) {
    setup();
}

void NumberCell::awakeFromNib() {
    UITableViewCell::awakeFromNib();
    setup();
}

void NumberCell::setup() {
    if (auto title = textLabel()) title->setFont(UIFont::preferredFont(UIFontTextStyle::caption1));
    cw::detail::removeTaggedInput(*this);
    nf_->setDelegate(this);
    nf_->setTag(cw::detail::formInputTag);
    nf_->setTranslatesAutoresizingMaskIntoConstraints(false);
    nf_->setPlaceholder(std::string("0.00"));
    nf_->autocorrectionType = UITextAutocorrectionType::no;
    nf_->keyboardType = UIKeyboardType::numberPad;
    nf_->returnKeyType = UIReturnKeyType::done;
    nf_->setClearButtonMode(UITextFieldViewMode::whileEditing);
    nf_->contentVerticalAlignment = UIControlContentVerticalAlignment::center;
    nf_->setTextAlignment(NSTextAlignment::right);
    addSubview(nf_);
    cw::detail::removeKeptConstraints(*this, layout_);
    cw::detail::keep(layout_, addConstraintsWithFormat(*this, "V:|[v0]|", {nf_}));
    cw::detail::keep(layout_, addConstraintsWithFormat(*this, "H:|-100-[v0]-5-|", {nf_}));
}

void NumberCell::touchesBegan(const TouchSet&, const UIEvent*) {
    nf_->becomeFirstResponder();
}

bool NumberCell::textFieldShouldReturn(UITextField* field) {
    if (field) field->resignFirstResponder();
    return true;
}

bool NumberCell::textFieldShouldClear(UITextField*) {
    amountTypedString_.clear();
    return true;
}

bool NumberCell::shouldChangeCharactersIn(UITextField*, NSRange, const std::string& replacement) {
    if (!replacement.empty()) {
        // What is not a digit would make the amount something other than what was typed.
        if (!allDigits(replacement)) return false;
        amountTypedString_ += replacement;
        showAmount();
    } else {
        if (!amountTypedString_.empty()) amountTypedString_.pop_back();
        if (amountTypedString_.empty())
            nf_->setText(std::string("0.00"));
        else
            showAmount();
    }
    return false;
}

void NumberCell::showAmount() {
    // Only digits are ever kept, so the text always reads as a number.
    nf_->setText(formatter_.string(hundredths(amountTypedString_)).value_or("0.00"));
}
