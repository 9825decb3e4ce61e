#include "Extensions/UITextField+Email.h"

#include "foundation/text/CharacterSet.h"
#include "foundation/text/Utf8.h"
#include "foundation/url/NSDataDetector.h"

std::optional<std::string> validEmailAddress(const UITextField& field) {
    const auto text = field.text();
    if (!text) return std::nullopt;
    const std::string trimmed = cw::trimmingCharacters(*text, CharacterSet::whitespacesAndNewlines());
    const auto detector = NSDataDetector::make(NSTextCheckingTypeLink);
    if (!detector) return std::nullopt;
    // Over the whole text in the detector's own units, so that a character outside the basic
    // plane (two units) does not end the search early.
    const NSRange whole{0, cw::utf16Length(trimmed)};
    const auto matches = detector->matches(trimmed, whole);
    if (matches.size() != 1) return std::nullopt;
    const auto& link = matches.front();
    if (!link.url || !link.url->absoluteString().starts_with("mailto:")) return std::nullopt;
    // The address must be all there is: words around it would otherwise be sent as the e-mail.
    if (link.range != whole) return std::nullopt;
    return trimmed;
}
