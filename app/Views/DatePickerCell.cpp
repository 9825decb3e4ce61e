#include "Views/DatePickerCell.h"

#include "uikit/controls/UINib.h"

std::string DatePickerCell::className() const {
    return "DatePickerCell";
}

namespace {

const bool registered = [] {
    UINib::registerNib("DatePickerCell", [] {
        auto cell = std::make_shared<DatePickerCell>(UITableViewCellStyle::default_,
                                                     DatePickerCell::defaultReuseIdentifier);
        cell->setFrame(CGRect(0, 0, 375, 216));
        auto picker = std::make_shared<UIDatePicker>();
        picker->datePickerMode = UIDatePickerMode::time;
        picker->setTranslatesAutoresizingMaskIntoConstraints(false);
        const auto& content = cell->contentView();
        content->addSubview(picker);
        const std::map<std::string, std::shared_ptr<UIView>> views{{"picker", picker}};
        content->addConstraints(NSLayoutConstraint::constraints("H:|[picker]|", 0, {}, views));
        content->addConstraints(NSLayoutConstraint::constraints("V:|[picker]|", 0, {}, views));
        cell->setDatePicker(picker);
        return std::static_pointer_cast<UIView>(cell);
    });
    return true;
}();

} // namespace
