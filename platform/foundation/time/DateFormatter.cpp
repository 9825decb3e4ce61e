#include "foundation/time/DateFormatter.h"

#include "foundation/time/IcuSupport.h"

#include <unicode/datefmt.h>
#include <unicode/dtptngen.h>
#include <unicode/smpdtfmt.h>
#include <unicode/uchar.h>

#include <cmath>
#include <mutex>

namespace {

icu::DateFormat::EStyle icuStyle(DateFormatter::Style style) {
    switch (style) {
    case DateFormatter::Style::noStyle:
        return icu::DateFormat::kNone;
    case DateFormatter::Style::shortStyle:
        return icu::DateFormat::kShort;
    case DateFormatter::Style::mediumStyle:
        return icu::DateFormat::kMedium;
    case DateFormatter::Style::longStyle:
        return icu::DateFormat::kLong;
    case DateFormatter::Style::fullStyle:
        return icu::DateFormat::kFull;
    }
    return icu::DateFormat::kNone;
}

bool hasWhiteSpace(const icu::UnicodeString& text) {
    for (int32_t i = 0; i < text.length();) {
        UChar32 c = text.char32At(i);
        if (u_isUWhiteSpace(c)) return true;
        i += U16_LENGTH(c);
    }
    return false;
}

// No date is written with a longer run of digits than a compact "yyyyMMddHHmmssSSS"; ICU's parser
// divides by a power of ten that overflows to zero on a run of some 35 digits and stops the process,
// so longer runs are no date.
constexpr int32_t kLongestDigitRun = 17;

bool hasOverlongDigitRun(const icu::UnicodeString& text) {
    int32_t run = 0;
    for (int32_t i = 0; i < text.length();) {
        UChar32 c = text.char32At(i);
        run = u_isdigit(c) ? run + 1 : 0;
        if (run > kLongestDigitRun) return true;
        i += U16_LENGTH(c);
    }
    return false;
}

bool parsesWhole(icu::DateFormat& format, const icu::UnicodeString& text, UDate& result) {
    icu::ParsePosition position(0);
    result = format.parse(text, position);
    return position.getErrorIndex() < 0 && position.getIndex() == text.length();
}

} // namespace

struct DateFormatter::Impl {
    std::mutex mutex;

    // Settings.
    std::string pattern;
    // When set, the pattern is the locale's best one for these fields.
    std::optional<std::string> dateTemplate;
    bool usesStyles = false;
    Style dateStyle = Style::noStyle;
    Style timeStyle = Style::noStyle;
    std::optional<Locale> locale;
    std::optional<TimeZone> timeZone;
    std::optional<std::string> calendarIdentifier;

    // The ICU formatter those settings give, made again when they or the device's settings change.
    bool dirty = true;
    unsigned generation = 0;
    Locale builtLocale = Locale::posix();
    TimeZone builtZone = TimeZone::gmt();
    std::unique_ptr<icu::SimpleDateFormat> strict; // null when the pattern is unusable
    std::string builtPattern;
    bool patternHasWhiteSpace = false;
    // Made on first need: the strict formatter in GMT, and one whose calendar moves a skipped wall
    // time past the daylight-saving gap instead of refusing it.
    std::unique_ptr<icu::DateFormat> strictInGmt;
    std::unique_ptr<icu::DateFormat> gapTolerant;

    void touch() { dirty = true; }
    void ensureBuilt();
    std::optional<Date> parse(std::string_view text);
};

void DateFormatter::Impl::ensureBuilt() {
    unsigned current = cw::detail::deviceSettingsGeneration().load();
    if (!dirty && generation == current) return;
    dirty = false;
    generation = current;
    builtLocale = locale.value_or(Locale::current());
    builtZone = timeZone.value_or(TimeZone::current());
    strictInGmt.reset();
    gapTolerant.reset();

    icu::Locale icuLocale(builtLocale.identifier().c_str());
    UErrorCode status = U_ZERO_ERROR;
    if (calendarIdentifier) icuLocale.setKeywordValue("calendar", calendarIdentifier->c_str(), status);
    status = U_ZERO_ERROR;
    std::unique_ptr<icu::DateFormat> format;
    if (usesStyles && (dateStyle != Style::noStyle || timeStyle != Style::noStyle)) {
        format.reset(
            icu::DateFormat::createDateTimeInstance(icuStyle(dateStyle), icuStyle(timeStyle), icuLocale));
    } else {
        icu::UnicodeString text = usesStyles ? icu::UnicodeString() : cw::detail::toUnicode(pattern);
        if (!usesStyles && dateTemplate) {
            std::unique_ptr<icu::DateTimePatternGenerator> generator(
                icu::DateTimePatternGenerator::createInstance(icuLocale, status));
            if (U_SUCCESS(status)) text = generator->getBestPattern(cw::detail::toUnicode(*dateTemplate), status);
        }
        if (U_SUCCESS(status))
            format = std::make_unique<icu::SimpleDateFormat>(text, icuLocale, status);
    }
    auto* simple = dynamic_cast<icu::SimpleDateFormat*>(format.get());
    if (U_FAILURE(status) || !simple) {
        strict.reset();
        builtPattern = usesStyles ? std::string() : pattern;
        return;
    }
    format.release();
    strict.reset(simple);
    strict->setTimeZone(cw::detail::IcuAccess::zone(builtZone));
    // setLenient(false) also refuses white space and numbers where the pattern has none.
    strict->setLenient(false);
    strict->setBooleanAttribute(UDAT_PARSE_PARTIAL_LITERAL_MATCH, false, status);
    icu::UnicodeString resolved;
    strict->toPattern(resolved);
    builtPattern = cw::detail::toUtf8(resolved);
    patternHasWhiteSpace = hasWhiteSpace(resolved);
}

