#pragma once

#include "foundation/json/JSON.h"
#include "uikit/graphics/UIGraphics.h"

#include <cstdint>
#include <optional>
#include <string>

// The addresses of one picture at the three screen scales.
struct Picture {
    Picture() = default;
    explicit Picture(const JSON::dictionary_t& dictionary);

    std::optional<std::string> scaleOneXUrl;   // "1x"
    std::optional<std::string> scaleTwoXUrl;   // "2x"
    std::optional<std::string> scaleThreeXUrl; // "3x"
};

// One entry of the education library's tree: a category, a sub-category or a content entry.
// Every field is absent when its key is missing or holds another JSON type.
struct EducationCategory {
    EducationCategory() = default;
    explicit EducationCategory(const JSON::dictionary_t& dictionary);

    std::optional<std::int64_t> categoryID; // "id", a JSON whole number
    std::optional<std::string> name;        // "name"
    std::optional<Picture> picture;         // "pictures" when it is an object

    // The address for a screen of the given scale: 1, 2 and 3 take their own size, any other scale
    // the 2x one. No other size stands in for a missing one.
    std::optional<std::string> pictureURL(CGFloat screenScale = kMainScreenScale) const;
};
