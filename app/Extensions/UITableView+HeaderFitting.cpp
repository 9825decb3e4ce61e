#include "Extensions/UITableView+HeaderFitting.h"

void layoutTableHeaderViewWithFitting(UITableView& table, CGFloat height) {
    auto header = table.tableHeaderView();
    if (!header) return;
    header->setNeedsLayout();
    header->layoutIfNeeded();
    const CGSize needed =
        header->systemLayoutSizeFitting(CGSize{table.bounds().size.width, height},
                                        UILayoutPriorityDefaultHigh, UILayoutPriorityFittingSizeLevel);
    CGRect frame = header->frame();
    frame.size.height = needed.height;
    header->setFrame(frame);
    table.setTableHeaderView(header);
}
