#include "foundation/text/RegularExpression.h"

#include "foundation/time/IcuSupport.h"

#include <unicode/regex.h>
#include <unicode/unistr.h>

namespace cw {

struct RegularExpression::Compiled {
    std::unique_ptr<icu::RegexPattern> pattern;
};

std::optional<RegularExpression> RegularExpression::make(std::string_view pattern, std::string* error) {
    UErrorCode status = U_ZERO_ERROR;
    UParseError where{};
    const icu::UnicodeString source = detail::toUnicode(pattern);
    auto compiled = std::make_shared<Compiled>();
    compiled->pattern.reset(icu::RegexPattern::compile(source, 0, where, status));
    if (U_FAILURE(status) || !compiled->pattern) {
        if (error)
            *error = std::string("The pattern cannot be compiled (") + u_errorName(status) + " at offset " +
                     std::to_string(where.offset) + ").";
        return std::nullopt;
    }
    return RegularExpression(std::move(compiled));
}

std::vector<std::string> RegularExpression::matches(std::string_view text) const {
    std::vector<std::string> found;
    const icu::UnicodeString subject = detail::toUnicode(text);
    UErrorCode status = U_ZERO_ERROR;
    // A matcher per search: the compiled pattern is shared, the matcher's state is not.
    std::unique_ptr<icu::RegexMatcher> matcher(compiled_->pattern->matcher(subject, status));
    if (U_FAILURE(status) || !matcher) return found;
    while (matcher->find(status) && U_SUCCESS(status)) {
        std::string match;
        matcher->group(status).toUTF8String(match);
        if (U_FAILURE(status)) break;
        found.push_back(std::move(match));
    }
    return found;
}

} // namespace cw
