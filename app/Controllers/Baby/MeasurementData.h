#pragma once

// One point of a measurement series (weight, length, head circumference) as the charts show it,
// read from one entry of the server's list: {"updated_at": "yyyy-MM-dd'T'HH:mm:ss", "value": number,
// "units": text}.

#include "foundation/json/JSON.h"
#include "foundation/time/Date.h"

#include <optional>
#include <string>
#include <vector>

struct MeasurementData {
    // "updated_at" read in the device's time zone; none when missing or not in that form.
    std::optional<Date> date;
    // "value"; 0 when missing or unreadable.
    double value = 0;
    // "units" when it is a text.
    std::optional<std::string> units;
    // The date as the chart writes it ("MMM d", in the device's locale); none without a date.
    std::optional<std::string> dateDescription;

    // Never fails.
    static MeasurementData fromEntry(const JSON& entry);
    // The list under `key` of a reply, in reply order (anything but a list is an empty series).
    static std::vector<MeasurementData> series(const JSON& reply, const std::string& key);
};
