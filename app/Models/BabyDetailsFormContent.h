#pragma once

#include "uikit/graphics/UIImage.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

// What the baby record reads of one baby details form of the profile editor. The form view
// implements it from its own fields; the record never sees the view itself.
class BabyDetailsFormContent {
public:
    virtual ~BabyDetailsFormContent() = default;

    // The server id of the baby the form shows; none for a baby not yet saved.
    virtual std::optional<std::int64_t> babyNumber() const = 0;
    // The texts the fields show now, the empty text for a field without text. Picked dates are
    // written as "MMM, dd yyyy"; the gender is the picker's text or a Gender raw value.
    virtual std::string babyFullNameText() const = 0;
    virtual std::string birthdayText() const = 0;
    virtual std::string birthdayExpectedText() const = 0;
    virtual std::string genderText() const = 0;
    // The picture the form shows; none when it shows none.
    virtual std::shared_ptr<UIImage> babyImage() const = 0;
};
