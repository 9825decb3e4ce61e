#pragma once

#include "foundation/json/JSON.h"

#include <string>
#include <string_view>

namespace cw {

// Lower-cases ASCII letters only. The enumeration texts the records compare against are plain ASCII
// words, and no non-ASCII character lower-cases to one of their letters, so this matches what a
// full Unicode lower-casing would decide for them.
inline std::string asciiLowercased(std::string_view text) {
    std::string result(text);
    for (char& c : result)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return result;
}

// The value under `key` of a dictionary of JSON values; a missing value when there is none.
inline JSON member(const JSON::dictionary_t& dictionary, const std::string& key) {
    auto found = dictionary.find(key);
    return found == dictionary.end() ? JSON::missing() : found->second;
}

} // namespace cw
