#pragma once

#include "Models/BabyData.h"
#include "Models/UserData.h"
#include "foundation/json/JSON.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

// A completed registration on its way to the sign-up request: the new member (with the picture to
// upload in its `requestImage`), the babies entered on the way, and the chosen password.
struct SignUpParameters {
    UserData userData;
    std::optional<std::vector<std::shared_ptr<BabyData>>> babyDetails;
    std::string password;

    // The text fields of the sign-up: "full_name", "email", "relationship" (its display text, such as
    // "Grand Parent"), "password" as typed, and "babies" (their request forms) only when there is at
    // least one baby.
    JSON dictionaryRepresentation() const;
};
