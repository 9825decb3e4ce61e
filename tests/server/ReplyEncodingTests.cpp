// A reply comes in gzip only to a client whose Accept-Encoding takes it, read as HTTP reads the field,
// and a reply that could have come either way says that it depends on that field. A phone takes every
// coding it knows; brotli, as the HTTP library makes it, took seconds of a core for a reply of a few
// megabytes, so gzip is the one coding sent.

#include "ServerFixture.h"

#include <string>
#include <vector>

namespace cw::server::testing {
namespace {

using ReplyEncodingTest = ServerTest;

// The value of the field `name` in a reply's head, its name in any case; empty when it has none.
std::string headField(const std::string& head, const std::string& name) {
    size_t at = 0;
    while ((at = head.find("\r\n", at)) != std::string::npos) {
        at += 2;
        const size_t colon = head.find(':', at);
        const size_t end = head.find("\r\n", at);
        if (colon == std::string::npos || colon > end) continue;
        std::string field = head.substr(at, colon - at);
        for (char& c : field)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (field == name) return head.substr(colon + 2, end - colon - 2);
    }
    return {};
}

TEST_F(ReplyEncodingTest, RepliesComeInGzipOnlyWhereTheClientTakesItAndSaySoEachTime) {
    const Session mother = demoMother();
    const std::string content = json{{"baby_ids", {1, 2}}, {"user_id", mother.userId}}.dump();
    // Every road a reply with a body that may be compressed takes.
    struct Road {
        const char* what;
        std::string request; // its head up to the Accept-Encoding lines
        std::string body;
        int status;
    };
    const std::vector<Road> roads = {
        {"an answer written as it is made",
         "POST /m/api/content HTTP/1.1\r\nX-Access-Token: " + mother.access +
             "\r\nContent-Type: application/json\r\nContent-Length: " + std::to_string(content.size()) + "\r\n",
         content, 200},
        {"a page", "GET /m/api/tandc HTTP/1.1\r\n", "", 200},
        {"a route's refusal", "GET /m/api/comments?post_id=29 HTTP/1.1\r\n", "", 401},
        {"the library's own answer", "GET /m/api/nowhere HTTP/1.1\r\n", "", 404},
        {"a body refused before it is sent",
         "POST /m/api/comments/new HTTP/1.1\r\nContent-Type: application/json\r\nContent-Length: 100000000\r\n"
         "Expect: 100-continue\r\n",
         "", 413},
    };
    struct Case {
        std::vector<std::string> accepts; // its Accept-Encoding lines
        bool gzip;
    };
    const std::vector<Case> cases = {
        {{}, false},
        {{""}, false},
        {{"gzip"}, true},
        {{"deflate, gzip, br, zstd"}, true},
        {{"br;q=1.0, gzip;q=0.5"}, true},
        {{"br"}, false},
        {{"BR"}, false},
        // As found: both were answered in gzip.
        {{"gzip;q=0"}, false},
        {{"nogzip"}, false},
        {{"GZip"}, true},
        {{"x-gzip"}, true},
        {{"gzip ; q=0.001"}, true},
        {{"gzip;q=0.000"}, false},
        {{"gzip;Q=0"}, false},
        {{"gzip;q=1.5"}, false},
        {{"gzip;q=0.0001"}, false},
        {{"*"}, true},
        {{"*;q=0"}, false},
        {{"*, gzip;q=0"}, false},
        {{"identity, gzip;q=0.5"}, false},
        {{"identity;q=0, gzip"}, true},
        {{"gzip;q=0.5, identity;q=0.5"}, true},
        {{"identity;q=0.1", "gzip;q=0.2"}, true},
        {{"gzip;q=0", "gzip"}, false},
    };
    for (const Road& road : roads)
        for (const Case& c : cases) {
            std::string accepts;
            for (const std::string& line : c.accepts)
                accepts += (accepts.empty() ? "" : " | ") + line;
            SCOPED_TRACE(std::string(road.what) + ", Accept-Encoding: " + accepts);
            std::string request = road.request + "Host: x\r\nConnection: close\r\n";
            for (const std::string& line : c.accepts)
                request += "Accept-Encoding: " + line + "\r\n";
            RawConnection connection(server_->port());
            ASSERT_TRUE(connection.send(request + "\r\n" + road.body));
            const std::string reply = connection.readToClose();
            const size_t headEnd = reply.find("\r\n\r\n");
            ASSERT_NE(headEnd, std::string::npos) << reply;
            const std::string head = reply.substr(0, headEnd + 2), body = reply.substr(headEnd + 4);
            ASSERT_EQ(statusesIn(reply), std::vector<int>{road.status}) << head;
            EXPECT_EQ(headField(head, "content-encoding"), c.gzip ? "gzip" : "") << head;
            EXPECT_EQ(headField(head, "vary"), "Accept-Encoding") << head;
            ASSERT_FALSE(body.empty()) << head;
            EXPECT_EQ(body.starts_with("\x1f\x8b"), c.gzip) << head;
        }
}

} // namespace
} // namespace cw::server::testing
