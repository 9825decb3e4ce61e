#pragma once

#include "foundation/json/JSON.h"
#include "foundation/url/URL.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// One question about the baby's progress with the family's yes/no answer. Shared by reference: the
// screen that asks the question answers it on the very stage the baby holds, and that stage is sent
// back to the server.
class JourneyStage {
public:
    JourneyStage() = default;
    // Never fails: missing or mistyped keys leave the defaults.
    explicit JourneyStage(const JSON& json);

    std::optional<std::int64_t> questionId;     // "q_id", a number
    std::optional<std::int64_t> notificationId; // "not_id", a number
    std::optional<std::string> description;     // "title"; the empty text when missing
    std::optional<std::string> question;        // "question"; the empty text when missing
    bool isComplete = false;                    // "answer" is "yes" in any letter case
    bool isAsked = false;                       // "is_question_asked"
    std::string lastUpdated;                    // "updated_at" as the server wrote it
    std::optional<std::string> colorHexValue;   // "color_hex" when it is a text
};

// One entry of the journey timeline: a milestone with its texts and picture.
struct JourneyItem {
    JourneyItem() = default;
    explicit JourneyItem(const JSON& json);

    std::optional<std::string> label;           // "label"
    std::optional<std::string> overlayText;     // "overlay_text"
    std::optional<std::string> dateDescription; // "date", as the server wrote it
    std::optional<URL> imageURL;                // "image"; none when empty or not an address
    std::optional<std::int64_t> id;             // "id"
    std::optional<bool> isEditable;             // "editable" when it is true or false
};

struct JourneyResponse;

// One group of timeline entries, normally one week of the stay.
struct JourneySection {
    std::optional<std::string> name;
    std::vector<JourneyItem> items;
    // The number that all decimal digits of the name form ("Week 1-2" gives 12); none when the name
    // has no digits, has digits of another script, or the number does not fit 64 bits.
    std::optional<std::int64_t> weekNumber;

    // The whole "nicu_journey_data" reply: sections with the latest week first and unnumbered
    // sections last, and the baby's age texts and name. Never fails.
    static JourneyResponse parseJourneyData(const JSON& json);
    // The week number of a section name, as described above.
    static std::optional<std::int64_t> weekNumberOfName(const std::string& name);
};

struct JourneyResponse {
    std::vector<JourneySection> sections;
    std::optional<std::string> daysOfLifeDescription;
    std::optional<std::string> gestationalAgeDescription;
    std::optional<std::string> adjustedGestationalAgeDescription;
    std::optional<std::string> fullName; // the baby's, from "baby"
};

// A kind of milestone the family may add to the timeline.
struct JourneyMilestoneType {
    JourneyMilestoneType() = default;
    explicit JourneyMilestoneType(const JSON& json);

    std::optional<std::string> dropdownText; // "dropdown_text", the picker's text
    std::string type;                        // "type", sent back when a milestone is added
    std::optional<URL> imageURL;             // "image"
    bool isInput = false;                    // "input"

    // All four fields equal; texts compare as Unicode text, so composed and decomposed accents match.
    friend bool operator==(const JourneyMilestoneType& a, const JourneyMilestoneType& b);
};
