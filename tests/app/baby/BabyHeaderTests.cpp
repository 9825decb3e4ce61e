#include "Controllers/Baby/Header/BabyHeaderViewModel.h"

#include "foundation/time/Calendar.h"
#include "foundation/time/DeviceSettingsGuard.h"
#include "tests/support/ResidentSize.h"

#include <gtest/gtest.h>

namespace {

const UIFont kNumber = UIFont::systemFont(17, UIFont::Weight::medium);
const UIFont kUnit = UIFont::systemFont(15, UIFont::Weight::medium);

// The text, and which of its UTF-16 units are set in the number's font.
struct Shown {
    std::string text;
    std::size_t enlarged = 0;
};

Shown shown(const NSAttributedString& half) {
    Shown s{half.string(), 0};
    for (const auto& run : half.runs()) {
        EXPECT_EQ(run.attributes.foregroundColor, UIColor::blackColor()) << s.text;
        if (run.attributes.font == kNumber) {
            EXPECT_EQ(run.range.location, 0u) << "only the leading number is enlarged in " << s.text;
            s.enlarged += run.range.length;
        } else {
            EXPECT_EQ(run.attributes.font, kUnit) << s.text;
        }
    }
    return s;
}

void expectHalves(const std::optional<std::string>& description, const std::string& weeks,
                  std::size_t weeksDigits, const std::string& days, std::size_t daysDigits) {
    const auto [first, second] = BabyHeaderViewModel::halves(description);
    const Shown a = shown(first), b = shown(second);
    EXPECT_EQ(a.text, weeks) << description.value_or("(none)");
    EXPECT_EQ(a.enlarged, weeksDigits) << description.value_or("(none)");
    EXPECT_EQ(b.text, days) << description.value_or("(none)");
    EXPECT_EQ(b.enlarged, daysDigits) << description.value_or("(none)");
}

TEST(BabyHeader, SplitsEachAgeIntoWeeksAndDaysWithOnlyTheDigitsEnlarged) {
    expectHalves("32 weeks and 4 days", "32 weeks", 2, "4 days", 1);
    expectHalves("0 weeks and 6 days", "0 weeks", 1, "6 days", 1);
    expectHalves("3 WEEKS and 2 DAYS", "3 weeks", 1, "2 days", 1);
    expectHalves("1 0 weeks and 2 days", "10 weeks", 2, "2 days", 1);
    // No digits: the number is empty, the space stays.
    expectHalves("weeks and days", " weeks", 0, " days", 0);
    // The first lower-case "a" decides, even outside "and".
    expectHalves("3 Weeks And 4 Days", "34 weeksandd", 2, " ", 0);
    // Digits of other scripts are digits too; one outside the basic plane is enlarged whole.
    expectHalves("٣ weeks and \U0001D7D2 days", "٣ weeks", 1, "\U0001D7D2 days", 2);
}

TEST(BabyHeader, TextsWithoutALowerCaseAOrTooShortAfterItAreSafe) {
    for (const std::optional<std::string>& none :
         {std::optional<std::string>(), std::optional<std::string>("12 weeks"),
          std::optional<std::string>("12 WEEKS AND 3 DAYS"), std::optional<std::string>("")}) {
        const auto [first, second] = BabyHeaderViewModel::halves(none);
        EXPECT_TRUE(first.empty() && second.empty()) << none.value_or("(none)");
        EXPECT_TRUE(first.runs().empty());
    }
    // An "a" with fewer than two characters after it: the days half is empty, nothing read past the end.
    expectHalves("1 day", "1 d", 1, " ", 0);
    expectHalves("4 da", "4 d", 1, " ", 0);
    expectHalves("a", " ", 0, " ", 0);
    expectHalves("2 weeks a", "2 weeks", 1, " ", 0);
}

TEST(BabyHeader, NameDateAndUpdateLineInTheDeviceLocale) {
    DeviceSettingsGuard device("en_US", "America/New_York");
    DateComponents c;
    c.year = 2026;
    c.month = 12;
    c.day = 6;
    c.hour = 15;
    c.minute = 7;
    const Date date = *Calendar::current().dateFrom(c);

    const BabyHeaderViewModel model("32 weeks and 4 days", "3 weeks and 1 days", std::nullopt, std::nullopt, date);
    EXPECT_EQ(model.updateDateString, "Updated at 3:07PM, Dec 6, 2026, Sun");
    EXPECT_EQ(model.name, "");
    EXPECT_EQ(model.date, date);
    EXPECT_EQ(model.gestationWeeksAttributed.string(), "32 weeks");
    EXPECT_EQ(model.daysOfLifeDaysAttributed.string(), "1 days");
    EXPECT_TRUE(model.adjustedAgeWeeksAttributed.empty());

    const auto journey = makeBabyHeaderTexts(std::nullopt, std::nullopt, "35 weeks and 2 days", "Olivia Hart", date);
    EXPECT_EQ(journey.name, "Olivia Hart");
    EXPECT_EQ(journey.adjustedAgeWeeksAttributed.string(), "35 weeks");
    EXPECT_EQ(journey.adjustedAgeDaysAttributed.string(), "2 days");

    DeviceSettingsGuard german("de_DE", "Europe/Berlin");
    EXPECT_EQ(BabyHeaderViewModel::updateLine(date), "Updated at 9:07PM, Dez. 6, 2026, So.");
}

// A server's age text of ten megabytes, as one word, as two halves of megabytes, or as digits: the
// header is built from it while what it takes stays near what its one-line halves show (a kilobyte
// each and an ellipsis), not tens of bytes for every character nor copies of the megabytes.
TEST(BabyHeader, AServersTenMegabyteAgeTextTakesMemoryOnlyForWhatItShows) {
    constexpr std::size_t kTenMegabytes = 10u << 20;
    const std::string half(kTenMegabytes / 2, 'w');
    struct Row {
        const char* what;
        std::optional<std::string> description; // as the header takes it, so that no copy is measured
        std::size_t weeks; // bytes of each half shown
        std::size_t days;
    };
    const Row rows[] = {
        {"one word without an a", std::string(kTenMegabytes, 'w'), 0, 0},
        {"two halves of megabytes", half + " and " + half, 1025, 1025},
        {"digits, then a short unit", std::string(kTenMegabytes, '7') + " weeks and 4 days", 1025, 6},
        {"a short age, then megabytes", "32 weeks and 4 days" + half, 8, 1025},
    };
    for (const Row& row : rows) {
        cw::test::resetPeakResidentSize();
        const std::int64_t before = cw::test::residentMegabytes("VmRSS:");
        const auto [weeks, days] = BabyHeaderViewModel::halves(row.description);
        const std::int64_t taken = cw::test::residentMegabytes("VmHWM:") - before;
        EXPECT_EQ(weeks.string().size(), row.weeks) << row.what;
        EXPECT_EQ(days.string().size(), row.days) << row.what;
        if (cw::test::residentSizeIsSound()) {
            EXPECT_LE(taken, 8) << row.what << ": megabytes taken at most";
        }
    }
}

} // namespace
