#include "Views/RoundedSectionFooterView.h"

#include "Views/RoundedSectionHeaderBase.h"

void RoundedSectionFooterView::awakeFromNib() {
    UITableViewHeaderFooterView::awakeFromNib();
    cw::detail::styleSectionBackground(*this, baseView());
}
