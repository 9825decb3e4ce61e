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
    // The texts to send, the empty text for a field without text. A date that reads in the form's
    // display pattern ("MMM, dd yyyy" in the device's locale) is given as "yyyy-MM-dd", the one
    // form the server reads; any other text as it stands. The gender is the picker's text or a
    // Gender raw value.
    virtual std::string babyFullNameText() const = 0;
    virtual std::string birthdayText() const = 0;
    virtual std::string birthdayExpectedText() const = 0;
    virtual std::string genderText() const = 0;
    // The picture to send: one the member cropped for this form, else none (a photo that came from
    // the server, or the placeholder, is never sent back).
    virtual std::shared_ptr<UIImage> babyImage() const = 0;
};
