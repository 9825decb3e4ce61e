#pragma once

#include "foundation/time/Locale.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>

// Turns numbers into texts the way a locale writes them: plain, grouped decimals, currency amounts
// or percentages, with the locale's digits, separators and symbols. A locale that is not set
// follows the device's current one at each use.
//
// Numbers are given as decimal text ("-12.5", "0.07", "12345678901.23") and formatted from that
// text exactly, with as many digits as it has: an amount never passes through binary floating
// point on its way to the screen, so no cent is ever rounded away or invented.
//
// One formatter may be shared between threads: each call holds the formatter's own lock.
class NumberFormatter {
public:
    // The platform's raw values of the styles.
    enum class Style { none = 0, decimal = 1, currency = 2, percent = 3 };

    NumberFormatter();
    ~NumberFormatter();
    NumberFormatter(NumberFormatter&&) noexcept;
    NumberFormatter& operator=(NumberFormatter&&) noexcept;
    NumberFormatter(const NumberFormatter&) = delete;
    NumberFormatter& operator=(const NumberFormatter&) = delete;

    Style numberStyle() const;
    void setNumberStyle(Style style);

    // The text written for the currency; none (the default) is the locale's own symbol. An empty
    // symbol writes the bare amount, without the spaces that stood beside the symbol.
    std::optional<std::string> currencySymbol() const;
    void setCurrencySymbol(std::optional<std::string> symbol);

    // Digits after the decimal separator; none (the default) is what the style and locale give
    // (two for most currencies, none for plain numbers, up to three for decimals).
    std::optional<int> minimumFractionDigits() const;
    void setMinimumFractionDigits(std::optional<int> digits);
    std::optional<int> maximumFractionDigits() const;
    void setMaximumFractionDigits(std::optional<int> digits);

    Locale locale() const;
    void setLocale(std::optional<Locale> locale);

    // The text for a number written as ASCII decimal text: an optional "-", digits, and at most one
    // "." followed by digits. None for any other text. Digits beyond the maximum fraction digits
    // are rounded half to even, as the platform does.
    std::optional<std::string> string(std::string_view decimalText) const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};
