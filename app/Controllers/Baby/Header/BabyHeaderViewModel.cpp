#include "Controllers/Baby/Header/BabyHeaderViewModel.h"

#include "foundation/text/CaseMapping.h"
#include "foundation/text/CharacterSet.h"
#include "foundation/text/Utf8.h"
#include "foundation/time/DateFormatter.h"

#include <vector>

namespace {

// "32weeks" → "32 weeks" with "32" in 17 points and the rest in 15.
NSAttributedString displayText(const std::vector<std::string>& piece) {
    std::string number;
    std::string unit;
    const auto& digits = CharacterSet::decimalDigits();
    for (const auto& character : piece) {
        std::size_t at = 0;
        const auto first = cw::decodeUtf8(character, at);
        // A digit stands alone as a character; one that carries marks is no plain digit.
        if (first && at == character.size() && digits.contains(*first))
            number += character;
        else
            unit += character;
    }
    const TextAttributes unitStyle{.font = UIFont::systemFont(15, UIFont::Weight::medium),
                                   .foregroundColor = UIColor::blackColor()};
    NSMutableAttributedString text(number + " " + cw::lowercased(unit), unitStyle);
    // The number's length as the text counts it, so that a digit outside the basic plane is enlarged whole.
    const std::size_t numberLength = cw::utf16Length(number);
    if (numberLength > 0)
        text.addAttributes({.font = UIFont::systemFont(17, UIFont::Weight::medium)}, NSRange{0, numberLength});
    return text;
}

// The characters of `characters[from, to)` without the spaces.
std::vector<std::string> pieceWithoutSpaces(const std::vector<std::string>& characters, std::size_t from,
                                            std::size_t to) {
    std::vector<std::string> piece;
    for (std::size_t i = from; i < to; ++i)
        if (characters[i] != " ") piece.push_back(characters[i]);
    return piece;
}

} // namespace

std::pair<NSAttributedString, NSAttributedString>
BabyHeaderViewModel::halves(const std::optional<std::string>& description) {
    if (!description) return {};
    const auto characters = cw::characters(*description);
    std::size_t split = 0;
    while (split < characters.size() && characters[split] != "a")
        ++split;
    if (split == characters.size()) return {};
    // Just past "and"; never past the end, where a short text ("1 day") would otherwise reach.
    const std::size_t resume = std::min(split + 3, characters.size());
    return {displayText(pieceWithoutSpaces(characters, 0, split)),
            displayText(pieceWithoutSpaces(characters, resume, characters.size()))};
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
