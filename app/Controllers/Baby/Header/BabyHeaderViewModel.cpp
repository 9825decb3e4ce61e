#include "Controllers/Baby/Header/BabyHeaderViewModel.h"

#include "foundation/text/CaseMapping.h"
#include "foundation/text/CharacterSet.h"
#include "foundation/text/Utf8.h"
#include "foundation/time/DateFormatter.h"

#include <string_view>

namespace {

// A half shows on one line of a third of the screen's width: this many bytes hold far more characters
// than such a line shows (a few dozen), in any script. What a server sends past them is never shown,
// so it is neither kept nor styled.
constexpr std::size_t kMostHalfBytes = 1024;

// One half as it is read, a character at a time: its digits joined into the number, every other
// character but a space into the unit, until it holds what a header can show.
struct Half {
    std::string number;
    std::string unit;
    bool full = false;

    void add(std::string_view character) {
        if (full || character == " ") return;
        if (number.size() + unit.size() + character.size() > kMostHalfBytes) {
            full = true;
            return;
        }
        std::size_t at = 0;
        const auto first = cw::decodeUtf8(character, at);
        // A digit stands alone as a character; one that carries marks is no plain digit.
        if (first && at == character.size() && CharacterSet::decimalDigits().contains(*first))
            number += character;
        else
            unit += character;
    }

    // "32weeks" → "32 weeks" with "32" in 17 points and the rest in 15.
    NSAttributedString displayText() const {
        const TextAttributes unitStyle{.font = UIFont::systemFont(15, UIFont::Weight::medium),
                                       .foregroundColor = UIColor::blackColor()};
        NSMutableAttributedString text(number + " " + cw::lowercased(unit), unitStyle);
        // The number's length as the text counts it, so that a digit outside the basic plane is enlarged whole.
        const std::size_t numberLength = cw::utf16Length(number);
        if (numberLength > 0)
            text.addAttributes({.font = UIFont::systemFont(17, UIFont::Weight::medium)}, NSRange{0, numberLength});
        return text;
    }
};

} // namespace

std::pair<NSAttributedString, NSAttributedString>
BabyHeaderViewModel::halves(const std::optional<std::string>& description) {
    if (!description) return {};
    // Read once, a character at a time, keeping nothing per character: a server's text may be
    // megabytes long.
    Half weeks;
    Half days;
    // Characters still to skip after the first "a" (the "a" itself and "nd"); none before it is met.
    std::optional<int> skipping;
    cw::forEachCharacter(*description, [&](std::string_view character) {
        if (!skipping) {
            if (character == "a")
                skipping = 2;
            else
                weeks.add(character);
        } else if (*skipping > 0) {
            --*skipping;
        } else {
            days.add(character);
        }
        // Once the days half holds what it can show, the rest of the text changes nothing.
        return !days.full;
    });
    if (!skipping) return {};
    return {weeks.displayText(), days.displayText()};
}

std::string BabyHeaderViewModel::updateLine(const Date& date) {
    DateFormatter formatter;
    formatter.setDateFormat("h:mma, MMM d, yyyy, eee");
    return kUpdatedAtPrefix + formatter.string(date);
}

BabyHeaderViewModel::BabyHeaderViewModel(const std::optional<std::string>& gestationalAgeDescription,
                                         const std::optional<std::string>& daysOfLifeDescription,
                                         const std::optional<std::string>& adjustedAgeDescription,
                                         const std::optional<std::string>& name, const Date& date)
    : name(name.value_or(std::string())), date(date), updateDateString(updateLine(date)) {
    std::tie(gestationWeeksAttributed, gestationDaysAttributed) = halves(gestationalAgeDescription);
    std::tie(daysOfLifeWeeksAttributed, daysOfLifeDaysAttributed) = halves(daysOfLifeDescription);
    std::tie(adjustedAgeWeeksAttributed, adjustedAgeDaysAttributed) = halves(adjustedAgeDescription);
}
