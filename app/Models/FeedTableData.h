#pragma once

#include "Models/MediaType.h"

#include "foundation/json/JSON.h"

#include <optional>
#include <string>

// One row of a card's detail table.
struct FeedTableData {
    std::optional<std::string> title;
    std::optional<std::string> subtitle;
    std::optional<std::string> details;
    // The media reference as the server sends it, and its kind.
    std::optional<std::string> media;
    // Always set by the parser (`unknown` when the row names no usable kind).
    std::optional<MediaType> type;
    std::optional<std::string> videoIdentifier;

    FeedTableData() = default;
    // `FeedTableData(dictionary:)`: one detail row object. Each field takes its key's value only when
    // it is a JSON string; anything else (absent, null, a number, a list) leaves it empty. Never fails;
    // a value that is not an object gives a row with every text empty and `type` = `unknown`.
    explicit FeedTableData(const JSON& dictionary);

    friend bool operator==(const FeedTableData&, const FeedTableData&) = default;
};
