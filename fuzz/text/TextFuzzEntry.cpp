// Fuzz entry for what reads free text a member typed: trimming and finding links in it.
#include "foundation/text/CharacterSet.h"
#include "foundation/text/Utf8.h"
#include "foundation/url/NSDataDetector.h"

#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::string trimmed = cw::trimmingCharacters(text, CharacterSet::whitespacesAndNewlines());
    if (trimmed.size() > text.size() || text.find(trimmed) == std::string_view::npos) std::abort();
    const std::size_t units = cw::utf16Length(text);
    const auto detector = NSDataDetector::make(NSTextCheckingTypeLink);
    std::size_t previousEnd = 0;
    for (const auto& match : detector->matches(text)) {
        // Links stand in order, apart, inside the text, and each has an address.
        if (match.range.location < previousEnd || match.range.end() > units || match.range.length == 0)
            std::abort();
        if (!match.url || match.url->absoluteString().empty()) std::abort();
        previousEnd = match.range.end();
    }
    (void)detector->matches(text, NSRange{units / 2, units});
    return 0;
}
