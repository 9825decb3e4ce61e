#include "Views/FormCellSupport.h"

namespace cw::detail {

void removeTaggedInput(UITableViewCell& cell) {
    if (auto tagged = cell.contentView()->viewWithTag(formInputTag)) tagged->removeFromSuperview();
}

void removeKeptConstraints(UIView& row, std::vector<NSLayoutConstraintPtr>& kept) {
    row.removeConstraints(kept);
    kept.clear();
}

void keep(std::vector<NSLayoutConstraintPtr>& kept, const std::vector<NSLayoutConstraintPtr>& more) {
    kept.insert(kept.end(), more.begin(), more.end());
}

} // namespace cw::detail
