#include "Models/EducationCategory.h"

#include "Models/RecordReading.h"

Picture::Picture(const JSON::dictionary_t& dictionary) {
    scaleOneXUrl = cw::member(dictionary, "1x").string();
    scaleTwoXUrl = cw::member(dictionary, "2x").string();
    scaleThreeXUrl = cw::member(dictionary, "3x").string();
}

EducationCategory::EducationCategory(const JSON::dictionary_t& dictionary) {
    categoryID = cw::member(dictionary, "id").asExactInt();
    name = cw::member(dictionary, "name").string();
    if (auto pictures = cw::member(dictionary, "pictures").dictionary()) picture = Picture(*pictures);
}

std::optional<std::string> EducationCategory::pictureURL(CGFloat screenScale) const {
    if (!picture) return std::nullopt;
    if (screenScale == 1.0) return picture->scaleOneXUrl;
    if (screenScale == 3.0) return picture->scaleThreeXUrl;
    return picture->scaleTwoXUrl;
}
