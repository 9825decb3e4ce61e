#pragma once

// One detail of a feed usage event: its key and the fixed sentence it carries.

#include "foundation/json/JSON.h"

struct FeedEventDetail {
    const char* key;
    const char* text;
    JSON::dictionary_t dictionary() const { return {{key, JSON(text)}}; }
};
