#include "foundation/time/NumberFormatter.h"

#include "foundation/time/IcuSupport.h"

#include <unicode/dcfmtsym.h>
#include <unicode/decimfmt.h>
#include <unicode/uchar.h>

#include <mutex>

namespace {

UNumberFormatStyle icuStyle(NumberFormatter::Style style) {
    switch (style) {
    case NumberFormatter::Style::currency:
        return UNUM_CURRENCY;
    case NumberFormatter::Style::percent:
        return UNUM_PERCENT;
    case NumberFormatter::Style::none:
    case NumberFormatter::Style::decimal:
        break;
    }
    return UNUM_DECIMAL;
}

// "-"? digits ("." digits)?
bool isDecimalText(std::string_view text) {
    std::size_t i = 0;
    if (i < text.size() && text[i] == '-') ++i;
    auto digits = [&] {
        const std::size_t start = i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9')
            ++i;
        return i > start;
    };
    if (!digits()) return false;
    if (i == text.size()) return true;
    if (text[i] != '.') return false;
    ++i;
    return digits() && i == text.size();
}

icu::UnicodeString trimmed(const icu::UnicodeString& text) {
    int32_t start = 0, end = text.length();
    while (start < end && u_isUWhiteSpace(text.char32At(start)))
        start += U16_LENGTH(text.char32At(start));
    while (end > start) {
        const int32_t last = text.moveIndex32(end, -1);
        if (!u_isUWhiteSpace(text.char32At(last))) break;
        end = last;
    }
    return icu::UnicodeString(text, start, end - start);
}

} // namespace

struct NumberFormatter::Impl {
    std::mutex mutex;

    // Settings.
    Style style = Style::none;
    std::optional<std::string> currencySymbol;
    std::optional<int> minimumFractionDigits;
    std::optional<int> maximumFractionDigits;
    std::optional<Locale> locale;

    // The ICU formatter those settings give, made again when they or the device's locale change.
    bool dirty = true;
    unsigned generation = 0;
    std::unique_ptr<icu::DecimalFormat> format; // null when ICU could not make one

    void touch() { dirty = true; }
    void ensureBuilt();
};

void NumberFormatter::Impl::ensureBuilt() {
    const unsigned current = cw::detail::deviceSettingsGeneration().load();
    if (!dirty && generation == current) return;
    dirty = false;
    generation = current;
    format.reset();

    const Locale built = locale.value_or(Locale::current());
    const icu::Locale icuLocale(built.identifier().c_str());
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::NumberFormat> made(
        icu::NumberFormat::createInstance(icuLocale, icuStyle(style), status));
    auto* decimal = dynamic_cast<icu::DecimalFormat*>(made.get());
    if (U_FAILURE(status) || !decimal) return;
    made.release();
    format.reset(decimal);

    if (style == Style::none) {
        // Plain numbers: no grouping and whole numbers, unless digits are asked for.
        format->setGroupingUsed(false);
        format->setMaximumFractionDigits(0);
    }
    if (currencySymbol) {
        icu::DecimalFormatSymbols symbols(*format->getDecimalFormatSymbols());
        symbols.setSymbol(icu::DecimalFormatSymbols::kCurrencySymbol, cw::detail::toUnicode(*currencySymbol));
        format->setDecimalFormatSymbols(symbols);
    }
    // The minimum first, so that a maximum below the default minimum is not undone by it.
    if (minimumFractionDigits) format->setMinimumFractionDigits(std::max(0, *minimumFractionDigits));
    if (maximumFractionDigits) format->setMaximumFractionDigits(std::max(0, *maximumFractionDigits));
    if (minimumFractionDigits && maximumFractionDigits && *maximumFractionDigits < *minimumFractionDigits)
        format->setMinimumFractionDigits(std::max(0, *maximumFractionDigits));
    format->setRoundingMode(icu::DecimalFormat::kRoundHalfEven);
}

NumberFormatter::NumberFormatter() : impl_(std::make_unique<Impl>()) {}
NumberFormatter::~NumberFormatter() = default;
NumberFormatter::NumberFormatter(NumberFormatter&&) noexcept = default;
NumberFormatter& NumberFormatter::operator=(NumberFormatter&&) noexcept = default;

NumberFormatter::Style NumberFormatter::numberStyle() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->style;
}

void NumberFormatter::setNumberStyle(Style style) {
    std::lock_guard lock(impl_->mutex);
    impl_->style = style;
    impl_->touch();
}

std::optional<std::string> NumberFormatter::currencySymbol() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->currencySymbol;
}

void NumberFormatter::setCurrencySymbol(std::optional<std::string> symbol) {
    std::lock_guard lock(impl_->mutex);
    impl_->currencySymbol = std::move(symbol);
    impl_->touch();
}

std::optional<int> NumberFormatter::minimumFractionDigits() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->minimumFractionDigits;
}

void NumberFormatter::setMinimumFractionDigits(std::optional<int> digits) {
    std::lock_guard lock(impl_->mutex);
    impl_->minimumFractionDigits = digits;
    impl_->touch();
}

std::optional<int> NumberFormatter::maximumFractionDigits() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->maximumFractionDigits;
}

void NumberFormatter::setMaximumFractionDigits(std::optional<int> digits) {
    std::lock_guard lock(impl_->mutex);
    impl_->maximumFractionDigits = digits;
    impl_->touch();
}

Locale NumberFormatter::locale() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->locale.value_or(Locale::current());
}

void NumberFormatter::setLocale(std::optional<Locale> locale) {
    std::lock_guard lock(impl_->mutex);
    impl_->locale = std::move(locale);
    impl_->touch();
}

std::optional<std::string> NumberFormatter::string(std::string_view decimalText) const {
    if (!isDecimalText(decimalText)) return std::nullopt;
    std::lock_guard lock(impl_->mutex);
    impl_->ensureBuilt();
    if (!impl_->format) return std::nullopt;
    icu::UnicodeString out;
    UErrorCode status = U_ZERO_ERROR;
    // The decimal text goes to ICU as text: its decimal arithmetic keeps every digit.
    impl_->format->format(icu::StringPiece(decimalText.data(), static_cast<int32_t>(decimalText.size())), out,
                          nullptr, status);
    if (U_FAILURE(status)) return std::nullopt;
    if (impl_->currencySymbol && impl_->currencySymbol->empty()) out = trimmed(out);
    return cw::detail::toUtf8(out);
}
