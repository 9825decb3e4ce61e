#pragma once

#include "foundation/json/JSON.h"
#include "foundation/time/Date.h"
#include "foundation/url/URL.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

// A baby's daily updates as one reply: the age texts of the baby header and the update entries.
// Plain values, built once per reply and never changed.

// One sub-row of an update item.
struct DailyUpdateSubItem {
    std::optional<std::string> title; // "title"
    std::optional<std::string> value; // "value"
};

// One row of an update entry.
struct DailyUpdateItem {
    // Its cell lays out each sub-row and each line as views of their own: a row keeps the first
    // this many of each. The server's rows hold a handful; a list a hostile or broken server fills
    // with thousands would otherwise cost a cell thousands of views and constraints.
    static constexpr std::size_t kShownLinesLimit = 50;

    DailyUpdateItem() = default;
    // Never fails: mistyped keys leave their fields absent; sub-rows and lines past the limit are
    // left out.
    explicit DailyUpdateItem(const JSON& json);

    std::optional<std::string> name;                         // "name": the row's identifier
    std::optional<std::string> title;                        // "title"
    std::optional<std::string> subtitle;                     // "subtitle"
    std::optional<std::string> value;                        // "value"
    std::optional<std::string> formattedText;                // "formatted_text"
    std::optional<URL> imageURL;                             // "image"; none when empty or not an address
    std::optional<std::vector<DailyUpdateSubItem>> subItems; // "subitems" when it is a list
    std::optional<std::vector<std::string>> data;            // "data" when it is a list; each element as text
    bool isUpdate = false;                                   // "was_changed"
    std::optional<std::string> info;                         // "info"
};

// One update entry, at the moment the server wrote it.
struct DailyUpdate {
    // None when "updated_at" is not a "yyyy-MM-dd'T'HH:mm:ssZ" time (2018-11-05T14:30:00+0000).
    static std::optional<DailyUpdate> fromJSON(const JSON& json);

    std::vector<DailyUpdateItem> items; // "items"
    Date updatedAt;                     // "updated_at"
};

struct DailyUpdateResponse {
    DailyUpdateResponse() = default;
    // The whole reply; entries whose time does not read are left out, the others keep the reply's
    // order. Never fails.
    explicit DailyUpdateResponse(const JSON& json);

    std::optional<std::string> daysOfLifeDescription;             // always set by the parse
    std::optional<std::string> gestationalAgeDescription;         // always set by the parse
    std::optional<std::string> adjustedGestationalAgeDescription; // always set by the parse
    std::vector<DailyUpdate> dailyUpdates;                        // "daily_update"
};
