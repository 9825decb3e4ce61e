#pragma once

#include "uikit/controls/UITableView.h"

// Resizes the table's header view to the height its constraints need at the table's width, fitting
// against `height` (0 for as small as the content allows), and installs it again so the table takes
// the new height. A table without a header view is left alone.
void layoutTableHeaderViewWithFitting(UITableView& table, CGFloat height);
