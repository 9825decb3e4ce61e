#pragma once

// The texts of a baby header, as the daily update and the NICU journey show it: the name, three
// ages (gestational, days of life, adjusted), each cut into a weeks half and a days half with the
// number set larger than its unit word, and the line that tells when the header was shown.
//
// The server writes each age as one text, "32 weeks and 4 days". A half is what stands before the
// first lower-case "a" (the weeks) or from three characters after it (the days, just past "and");
// its spaces go, its digits are joined into the number, every other character is lowered into the
// unit, and it reads "<number> <unit>" with only the number in 17 points (the rest in 15, all
// medium weight, black). An absent text, or one without a lower-case "a", gives two empty halves;
// an "a" too near the end ("1 day") gives an empty second half (shown as one space). A half keeps
// no more of a server's text than its one line can show (a kilobyte): the rest of a text of
// megabytes is read once to find its "a", and neither kept nor styled.
//
// A plain value: built afresh for each reply, on the main thread, and never changed.

#include "foundation/time/Date.h"
#include "uikit/graphics/NSAttributedString.h"

#include <optional>
#include <string>
#include <utility>

struct BabyHeaderViewModel {
    // Never fails. `name` absent gives the empty text.
    BabyHeaderViewModel(const std::optional<std::string>& gestationalAgeDescription,
                        const std::optional<std::string>& daysOfLifeDescription,
                        const std::optional<std::string>& adjustedAgeDescription,
                        const std::optional<std::string>& name, const Date& date);

    NSAttributedString gestationWeeksAttributed;
    NSAttributedString gestationDaysAttributed;
    NSAttributedString daysOfLifeWeeksAttributed;
    NSAttributedString daysOfLifeDaysAttributed;
    NSAttributedString adjustedAgeWeeksAttributed;
    NSAttributedString adjustedAgeDaysAttributed;
    std::string name;
    Date date;
    // "Updated at " and the date as "h:mma, MMM d, yyyy, eee" in the device's locale, calendar and
    // time zone ("Updated at 3:07PM, Dec 6, 2026, Sun").
    std::string updateDateString;

    // The weeks half and the days half of one age text.
    static std::pair<NSAttributedString, NSAttributedString> halves(const std::optional<std::string>& description);
    // "Updated at " and the date, as above.
    static std::string updateLine(const Date& date);

    static constexpr const char* kUpdatedAtPrefix = "Updated at ";
};

// The same builder under the name the journey screen knows it by: the three age texts, the name
// and the date, in that order.
inline BabyHeaderViewModel makeBabyHeaderTexts(const std::optional<std::string>& gestationalAgeDescription,
                                               const std::optional<std::string>& daysOfLifeDescription,
                                               const std::optional<std::string>& adjustedAgeDescription,
                                               const std::optional<std::string>& name, const Date& date) {
    return BabyHeaderViewModel(gestationalAgeDescription, daysOfLifeDescription, adjustedAgeDescription, name,
                               date);
}