std::optional<Date> DateFormatter::Impl::parse(std::string_view text) {
    ensureBuilt();
    if (!strict || text.empty()) return std::nullopt;
    icu::UnicodeString unicode = cw::detail::toUnicode(text);
    // ICU skips white space before a field even when strict; a pattern without any accepts none.
    if (!patternHasWhiteSpace && hasWhiteSpace(unicode)) return std::nullopt;
    if (hasOverlongDigitRun(unicode)) return std::nullopt;
    UDate millis = 0;
    if (parsesWhole(*strict, unicode, millis)) return cw::detail::fromUDate(millis);

    // A strict calendar refuses a wall time that the time zone skips (midnight of a day on which
    // the clocks go forward at 00:00). The text itself may be fine: check it where no time is
    // skipped, then read it with a calendar that moves past the gap.
    if (!strictInGmt) {
        strictInGmt.reset(strict->clone());
        strictInGmt->setTimeZone(*icu::TimeZone::getGMT());
    }
    if (!parsesWhole(*strictInGmt, unicode, millis)) return std::nullopt;
    if (!gapTolerant) {
        gapTolerant.reset(strict->clone());
        std::unique_ptr<icu::Calendar> calendar(strict->getCalendar()->clone());
        calendar->setLenient(true);
        calendar->setSkippedWallTimeOption(UCAL_WALLTIME_NEXT_VALID);
        gapTolerant->adoptCalendar(calendar.release());
    }
    if (parsesWhole(*gapTolerant, unicode, millis)) return cw::detail::fromUDate(millis);
    return std::nullopt;
}

DateFormatter::DateFormatter() : impl_(std::make_unique<Impl>()) {}
DateFormatter::~DateFormatter() = default;
DateFormatter::DateFormatter(DateFormatter&&) noexcept = default;
DateFormatter& DateFormatter::operator=(DateFormatter&&) noexcept = default;

DateFormatter DateFormatter::serverFormatter(std::string_view pattern) {
    DateFormatter formatter;
    formatter.setDateFormat(pattern);
    formatter.setLocale(Locale::posix());
    formatter.setCalendar(Calendar::gregorian());
    return formatter;
}

std::string DateFormatter::dateFormat() const {
    std::lock_guard lock(impl_->mutex);
    impl_->ensureBuilt();
    return impl_->builtPattern;
}

void DateFormatter::setDateFormat(std::string_view pattern) {
    std::lock_guard lock(impl_->mutex);
    impl_->pattern = std::string(pattern);
    impl_->dateTemplate.reset();
    impl_->usesStyles = false;
    impl_->touch();
}

void DateFormatter::setLocalizedDateFormatFromTemplate(std::string_view dateTemplate) {
    std::lock_guard lock(impl_->mutex);
    impl_->dateTemplate = std::string(dateTemplate);
    impl_->usesStyles = false;
    impl_->touch();
}

DateFormatter::Style DateFormatter::dateStyle() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->dateStyle;
}

void DateFormatter::setDateStyle(Style style) {
    std::lock_guard lock(impl_->mutex);
    impl_->dateStyle = style;
    impl_->dateTemplate.reset();
    impl_->usesStyles = true;
    impl_->touch();
}

DateFormatter::Style DateFormatter::timeStyle() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->timeStyle;
}

void DateFormatter::setTimeStyle(Style style) {
    std::lock_guard lock(impl_->mutex);
    impl_->timeStyle = style;
    impl_->dateTemplate.reset();
    impl_->usesStyles = true;
    impl_->touch();
}

Locale DateFormatter::locale() const {
    std::lock_guard lock(impl_->mutex);
    impl_->ensureBuilt();
    return impl_->builtLocale;
}

void DateFormatter::setLocale(std::optional<Locale> locale) {
    std::lock_guard lock(impl_->mutex);
    impl_->locale = std::move(locale);
    impl_->touch();
}

TimeZone DateFormatter::timeZone() const {
    std::lock_guard lock(impl_->mutex);
    impl_->ensureBuilt();
    return impl_->builtZone;
}

void DateFormatter::setTimeZone(std::optional<TimeZone> timeZone) {
    std::lock_guard lock(impl_->mutex);
    impl_->timeZone = std::move(timeZone);
    impl_->touch();
}

Calendar DateFormatter::calendar() const {
    std::lock_guard lock(impl_->mutex);
    impl_->ensureBuilt();
    std::string identifier = impl_->calendarIdentifier.value_or("gregorian");
    if (!impl_->calendarIdentifier && impl_->strict) identifier = impl_->strict->getCalendar()->getType();
    Calendar calendar(identifier);
    calendar.setLocale(impl_->builtLocale);
    calendar.setTimeZone(impl_->builtZone);
    return calendar;
}

void DateFormatter::setCalendar(std::optional<Calendar> calendar) {
    std::lock_guard lock(impl_->mutex);
    impl_->calendarIdentifier = calendar ? std::optional(calendar->identifier()) : std::nullopt;
    impl_->touch();
}

std::optional<Date> DateFormatter::date(std::string_view from) const {
    std::lock_guard lock(impl_->mutex);
    return impl_->parse(from);
}

std::string DateFormatter::string(const Date& from) const {
    if (!std::isfinite(from.timeIntervalSince1970())) return {};
    std::lock_guard lock(impl_->mutex);
    impl_->ensureBuilt();
    if (!impl_->strict) return {};
    icu::UnicodeString text;
    UErrorCode status = U_ZERO_ERROR;
    // Pattern letters that mean nothing fail here rather than when the pattern is set.
    impl_->strict->format(cw::detail::toUDate(from), text, nullptr, status);
    return U_FAILURE(status) ? std::string() : cw::detail::toUtf8(text);
}
