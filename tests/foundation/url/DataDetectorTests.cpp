#include "foundation/url/NSDataDetector.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

// Each link as (location, length, address).
struct Found {
    std::size_t location, length;
    std::string url;
    bool operator==(const Found&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Found& f) {
    return os << "{" << f.location << ", " << f.length << ", " << f.url << "}";
}

std::vector<Found> links(std::string_view text, std::optional<NSRange> range = std::nullopt) {
    const auto detector = NSDataDetector::make(NSTextCheckingTypeLink);
    std::vector<Found> out;
    for (const auto& m : range ? detector->matches(text, *range) : detector->matches(text))
        out.push_back({m.range.location, m.range.length, m.url ? m.url->absoluteString() : "(none)"});
    return out;
}

TEST(DataDetector, EmailAddressesAreMailtoLinks) {
    EXPECT_EQ(links("mother@example.com"), (std::vector<Found>{{0, 18, "mailto:mother@example.com"}}));
    EXPECT_EQ(links("Write to dad.smith+nicu@mail.example.org, please."),
              (std::vector<Found>{{9, 31, "mailto:dad.smith+nicu@mail.example.org"}}));
    EXPECT_EQ(links("mailto:mom@example.com"), (std::vector<Found>{{0, 22, "mailto:mom@example.com"}}));
    EXPECT_EQ(links("a@x.org b@y.org"),
              (std::vector<Found>{{0, 7, "mailto:a@x.org"}, {8, 7, "mailto:b@y.org"}}));
    EXPECT_EQ(links("<a@x.org>;b@y.org"),
              (std::vector<Found>{{1, 7, "mailto:a@x.org"}, {10, 7, "mailto:b@y.org"}}));
    // Not addresses.
    for (const char* text : {"mom@", "@example.com", "mom@example", "mom@@example.com", "mom..x@example.com",
                             ".mom@example.com", "mom@-example.com", "mom@example.c0m", "not an address"})
        EXPECT_TRUE(links(text).empty()) << text;
}

TEST(DataDetector, WebAddressesWithOrWithoutSchemeAndTheirPunctuation) {
    EXPECT_EQ(links("https://example.com/a?b=1#top"),
              (std::vector<Found>{{0, 29, "https://example.com/a?b=1#top"}}));
    EXPECT_EQ(links("(see www.cradleway.test/x)."),
              (std::vector<Found>{{5, 20, "http://www.cradleway.test/x"}}));
    EXPECT_EQ(links("example.com:8080/path"), (std::vector<Found>{{0, 21, "http://example.com:8080/path"}}));
    EXPECT_EQ(links("https://en.example.org/wiki/A_(b)"),
              (std::vector<Found>{{0, 33, "https://en.example.org/wiki/A_(b)"}}));
    // File names, abbreviations and a colon in prose are no links.
    for (const char* text : {"photo.jpg", "e.g. this", "i.e.", "note:this", "U.S.", "x://"})
        EXPECT_TRUE(links(text).empty()) << text;
}

TEST(DataDetector, RangesCountUTF16UnitsAndLimitTheSearch) {
    // The baby emoji is two units; the é one; letters outside ASCII are percent-encoded.
    EXPECT_EQ(links("\xF0\x9F\x91\xB6 mom@example.com"),
              (std::vector<Found>{{3, 15, "mailto:mom@example.com"}}));
    EXPECT_EQ(links("Jos\xC3\xA9 jos\xC3\xA9@ex\xC3\xA4mple.com"),
              (std::vector<Found>{{5, 16, "mailto:jos%C3%A9@ex%C3%A4mple.com"}}));

    EXPECT_EQ(links("a@x.org b@y.org", NSRange{8, 7}), (std::vector<Found>{{8, 7, "mailto:b@y.org"}}));
    EXPECT_EQ(links("a@x.org b@y.org", NSRange{0, 100}).size(), 2u); // cut at the end
    EXPECT_TRUE(links("a@x.org", NSRange{50, 3}).empty());
    EXPECT_FALSE(NSDataDetector::make(0).has_value());
}

} // namespace
