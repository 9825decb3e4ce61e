#include "Models/DailyUpdateData.h"

#include "foundation/time/DateFormatter.h"

#include <algorithm>

namespace {

const DateFormatter& updatedAtFormatter() {
    // Fixed POSIX locale and Gregorian calendar: the server's text must read on any device.
    // Never destroyed: replies may still be read while the program ends.
    static const DateFormatter* formatter =
        new DateFormatter(DateFormatter::serverFormatter("yyyy-MM-dd'T'HH:mm:ssZ"));
    return *formatter;
}

} // namespace

DailyUpdateItem::DailyUpdateItem(const JSON& json) {
    name = json["name"].string();
    title = json["title"].string();
    subtitle = json["subtitle"].string();
    value = json["value"].string();
    formattedText = json["formatted_text"].string();
    imageURL = URL::fromString(json["image"].stringValue());
    if (auto list = json["subitems"].array()) {
        subItems.emplace();
        const std::size_t count = std::min(list->size(), kShownLinesLimit);
        subItems->reserve(count);
        for (std::size_t i = 0; i < count; ++i)
            subItems->push_back({(*list)[i]["title"].string(), (*list)[i]["value"].string()});
    }
    if (auto list = json["data"].array()) {
        data.emplace();
        const std::size_t count = std::min(list->size(), kShownLinesLimit);
        data->reserve(count);
        for (std::size_t i = 0; i < count; ++i)
            data->push_back((*list)[i].stringValue());
    }
    isUpdate = json["was_changed"].boolValue();
    info = json["info"].string();
}

std::optional<DailyUpdate> DailyUpdate::fromJSON(const JSON& json) {
    std::vector<DailyUpdateItem> items;
    for (const auto& element : json["items"].arrayValue())
        items.emplace_back(element);
    auto updatedAt = updatedAtFormatter().date(json["updated_at"].stringValue());
    if (!updatedAt) return std::nullopt;
    return DailyUpdate{std::move(items), *updatedAt};
}

DailyUpdateResponse::DailyUpdateResponse(const JSON& json) {
    daysOfLifeDescription = json["days_of_life_description"].stringValue();
    gestationalAgeDescription = json["gestational_age_description"].stringValue();
    adjustedGestationalAgeDescription = json["adjusted_gestational_age_description"].stringValue();
    for (const auto& element : json["daily_update"].arrayValue())
        if (auto update = DailyUpdate::fromJSON(element)) dailyUpdates.push_back(std::move(*update));
}
