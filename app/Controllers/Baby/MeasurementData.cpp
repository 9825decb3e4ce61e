#include "Controllers/Baby/MeasurementData.h"

#include "foundation/time/DateFormatter.h"

namespace {

// Made once for the run; a formatter guards its own use.
const DateFormatter& serverFormatter() {
    static const DateFormatter formatter = [] {
        DateFormatter f;
        f.setDateFormat("yyyy-MM-dd'T'HH:mm:ss");
        return f;
    }();
    return formatter;
}

const DateFormatter& displayFormatter() {
    static const DateFormatter formatter = [] {
        DateFormatter f;
        f.setDateFormat("MMM d");
        return f;
    }();
    return formatter;
}

} // namespace

MeasurementData MeasurementData::fromEntry(const JSON& entry) {
    MeasurementData point;
    if (auto text = entry["updated_at"].string()) point.date = serverFormatter().date(*text);
    if (point.date) point.dateDescription = displayFormatter().string(*point.date);
    point.value = entry["value"].doubleValue();
    point.units = entry["units"].string();
    return point;
}

std::vector<MeasurementData> MeasurementData::series(const JSON& reply, const std::string& key) {
    std::vector<MeasurementData> points;
    for (const auto& entry : reply[key].arrayValue())
        points.push_back(fromEntry(entry));
    return points;
}
