#pragma once

#include "Models/BabyData.h"
#include "Models/UserData.h"
#include "foundation/json/JSON.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

// The text fields of a sign-up request.
struct SignUpParameters {
    // "full_name", "email", "relationship" (its display text, such as "Grand Parent"), "password" as
    // typed, and "babies" (their request forms) only when there is at least one baby.
    static JSON dictionaryRepresentation(const UserData& user,
                                         const std::optional<std::vector<std::shared_ptr<BabyData>>>& babies,
                                         const std::string& password);
};
