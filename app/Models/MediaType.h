#pragma once

#include <optional>
#include <string_view>

// The kind of a piece of media as the server names it. The raw values are the server's numbers.
enum class MediaType {
    png = 1,
    jpeg = 2,
    mp4 = 3,
    link = 4,
    table_png = 5,  // detail rows with PNG media
    table_text = 6, // text-only detail rows
    table_mp4 = 7,  // detail rows with MP4 media
    unknown = 8,    // any other or missing kind
};

// `MediaType(rawValue:)`: 1 to 8 give their case; anything else gives none.
std::optional<MediaType> MediaTypeFromRawValue(int rawValue);
int rawValue(MediaType type);

// Reads the server's media-type texts.
struct FeedMediaType {
    // Exact, case-sensitive: "png", "jpg" / "jpeg" / "image/jpeg", "mp4", "link", "table_png",
    // "table_mp4", "table_text"; no text or any other text is `unknown`, never none.
    static MediaType mediaType(std::optional<std::string_view> from);
};
