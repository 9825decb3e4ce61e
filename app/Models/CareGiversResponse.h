#pragma once

#include "foundation/json/JSON.h"

#include <optional>
#include <string>
#include <vector>

// One person of a baby's care team.
struct CareGiver {
    std::optional<std::string> title;       // "text"
    std::optional<std::string> description; // "desc"
};

// A baby's care team reply: the baby's age texts, the team's name and its members.
class CareGiversResponse {
public:
    // Never fails. The server sends the team's name as a "care_givers" entry whose "text" is
    // "CARE TEAM": such entries are taken out of the list, and the first one's "desc" names the team.
    explicit CareGiversResponse(const JSON& json);

    std::optional<std::string> daysOfLifeDescription;
    std::optional<std::string> gestationalAgeDescription;
    std::optional<std::string> adjustedGestationalAgeDescription;
    std::vector<CareGiver> careGivers;
    std::optional<std::string> careTeamName;
};
