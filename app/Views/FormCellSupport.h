#pragma once

// What the form rows share: the tag their input goes by, and the two steps every row's set-up
// repeats.

#include "uikit/controls/UITableViewCell.h"

#include <vector>

namespace cw::detail {

// The tag of a form row's input (its text field or value label).
inline constexpr long formInputTag = 3;

// Takes out a view that a table's prototype put into the content view under the input's tag.
void removeTaggedInput(UITableViewCell& cell);

// The row's set-up runs more than once (from the initializer and again from awakeFromNib): each
// run takes away the layout constraints of the one before (and forgets them), so the input is
// laid out by one set, the last.
void removeKeptConstraints(UIView& row, std::vector<NSLayoutConstraintPtr>& kept);
// Adds the constraints to the ones kept.
void keep(std::vector<NSLayoutConstraintPtr>& kept, const std::vector<NSLayoutConstraintPtr>& more);

} // namespace cw::detail
