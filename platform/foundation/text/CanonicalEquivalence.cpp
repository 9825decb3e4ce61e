#include "foundation/text/CanonicalEquivalence.h"

#include "foundation/text/Utf8.h"
#include "foundation/time/IcuSupport.h"

#include <unicode/normalizer2.h>
#include <unicode/unistr.h>

namespace cw {

using detail::toUnicode;

bool canonicallyEquivalent(std::string_view a, std::string_view b) {
    if (a == b) return true;
    if (!isValidUtf8(a) || !isValidUtf8(b)) return false;
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* nfd = icu::Normalizer2::getNFDInstance(status);
    if (U_FAILURE(status) || !nfd) return false;
    const icu::UnicodeString left = nfd->normalize(toUnicode(a), status);
    const icu::UnicodeString right = nfd->normalize(toUnicode(b), status);
    if (U_FAILURE(status)) return false;
    return left == right;
}

} // namespace cw
