#pragma once

#include "foundation/json/JSON.h"

#include <cstdint>
#include <optional>
#include <string>

// One person of the member's family and friends list: a connected family member or an invited one.
// Every field is absent when its key is missing or holds another JSON type.
struct Partner {
    Partner() = default;
    explicit Partner(const JSON::dictionary_t& dictionary);

    std::optional<std::string> relationship; // "relationship", the server's text as it came
    std::optional<std::string> name;         // "name"
    std::optional<std::string> email;        // "email"
    std::optional<bool> connected;           // "connected", a JSON Boolean
    std::optional<std::int64_t> memberID;    // "id", a JSON whole number
    std::optional<std::string> pictureFile;  // "file_name"
};
