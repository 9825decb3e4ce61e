#include "foundation/url/URL.h"

#include <gtest/gtest.h>

namespace {

std::string resolved(std::string_view reference, std::string_view base) {
    auto baseURL = URL::fromString(base);
    EXPECT_TRUE(baseURL) << base;
    if (!baseURL) return "<bad base>";
    auto url = URL::fromString(reference, *baseURL);
    return url ? url->absoluteString() : "<none>";
}

} // namespace

TEST(URLParsing, ValidityFollowsTheStrictParser) {
    for (std::string_view good :
         {"https://example.org", "https://example.org/m/api/", "http://user:pw@host:8080/a/b?q=1&r=%20#frag",
          "images/upload/a.png", "?x=1", "//host/x", "#top", "mailto:a@b.c", "http://[::1]:80/",
          "http://host:/path", "a/b:c", "http://h/a;b=c/@:!$&'()*+,=~"}) {
        auto url = URL::fromString(good);
        ASSERT_TRUE(url) << good;
        EXPECT_EQ(url->absoluteString(), good); // kept as written
    }
    for (std::string_view bad : {"",
                                 " ",
                                 "http://exa mple.org",
                                 "http://host/a b",
                                 "http://host/%zz",
                                 "http://host/%4",
                                 "100%",
                                 "http://host/a\"b",
                                 "http://host/<x>",
                                 "http://host/{x}",
                                 "a|b",
                                 "http://h/\xC3\xA9",
                                 "http://h/#a#b",
                                 "http://h/[x]",
                                 "http://[::1/",
                                 "http://[]/",
                                 "http://host:8o/",
                                 "http://ho[st]/",
                                 "1http://h",
                                 ":relative",
                                 "a:b/c:d:e\\",
                                 "http://h/\t",
                                 "http://a@b@c/"}) {
        EXPECT_FALSE(URL::fromString(bad)) << bad;
    }
}

TEST(URLParsing, Components) {
    auto url = URL::fromString("HTTPS://User@Example.org:8443/a%20b/c/?q=%2F#f");
    ASSERT_TRUE(url);
    EXPECT_EQ(url->scheme(), "HTTPS");
    EXPECT_EQ(url->host(), "Example.org");
    EXPECT_EQ(url->port(), 8443);
    EXPECT_EQ(url->path(), "/a b/c/");
    EXPECT_EQ(url->percentEncodedPath(), "/a%20b/c/");
    EXPECT_EQ(url->query(), "q=%2F");
    EXPECT_EQ(url->fragment(), "f");

    auto relative = URL::fromString("images/a.png");
    ASSERT_TRUE(relative);
    EXPECT_FALSE(relative->scheme());
    EXPECT_FALSE(relative->host());
    EXPECT_FALSE(relative->port());
    EXPECT_FALSE(relative->query());
    EXPECT_EQ(relative->path(), "images/a.png");

    EXPECT_EQ(URL::fromString("http://[fe80::1]:99/")->host(), "fe80::1");
    EXPECT_FALSE(URL::fromString("http://h:99999/")->port());
    EXPECT_FALSE(URL::fromString("http://h:/")->port());
    EXPECT_EQ(URL::fromString("http://h?")->query(), "");
}

