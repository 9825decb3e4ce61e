#include "foundation/time/DeviceSettingsGuard.h"
#include "foundation/time/NumberFormatter.h"

#include <gtest/gtest.h>

namespace {

NumberFormatter bareAmounts() {
    NumberFormatter f;
    f.setNumberStyle(NumberFormatter::Style::currency);
    f.setCurrencySymbol("");
    f.setMinimumFractionDigits(2);
    f.setMaximumFractionDigits(2);
    return f;
}

} // namespace

TEST(NumberFormatter, BareCurrencyAmountsFollowTheDeviceLocaleWithoutASymbolOrItsSpace) {
    const NumberFormatter f = bareAmounts();
    {
        DeviceSettingsGuard us("en_US", "America/New_York");
        EXPECT_EQ(f.string("0.01"), "0.01");
        EXPECT_EQ(f.string("1.25"), "1.25");
        EXPECT_EQ(f.string("1234.5"), "1,234.50");
        EXPECT_EQ(f.string("-7"), "-7.00");
    }
    {
        // German writes the symbol after the amount, behind a no-break space: neither is left.
        DeviceSettingsGuard de("de_DE", "Europe/Berlin");
        EXPECT_EQ(f.string("0.01"), "0,01");
        EXPECT_EQ(f.string("1234.5"), "1.234,50");
    }
}

TEST(NumberFormatter, DecimalTextIsFormattedExactlyWhateverItsSize) {
    DeviceSettingsGuard us("en_US", "America/New_York");
    const NumberFormatter f = bareAmounts();
    // Beyond 2^24 a 32-bit float, and beyond 2^53 a double, would change these digits.
    EXPECT_EQ(f.string("167772.17"), "167,772.17");
    EXPECT_EQ(f.string("12345678901.23"), "12,345,678,901.23");
    EXPECT_EQ(f.string("90071992547409.93"), "90,071,992,547,409.93");
    EXPECT_EQ(f.string("000.05"), "0.05");
    // More digits than allowed round half to even, as the platform's formatter does.
    EXPECT_EQ(f.string("0.125"), "0.12");
    EXPECT_EQ(f.string("0.135"), "0.14");
}

TEST(NumberFormatter, TextThatIsNotADecimalNumberGivesNoText) {
    const NumberFormatter f = bareAmounts();
    for (const char* bad : {"", "-", "1.", ".5", "1.2.3", "12a", "1e5", " 1", "1 ", "+1", "١٢", "0x10"})
        EXPECT_EQ(f.string(bad), std::nullopt) << bad;
}

TEST(NumberFormatter, StylesSymbolsAndAFixedLocale) {
    NumberFormatter f;
    f.setLocale(Locale("en_US"));
    EXPECT_EQ(f.numberStyle(), NumberFormatter::Style::none);
    EXPECT_EQ(f.string("1234.56"), "1235");
    f.setNumberStyle(NumberFormatter::Style::decimal);
    EXPECT_EQ(f.string("1234.5678"), "1,234.568");
    f.setNumberStyle(NumberFormatter::Style::currency);
    EXPECT_EQ(f.string("1234.5"), "$1,234.50");
    f.setCurrencySymbol("EUR ");
    EXPECT_EQ(f.string("3"), "EUR 3.00");
    f.setCurrencySymbol(std::nullopt);
    f.setNumberStyle(NumberFormatter::Style::percent);
    EXPECT_EQ(f.string("0.25"), "25%");
    // A fixed locale does not follow the device.
    DeviceSettingsGuard de("de_DE", "Europe/Berlin");
    EXPECT_EQ(f.locale(), Locale("en_US"));
    EXPECT_EQ(f.string("0.5"), "50%");
    f.setLocale(std::nullopt);
    EXPECT_EQ(f.string("0.5"), "50\u00A0%");
}
