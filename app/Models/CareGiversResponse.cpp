#include "Models/CareGiversResponse.h"

namespace {
constexpr const char* careTeamMarker = "CARE TEAM";
}

CareGiversResponse::CareGiversResponse(const JSON& json) {
    daysOfLifeDescription = json["days_of_life_description"].stringValue();
    gestationalAgeDescription = json["gestational_age_description"].stringValue();
    adjustedGestationalAgeDescription = json["adjusted_gestational_age_description"].stringValue();
    for (const auto& entry : json["care_givers"].arrayValue()) {
        CareGiver giver{entry["text"].string(), entry["desc"].string()};
        if (giver.title == careTeamMarker) {
            if (!careTeamName) careTeamName = entry["desc"].stringValue();
            continue;
        }
        careGivers.push_back(std::move(giver));
    }
}
