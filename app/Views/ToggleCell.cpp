#include "Views/ToggleCell.h"

#include "uikit/controls/UINib.h"

std::string ToggleCell::className() const {
    return "ToggleCell";
}

namespace {

const bool registered = [] {
    UINib::registerNib("ToggleCell", [] {
        auto cell =
            std::make_shared<ToggleCell>(UITableViewCellStyle::default_, ToggleCell::defaultReuseIdentifier);
        auto toggle = std::make_shared<UISwitch>();
        toggle->setTranslatesAutoresizingMaskIntoConstraints(false);
        const auto& content = cell->contentView();
        content->addSubview(toggle);
        content->addConstraint(toggle->trailingAnchor().constraintEqualTo(content->trailingAnchor(), -15));
        content->addConstraint(toggle->centerYAnchor().constraintEqualTo(content->centerYAnchor()));
        cell->setToggle(toggle);
        return std::static_pointer_cast<UIView>(cell);
    });
    return true;
}();

} // namespace
