// The HTTP session keeps the cookies replies set and sends them back, as a phone's does: the server
// ties what the application proved to them.

#include "TestServer.h"

#include "foundation/dispatch/RunLoop.h"
#include "net/AFHTTPSessionManager.h"
#include "net/HTTPCookieStorage.h"

#include <gtest/gtest.h>

namespace cw::nettest {
namespace {

// `text` with every byte but letters and digits percent-encoded, for a query value.
std::string encoded(const std::string& text) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if (std::isalnum(c)) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

class CookieSessionTest : public ::testing::Test {
protected:
    // One server for the suite: stopping one waits for the connections the client keeps open.
    static void SetUpTestSuite() { server_ = new TestServer(); }
    static void TearDownTestSuite() {
        delete server_;
        server_ = nullptr;
    }
    void SetUp() override {
        RunLoop::main().reset();
        HTTPCookieStorage::setSharedStorageFile(std::nullopt);
    }
    void TearDown() override {
        RunLoop::main().runUntilIdle();
        HTTPCookieStorage::setSharedStorageFile(std::nullopt);
    }

    // GETs `url` and returns the Cookie header that reached the server ("<none>" without one).
    std::string cookieSentWith(const std::string& url, const std::string& ownCookie = "") {
        AFHTTPSessionManager manager;
        if (!ownCookie.empty()) {
            auto serializer = std::make_shared<AFJSONRequestSerializer>();
            serializer->setValue(ownCookie, "Cookie");
            manager.setRequestSerializer(serializer);
        }
        server.reset();
        bool done = false;
        manager.GET(
            url, JSON(), nullptr, [&](const auto&, const auto&) { done = true; },
            [&](const auto&, const NSError& error) {
                ADD_FAILURE() << error.localizedDescription();
                done = true;
            });
        EXPECT_TRUE(RunLoop::main().runUntil([&] { return done; }, 10));
        auto arrivals = server.arrivals();
        if (arrivals.empty()) return "<nothing arrived>";
        const Arrival& last = arrivals.back();
        return last.hasHeader("Cookie") ? last.header("Cookie") : "<none>";
    }

    std::string setting(const std::vector<std::string>& fields, const std::string& to = "") {
        std::string url = server.base() + "/cookies?";
        for (const auto& field : fields)
            url += "set=" + encoded(field) + "&";
        if (!to.empty()) url += "to=" + encoded(to);
        return url;
    }

    static TestServer* server_;
    TestServer& server = *server_;
};

TestServer* CookieSessionTest::server_ = nullptr;

TEST_F(CookieSessionTest, RepliesSetCookiesThatGoBackToTheirOriginOnly) {
    const std::string away = "http://localhost:" + std::to_string(server.port());
    EXPECT_EQ(cookieSentWith(setting({"cw_client=abc; Path=/; Max-Age=3600; HttpOnly", "bad"})), "<none>");
    EXPECT_EQ(cookieSentWith(server.base() + "/m/api/signup"), "cw_client=abc");
    EXPECT_EQ(cookieSentWith(away + "/m/api/signup"), "<none>");

    // A redirect's cookies reach the hop it leads to; a hop to another origin carries none.
    EXPECT_EQ(cookieSentWith(setting({"hop=1; Path=/"}, "/landed")), "cw_client=abc; hop=1");
    EXPECT_EQ(server.arrivals().back().path, "/landed");
    EXPECT_EQ(cookieSentWith(server.base() + "/redirect/302/away"), "<none>");

    // A caller's own Cookie header is sent as it is; a cookie ended by its server goes.
    EXPECT_EQ(cookieSentWith(server.base() + "/ping", "mine=1"), "mine=1");
    cookieSentWith(setting({"cw_client=; Path=/; Max-Age=0"}));
    EXPECT_EQ(cookieSentWith(server.base() + "/ping"), "hop=1");
}

} // namespace
} // namespace cw::nettest
