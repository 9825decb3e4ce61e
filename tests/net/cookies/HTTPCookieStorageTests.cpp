// The session's cookie store: which requests carry which cookies, how long they last, and what of
// them survives a restart.

#include "net/HTTPCookieStorage.h"

#include "foundation/defaults/Storage.h"
#include "foundation/time/Clock.h"

#include "tests/support/TempDirectory.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

const std::string kServer = "http://127.0.0.1:8080";

std::string header(HTTPCookieStorage& store, const std::string& url) {
    return store.cookieHeaderForURL(url).value_or("<none>");
}

TEST(HTTPCookieStorage, ACookieGoesBackToItsOriginAndPathOnly) {
    ManualClock clock(1'800'000'000);
    HTTPCookieStorage store;
    store.setCookiesFromResponse(
        {"cw_client=abc; Path=/m/api; Max-Age=3600", "wide=1; Path=/", "bad", "x=\x01"},
        kServer + "/m/api/baby/verify_mrn");
    EXPECT_EQ(store.cookies().size(), 2u);
    // The longer path first.
    EXPECT_EQ(header(store, kServer + "/m/api/signup"), "cw_client=abc; wide=1");
    EXPECT_EQ(header(store, kServer + "/m/api"), "cw_client=abc; wide=1");
    EXPECT_EQ(header(store, kServer + "/m/apis"), "wide=1");
    EXPECT_EQ(header(store, kServer), "wide=1");
    // Another scheme, host or port is another origin.
    for (std::string other : {"https://127.0.0.1:8080/m/api/signup", "http://localhost:8080/m/api/signup",
                              "http://127.0.0.1:8081/m/api/signup", "http://127.0.0.1/m/api/signup"})
        EXPECT_EQ(header(store, other), "<none>") << other;

    // The same name, origin and path replaces the value in place; Max-Age=0 takes it away.
    store.setCookiesFromResponse({"wide=2; Path=/"}, kServer + "/");
    EXPECT_EQ(header(store, kServer + "/m/api/signup"), "cw_client=abc; wide=2");
    store.setCookiesFromResponse({"cw_client=; Path=/m/api; Max-Age=0"}, kServer + "/m/api/signup");
    EXPECT_EQ(header(store, kServer + "/m/api/signup"), "wide=2");

    // A cookie with a lifetime goes when it ends.
    store.setCookiesFromResponse({"short=1; Max-Age=60"}, kServer + "/");
    EXPECT_EQ(header(store, kServer + "/"), "wide=2; short=1");
    clock.advance(60);
    EXPECT_EQ(header(store, kServer + "/"), "wide=2");

    // An origin holds a bounded number: the oldest gives way.
    for (std::size_t i = 0; i < HTTPCookieStorage::kMaxCookiesPerOrigin; ++i) {
        clock.advance(1);
        store.setCookiesFromResponse({"n" + std::to_string(i) + "=1; Path=/"}, kServer + "/");
    }
    const auto kept = store.cookiesForURL(kServer + "/");
    ASSERT_EQ(kept.size(), HTTPCookieStorage::kMaxCookiesPerOrigin);
    EXPECT_EQ(kept.front().name, "n0");
    store.deleteAllCookies();
    EXPECT_TRUE(store.cookies().empty());
}

TEST(HTTPCookieStorage, CookiesOfOneNameOutliveTheDeletionOfTheOthersAndARestart) {
    ManualClock clock(1'800'000'000);
    cw::test::TempDirectory directory("cw-cookies");
    const auto file = directory / "Cookies.json";
    {
        HTTPCookieStorage store(file);
        store.setCookiesFromResponse({"cw_client=a; Path=/m/api; Max-Age=3600",
                                      "cw_device=b; Path=/m/api; "
                                      "Max-Age=7776000",
                                      "other=c; Max-Age=60"},
                                     kServer + "/m/api/signin");
        store.deleteCookiesExcept("cw_device");
        EXPECT_EQ(header(store, kServer + "/m/api/signin"), "cw_device=b");
    }
    HTTPCookieStorage store(file);
    EXPECT_EQ(header(store, kServer + "/m/api/signin"), "cw_device=b");
}

TEST(HTTPCookieStorage, CookiesWithALifetimeOutliveARestartAndSessionCookiesDoNot) {
    ManualClock clock(1'800'000'000);
    cw::test::TempDirectory directory("cw-cookies");
    const auto file = directory / "Cookies.json";
    {
        HTTPCookieStorage store(file);
        store.setCookiesFromResponse(
            {"session=1", "lasting=2; Path=/m/api; Max-Age=3600; HttpOnly", "brief=3; Max-Age=10"},
            kServer + "/m/api/invite/check");
        EXPECT_EQ(header(store, kServer + "/m/api/invite/check"), "session=1; brief=3; lasting=2");
    }
    EXPECT_EQ(std::filesystem::status(file).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    clock.advance(10);
    {
        HTTPCookieStorage store(file);
        ASSERT_EQ(store.cookies().size(), 1u);
        EXPECT_TRUE(store.cookies().front().httpOnly);
        EXPECT_EQ(header(store, kServer + "/m/api/signup"), "lasting=2");
        store.setCookiesFromResponse({"lasting=; Path=/m/api; Max-Age=0"}, kServer + "/m/api/signup");
    }
    EXPECT_TRUE(HTTPCookieStorage(file).cookies().empty());

    // A file that cannot be read is put aside, and the store starts empty and keeps working.
    std::ofstream(file, std::ios::trunc)
        << "{\"format\": \"cradleway-cookies\", \"version\": 1, \"cookies\": [{}]}";
    HTTPCookieStorage damaged(file);
    EXPECT_TRUE(damaged.cookies().empty());
    std::size_t aside = 0;
    for (const auto& entry : std::filesystem::directory_iterator(directory.path()))
        aside += entry.path().filename().string().starts_with("Cookies.json.corrupt-");
    EXPECT_EQ(aside, 1u);
    damaged.setCookiesFromResponse({"again=1; Max-Age=60"}, kServer + "/");
    HTTPCookieStorage reloaded(file);
    EXPECT_EQ(header(reloaded, kServer + "/"), "again=1");
}

} // namespace
