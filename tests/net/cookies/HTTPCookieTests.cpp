// How a reply's Set-Cookie field is read: what it keeps, for whom, until when, and what it refuses.

#include "net/HTTPCookie.h"

#include <gtest/gtest.h>

namespace {

constexpr double kNow = 1'800'000'000; // 2027-01-15T08:00:00Z
const std::string kLookUp = "http://127.0.0.1:8080/m/api/baby/verify_mrn";

HTTPCookie parsed(std::string_view field, const std::string& url = kLookUp) {
    auto cookie = cw::parseSetCookie(field, url, kNow);
    EXPECT_TRUE(cookie) << field;
    return cookie.value_or(HTTPCookie{});
}

TEST(HTTPCookie, AServersCookieIsKeptForItsOriginWithItsPathAndLifetime) {
    HTTPCookie proof = parsed("cw_client=0123abcd; Path=/m/api; Max-Age=3600; HttpOnly; SameSite=Strict");
    EXPECT_EQ(proof.name, "cw_client");
    EXPECT_EQ(proof.value, "0123abcd");
    EXPECT_EQ(proof.scheme, "http");
    EXPECT_EQ(proof.host, "127.0.0.1");
    EXPECT_EQ(proof.port, 8080);
    EXPECT_EQ(proof.path, "/m/api");
    EXPECT_EQ(proof.expiresAt, kNow + 3600);
    EXPECT_TRUE(proof.httpOnly);
    EXPECT_FALSE(proof.secure);

    // Without a path, the directory of the request's; without a lifetime, the session's.
    HTTPCookie plain = parsed(" session = a b ");
    EXPECT_EQ(plain.name, "session");
    EXPECT_EQ(plain.value, "a b");
    EXPECT_EQ(plain.path, "/m/api/baby");
    EXPECT_FALSE(plain.expiresAt);
    EXPECT_EQ(parsed("x=1; Path=relative").path, "/m/api/baby");
    EXPECT_EQ(parsed("x=1", "http://Example.TEST/").path, "/");
    EXPECT_EQ(parsed("x=1", "https://Example.TEST/a").host, "example.test");
    EXPECT_EQ(parsed("x=1", "https://example.test/a").port, 443);
    EXPECT_EQ(parsed("x=", "http://example.test/").value, "");

    // Max-Age wins over Expires, whichever comes first; a lifetime of 0 or less is over already.
    EXPECT_EQ(parsed("x=1; Expires=Wed, 21 Oct 2015 07:28:00 GMT; Max-Age=60").expiresAt, kNow + 60);
    EXPECT_EQ(parsed("x=1; max-age=60; expires=Wed, 21 Oct 2015 07:28:00 GMT").expiresAt, kNow + 60);
    EXPECT_EQ(parsed("x=1; Expires=Wed, 21 Oct 2015 07:28:00 GMT").expiresAt, 1445412480);
    EXPECT_TRUE(parsed("x=1; Max-Age=0").expired(kNow));
    EXPECT_TRUE(parsed("x=1; Max-Age=-5").expired(kNow));
    EXPECT_FALSE(parsed("x=1; Max-Age=1e3").expiresAt);
    EXPECT_FALSE(parsed("x=1; Expires=soon").expiresAt);
    EXPECT_EQ(parsed("x=1; Max-Age=99999999999999999999").expiresAt, kNow + 1e12);

    // A Domain is honoured as this host alone; one the host is not in is not this server's to set.
    EXPECT_EQ(parsed("x=1; Domain=.example.test", "http://api.example.test/").host, "api.example.test");
    EXPECT_FALSE(cw::parseSetCookie("x=1; Domain=other.test", "http://api.example.test/", kNow));
    EXPECT_FALSE(cw::parseSetCookie("x=1; Domain=0.0.1", "http://127.0.0.1/", kNow));
    // Secure from plain http cannot be kept; from https it is.
    EXPECT_FALSE(cw::parseSetCookie("x=1; Secure", kLookUp, kNow));
    EXPECT_TRUE(parsed("x=1; Secure", "https://example.test/").secure);
}

TEST(HTTPCookie, MalformedFieldsAndAddressesAreRefusedWhole) {
    for (std::string_view field : {"", "novalue", "=value", " =value", "na me=1", "a;b=1", "a\"=1",
                                   "x=1\r\nInjected: yes", "x=\x01", "x=1; Path=/\x7F"}) {
        EXPECT_FALSE(cw::parseSetCookie(field, kLookUp, kNow)) << field;
    }
    EXPECT_FALSE(cw::parseSetCookie("x=" + std::string(cw::kMaxCookieBytes, 'v'), kLookUp, kNow));
    EXPECT_TRUE(cw::parseSetCookie("x=" + std::string(cw::kMaxCookieBytes - 1, 'v'), kLookUp, kNow));
    for (std::string url : {"", "/m/api/signup", "ftp://example.test/", "http:///path", "not a url"})
        EXPECT_FALSE(cw::parseSetCookie("x=1", url, kNow)) << url;
}

TEST(HTTPCookie, DatesAreReadInTheFormsServersWrite) {
    const double expected = 784111777; // 1994-11-06T08:49:37Z
    EXPECT_EQ(cw::parseCookieDate("Sun, 06 Nov 1994 08:49:37 GMT"), expected);
    EXPECT_EQ(cw::parseCookieDate("Sunday, 06-Nov-94 08:49:37 GMT"), expected);
    EXPECT_EQ(cw::parseCookieDate("Sun Nov  6 08:49:37 1994"), expected);
    EXPECT_EQ(cw::parseCookieDate("6 november 1994 8:49:37"), expected);
    EXPECT_EQ(cw::parseCookieDate("Thu, 01 Jan 1970 00:00:00 GMT"), 0);
    EXPECT_EQ(cw::parseCookieDate("Mon, 01 Jan 2035 00:00:00 GMT"), 2051222400);
    EXPECT_EQ(cw::parseCookieDate("Fri, 29 Feb 2036 12:00:00 GMT"), 2087899200);
    for (std::string_view wrong :
         {"", "tomorrow", "Sun, 30 Feb 2026 08:49:37 GMT", "Sun, 06 Nov 1500 08:49:37 GMT",
          "Sun, 06 Nov 1994 24:00:00 GMT", "Sun, 06 Nov 1994 GMT", "06 1994 08:49:37",
          "Sun, 00 Nov 1994 08:49:37 GMT", "Sun, 06 Nov 19944 08:49:37 GMT"})
        EXPECT_FALSE(cw::parseCookieDate(wrong)) << wrong;
}

} // namespace
