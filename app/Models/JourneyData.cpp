#include "Models/JourneyData.h"

#include "Models/RecordReading.h"

#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <limits>

namespace {

std::optional<URL> urlOfText(const JSON& json) {
    return URL::fromString(json.stringValue());
}

// Canonically equivalent texts are equal: both are compared in composed form. A text that cannot be
// normalised (invalid UTF-8) is compared byte for byte.
bool sameText(const std::string& a, const std::string& b) {
    if (a == b) return true;
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* nfc = icu::Normalizer2::getNFCInstance(status);
    if (U_FAILURE(status) || !nfc) return false;
    const icu::UnicodeString ua = nfc->normalize(icu::UnicodeString::fromUTF8(a), status);
    const icu::UnicodeString ub = nfc->normalize(icu::UnicodeString::fromUTF8(b), status);
    if (U_FAILURE(status)) return false;
    return ua == ub;
}

bool sameOptionalText(const std::optional<std::string>& a, const std::optional<std::string>& b) {
    if (!a || !b) return !a && !b;
    return sameText(*a, *b);
}

} // namespace

JourneyStage::JourneyStage(const JSON& json) {
    questionId = json["q_id"].int_();
    notificationId = json["not_id"].int_();
    description = json["title"].stringValue();
    question = json["question"].stringValue();
    isComplete = cw::asciiLowercased(json["answer"].stringValue()) == "yes";
    isAsked = json["is_question_asked"].boolValue();
    lastUpdated = json["updated_at"].stringValue();
    colorHexValue = json["color_hex"].string();
}

JourneyItem::JourneyItem(const JSON& json) {
    label = json["label"].string();
    overlayText = json["overlay_text"].string();
    dateDescription = json["date"].string();
    imageURL = urlOfText(json["image"]);
    id = json["id"].int_();
    isEditable = json["editable"].bool_();
}

std::optional<std::int64_t> JourneySection::weekNumberOfName(const std::string& name) {
    std::string digits;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(name.data());
    const auto length = static_cast<std::int32_t>(std::min<std::size_t>(name.size(), INT32_MAX));
    for (std::int32_t i = 0; i < length;) {
        UChar32 c;
        U8_NEXT(bytes, i, length, c);
        if (c < 0 || u_charType(c) != U_DECIMAL_DIGIT_NUMBER) continue;
        // Digits of other scripts are kept by the split but make the number unreadable.
        if (c > '9') return std::nullopt;
        digits.push_back(static_cast<char>(c));
    }
    if (digits.empty()) return std::nullopt;
    std::int64_t value = 0;
    for (char d : digits) {
        const int digit = d - '0';
        if (value > (std::numeric_limits<std::int64_t>::max() - digit) / 10) return std::nullopt;
        value = value * 10 + digit;
    }
    return value;
}

JourneyResponse JourneySection::parseJourneyData(const JSON& json) {
    JourneyResponse response;
    for (const auto& [key, value] : json["nicu_journey_data"].dictionaryValue()) {
        JourneySection section;
        for (const auto& element : value.arrayValue())
            section.items.emplace_back(element);
        section.weekNumber = weekNumberOfName(key);
        section.name = key;
        response.sections.push_back(std::move(section));
    }
    // Latest week first; sections without a number after all numbered ones. Equal weeks keep the
    // order of their names.
    std::stable_sort(response.sections.begin(), response.sections.end(),
                     [](const JourneySection& a, const JourneySection& b) {
                         return a.weekNumber && (!b.weekNumber || *a.weekNumber > *b.weekNumber);
                     });
    response.daysOfLifeDescription = json["days_of_life_description"].stringValue();
    response.gestationalAgeDescription = json["gestational_age_description"].stringValue();
    response.adjustedGestationalAgeDescription = json["adjusted_gestational_age_description"].stringValue();
    response.fullName = json["baby"]["full_name"].stringValue();
    return response;
}

JourneyMilestoneType::JourneyMilestoneType(const JSON& json) {
    dropdownText = json["dropdown_text"].string();
    type = json["type"].stringValue();
    imageURL = urlOfText(json["image"]);
    isInput = json["input"].boolValue();
}

bool operator==(const JourneyMilestoneType& a, const JourneyMilestoneType& b) {
    return sameOptionalText(a.dropdownText, b.dropdownText) && sameText(a.type, b.type) &&
           a.imageURL == b.imageURL && a.isInput == b.isInput;
}
