#include "Models/MediaType.h"

std::optional<MediaType> MediaTypeFromRawValue(int rawValue) {
    if (rawValue < static_cast<int>(MediaType::png) || rawValue > static_cast<int>(MediaType::unknown))
        return std::nullopt;
    return static_cast<MediaType>(rawValue);
}

int rawValue(MediaType type) {
    return static_cast<int>(type);
}

MediaType FeedMediaType::mediaType(std::optional<std::string_view> from) {
    if (!from) return MediaType::unknown;
    const std::string_view text = *from;
    if (text == "png") return MediaType::png;
    if (text == "jpg" || text == "jpeg" || text == "image/jpeg") return MediaType::jpeg;
    if (text == "mp4") return MediaType::mp4;
    if (text == "link") return MediaType::link;
    if (text == "table_png") return MediaType::table_png;
    if (text == "table_mp4") return MediaType::table_mp4;
    if (text == "table_text") return MediaType::table_text;
    return MediaType::unknown;
}
