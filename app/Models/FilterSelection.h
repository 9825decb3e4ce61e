#pragma once

#include "foundation/archive/NSKeyedArchiver.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// The feed filter the member chose: every card, bookmarked cards or unread cards. The session keeps
// it in the user defaults as a keyed archive so that it outlasts the process.
class FilterSelection {
public:
    FilterSelection(std::vector<std::int64_t> babiesSelected, bool babiesAllSelected, bool allSelected,
                    bool bookMarkSelected, bool unreadSelected);
    FilterSelection() = delete;

    // Keyed archive: "babiesSelected" (a list of integers), then the Booleans "bookMarkSelected",
    // "babiesAllSelected", "unreadSelected" and "allSelected". Reading gives none when
    // "babiesSelected" is missing or is not a list of integers; a missing Boolean reads as false.
    static std::string archiveClassName() { return "FilterSelection"; }
    void encodeWithCoder(NSKeyedArchiver& coder) const;
    static std::shared_ptr<FilterSelection> initWithCoder(NSKeyedUnarchiver& coder);

    bool operator==(const FilterSelection&) const = default;

    // Per-baby choices; the filter screen always writes it empty and nothing shown depends on it.
    std::vector<std::int64_t> babiesSelected;
    bool bookMarkSelected = false;
    bool babiesAllSelected = false;
    bool unreadSelected = false;
    bool allSelected = true;
};