// The examples of RFC 3986 section 5.4.
TEST(URLResolution, FollowsRfc3986) {
    const std::string base = "http://a/b/c/d;p?q";
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"g:h", "g:h"},
        {"g", "http://a/b/c/g"},
        {"./g", "http://a/b/c/g"},
        {"g/", "http://a/b/c/g/"},
        {"/g", "http://a/g"},
        {"//g", "http://g"},
        {"?y", "http://a/b/c/d;p?y"},
        {"g?y", "http://a/b/c/g?y"},
        {"#s", "http://a/b/c/d;p?q#s"},
        {"g#s", "http://a/b/c/g#s"},
        {";x", "http://a/b/c/;x"},
        {"", "http://a/b/c/d;p?q"},
        {".", "http://a/b/c/"},
        {"./", "http://a/b/c/"},
        {"..", "http://a/b/"},
        {"../g", "http://a/b/g"},
        {"../..", "http://a/"},
        {"../../g", "http://a/g"},
        {"../../../g", "http://a/g"},
        {"../../../../g", "http://a/g"},
        {"/./g", "http://a/g"},
        {"/../g", "http://a/g"},
        {"g.", "http://a/b/c/g."},
        {".g", "http://a/b/c/.g"},
        {"g..", "http://a/b/c/g.."},
        {"..g", "http://a/b/c/..g"},
        {"./../g", "http://a/b/g"},
        {"./g/.", "http://a/b/c/g/"},
        {"g/./h", "http://a/b/c/g/h"},
        {"g/../h", "http://a/b/c/h"},
        {"g;x=1/./y", "http://a/b/c/g;x=1/y"},
        {"g;x=1/../y", "http://a/b/c/y"},
        {"g?y/./x", "http://a/b/c/g?y/./x"},
        {"g#s/../x", "http://a/b/c/g#s/../x"},
        {"http:g", "http:g"},
    };
    for (const auto& [reference, expected] : cases)
        EXPECT_EQ(resolved(reference, base), expected) << reference;

    // A server root without a path: the reference lands below it.
    EXPECT_EQ(resolved("images/upload/a%20b.png", "https://cradle.example"),
              "https://cradle.example/images/upload/a%20b.png");
    EXPECT_EQ(resolved("static-files/x.png", "https://cradle.example/"),
              "https://cradle.example/static-files/x.png");
    EXPECT_EQ(resolved("a b", "https://cradle.example/"), "<none>"); // the reference must be valid itself
    EXPECT_EQ(resolved("x", "#only"), "x");
}

TEST(URLEncoding, QueryAllowedSet) {
    EXPECT_EQ(cw::percentEncodeQuery("images/upload/my photo.png"), "images/upload/my%20photo.png");
    EXPECT_EQ(cw::percentEncodeQuery("a%20b"), "a%2520b"); // encoded text is encoded again
    EXPECT_EQ(cw::percentEncodeQuery("AZaz09-._~!$&'()*+,;=:@/?"), "AZaz09-._~!$&'()*+,;=:@/?");
    EXPECT_EQ(cw::percentEncodeQuery("#[]\"<>\\^`{|} \n"), "%23%5B%5D%22%3C%3E%5C%5E%60%7B%7C%7D%20%0A");
    EXPECT_EQ(cw::percentEncodeQuery("caf\xC3\xA9"), "caf%C3%A9");
    EXPECT_EQ(cw::percentEncodeQuery(""), "");
    for (std::string_view bad : {"\xff", "\xC3", "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80"})
        EXPECT_FALSE(cw::percentEncodeQuery(bad)) << "invalid UTF-8 must fail";
    EXPECT_EQ(cw::percentEncodePath("a?b/c"), "a%3Fb/c");

    EXPECT_EQ(cw::percentDecode("a%20b%2f"), "a b/");
    EXPECT_FALSE(cw::percentDecode("a%2"));
    EXPECT_FALSE(cw::percentDecode("%g0"));

    // What an image path goes through: encode, then resolve against the server root.
    auto encoded = cw::percentEncodeQuery("images/upload/baby 1.jpg");
    ASSERT_TRUE(encoded);
    EXPECT_EQ(resolved(*encoded, "https://cradle.example"),
              "https://cradle.example/images/upload/baby%201.jpg");
}

TEST(URLBuilding, AppendingPathComponent) {
    auto api = URL::fromString("https://h.example/m/api");
    ASSERT_TRUE(api);
    EXPECT_EQ(api->appendingPathComponent("invite").absoluteString(), "https://h.example/m/api/invite");
    EXPECT_EQ(api->appendingPathComponent("member/check").absoluteString(),
              "https://h.example/m/api/member/check");
    EXPECT_EQ(api->appendingPathComponent("a b?#%").absoluteString(),
              "https://h.example/m/api/a%20b%3F%23%25");
    EXPECT_EQ(URL::fromString("https://h.example/m/api/")->appendingPathComponent("/x").absoluteString(),
              "https://h.example/m/api/x");
    EXPECT_EQ(URL::fromString("https://h.example")->appendingPathComponent("x").absoluteString(),
              "https://h.example/x");
    EXPECT_EQ(URL::fromString("https://h.example/p?q=1#f")->appendingPathComponent("x").absoluteString(),
              "https://h.example/p/x?q=1#f");
    EXPECT_EQ(URL::fromString("dir")->appendingPathComponent("a:b").absoluteString(), "dir/a:b");
    EXPECT_EQ(URL::fromString("?q")->appendingPathComponent("a:b").absoluteString(), "./a:b?q");
    EXPECT_EQ(api->appendingPathComponent("\xff").absoluteString(), "https://h.example/m/api/%FF");
}
