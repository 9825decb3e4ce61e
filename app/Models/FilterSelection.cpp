#include "Models/FilterSelection.h"

FilterSelection::FilterSelection(std::vector<std::int64_t> babiesSelected, bool babiesAllSelected,
                                 bool allSelected, bool bookMarkSelected, bool unreadSelected)
    : babiesSelected(std::move(babiesSelected)), bookMarkSelected(bookMarkSelected),
      babiesAllSelected(babiesAllSelected), unreadSelected(unreadSelected), allSelected(allSelected) {}

void FilterSelection::encodeWithCoder(NSKeyedArchiver& coder) const {
    coder.encodeObject(babiesSelected, "babiesSelected");
    coder.encodeBool(bookMarkSelected, "bookMarkSelected");
    coder.encodeBool(babiesAllSelected, "babiesAllSelected");
    coder.encodeBool(unreadSelected, "unreadSelected");
    coder.encodeBool(allSelected, "allSelected");
}

std::shared_ptr<FilterSelection> FilterSelection::initWithCoder(NSKeyedUnarchiver& coder) {
    auto babies = coder.decodeObject<std::vector<std::int64_t>>("babiesSelected");
    if (!babies) return nullptr;
    return std::make_shared<FilterSelection>(std::move(*babies), coder.decodeBoolForKey("babiesAllSelected"),
                                             coder.decodeBoolForKey("allSelected"),
                                             coder.decodeBoolForKey("bookMarkSelected"),
                                             coder.decodeBoolForKey("unreadSelected"));
}
