// What the server reads of a request, however the request is made: nesting, sizes, framing, queries.

#include "ServerFixture.h"

#include "server/Http.h"

#include <algorithm>
#include <malloc.h>
#include <thread>

namespace cw::server::testing {
namespace {

class RequestReadingTest : public ServerTest {
protected:
    // Ten thousand levels, within what a form's field may hold.
    std::string deepJson() const { return "[" + std::string(10000, '{') + "]"; }
    std::string deepObjects() const {
        std::string text = "[";
        for (int i = 0; i < 10000; ++i)
            text += "{\"a\":";
        return text + "1" + std::string(10000, '}') + "]";
    }
};

TEST_F(RequestReadingTest, JsonNestedDeepInsideAFormFieldIsRefusedAndTheServerLivesOn) {
    Reply signup = multipart("signup", {{"full_name", "Deep", "", ""},
                                        {"email", "deep@cradleway.test", "", ""},
                                        {"relationship", "Mother", "", ""},
                                        {"password", "deep-password", "", ""},
                                        {"babies", deepObjects(), "", ""}});
    EXPECT_EQ(signup.status, 400) << signup.raw;
    Session s = demoMother();
    Reply update = multipart(
        "baby/update", {{"user_id", std::to_string(s.userId), "", ""}, {"babies", deepObjects(), "", ""}},
        s.access);
    EXPECT_EQ(update.status, 400) << update.raw;
    EXPECT_EQ(post("signup", {{"full_name", "Deep"},
                              {"email", "deep@cradleway.test"},
                              {"relationship", "Mother"},
                              {"password", "deep-password"},
                              {"babies", deepJson()}})
                  .status,
              400);
    EXPECT_EQ(get("search", {{"query", "feeding"}}).status, 200);
    EXPECT_EQ(post("signin", {{"email", "deep@cradleway.test"}, {"password", "deep-password"}}).status, 403);
}

class RequestLimitTest : public ServerTest {
protected:
    void adjust(ServerOptions& options) override { options.maxRequestBytes = 64 * 1024; }
};

TEST_F(RequestLimitTest, BodiesAreCountedAsReadAndAsInflatedNotAsAnnounced) {
    // Chunked: no length announced at all, so it cannot be read whole first; it is refused unread.
    RawConnection chunked(server_->port());
    chunked.send("POST /m/api/analytics HTTP/1.1\r\nHost: x\r\nContent-Type: application/json\r\n"
                 "Transfer-Encoding: chunked\r\n\r\n");
    std::string chunk = std::string(16 * 1024, 'a');
    for (int i = 0; i < 12 && chunked.send("4000\r\n" + chunk + "\r\n"); ++i) {
    }
    chunked.send("0\r\n\r\n");
    const std::string unannounced = chunked.readToClose();
    EXPECT_EQ(statusesIn(unannounced), std::vector<int>{411});
    EXPECT_EQ(json::parse(lastBody(unannounced))["message"], "A request body must announce its length.");

    // Compressed: a few kilobytes that inflate to megabytes.
    httplib::Client zipped("127.0.0.1", server_->port());
    zipped.set_compress(true);
    zipped.set_read_timeout(60, 0);
    std::string body = "{\"email\":\"" + std::string(8 * 1024 * 1024, 'a') + "\"}";
    auto result = zipped.Post("/m/api/member/check", body, "application/json");
    ASSERT_TRUE(result) << httplib::to_string(result.error());
    EXPECT_EQ(result->status, 413) << result->body;

    // What fits is read as usual, also compressed.
    json event = {{"screen_name", "Feed"}, {"screen_action", "Loaded"}, {"event_details", json::object()}};
    auto small = zipped.Post("/m/api/analytics", event.dump(), "application/json");
    ASSERT_TRUE(small);
    EXPECT_EQ(small->status, 200) << small->body;
}

TEST_F(RequestLimitTest, ABodyRefusedEarlyIsNeverReadAsARequest) {
    const std::string smuggled = "GET /m/api/tandc HTTP/1.1\r\nHost: x\r\n\r\n";
    RawConnection c(server_->port());
    c.send("POST /m/api/analytics HTTP/1.1\r\nHost: x\r\nContent-Type: application/json\r\n"
           "Content-Length: 1000000\r\n\r\n" +
           smuggled);
    const std::string refused = c.readToClose();
    EXPECT_EQ(statusesIn(refused), std::vector<int>{413});
    // The refusal says that the connection ends with it, so the client does not send into it again.
    EXPECT_NE(refused.find("\r\nConnection: close\r\n"), std::string::npos) << refused;
    EXPECT_EQ(refused.find("Keep-Alive"), std::string::npos) << refused;

    // A body whose framing is ambiguous is not read either.
    RawConnection twoLengths(server_->port());
    twoLengths.send("POST /m/api/analytics HTTP/1.1\r\nHost: x\r\nContent-Length: 2\r\nContent-Length: " +
                    std::to_string(smuggled.size() + 2) + "\r\n\r\n{}" + smuggled);
    EXPECT_EQ(statusesIn(twoLengths.readToClose()), std::vector<int>{400});

    // A body sent with a GET is not read as the next request.
    RawConnection getWithBody(server_->port());
    getWithBody.send("GET /m/api/tandc HTTP/1.1\r\nHost: x\r\nContent-Length: " +
                     std::to_string(smuggled.size()) + "\r\n\r\n" + smuggled);
    EXPECT_EQ(statusesIn(getWithBody.readToClose()), std::vector<int>{200});

    // Requests whose bodies were read keep the connection for the next one.
    const std::string check = R"({"email":"new@cradleway.test"})";
    RawConnection kept(server_->port());
    kept.send("POST /m/api/member/check HTTP/1.1\r\nHost: x\r\nContent-Type: application/json\r\n"
              "Content-Length: " +
              std::to_string(check.size()) + "\r\n\r\n" + check +
              "GET /m/api/tandc HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
    EXPECT_EQ(statusesIn(kept.readToClose()), (std::vector<int>{200, 200}));
}

TEST_F(RequestLimitTest, AClientWaitingToSendItsBodyIsRefusedWithTheStatusItsBodyWouldGet) {
    auto ask = [&](const std::string& lengths) {
        RawConnection c(server_->port());
        c.send("POST /m/api/analytics HTTP/1.1\r\nHost: x\r\nContent-Type: application/json\r\n"
               "Expect: 100-continue\r\n" +
               lengths + "\r\n");
        return c.readToClose();
    };
    const std::string tooLarge = ask("Content-Length: 1000000\r\n");
    ASSERT_EQ(statusesIn(tooLarge), std::vector<int>{413}) << tooLarge;
    EXPECT_EQ(json::parse(lastBody(tooLarge))["message"], "The request is larger than 32 KB.");
    EXPECT_NE(tooLarge.find("\r\nConnection: close\r\n"), std::string::npos) << tooLarge;
    const std::string twoLengths = ask("Content-Length: 2\r\nContent-Length: 2\r\n");
    ASSERT_EQ(statusesIn(twoLengths), std::vector<int>{400}) << twoLengths;
    EXPECT_NE(twoLengths.find("\r\nConnection: close\r\n"), std::string::npos) << twoLengths;

    // A body that can be taken is asked for, and answered.
    const std::string event = R"({"screen_name":"Feed","screen_action":"Tap","event_details":{}})";
    RawConnection c(server_->port());
    c.send("POST /m/api/analytics HTTP/1.1\r\nHost: x\r\nContent-Type: application/json\r\n"
           "Connection: close\r\nExpect: 100-continue\r\nContent-Length: " +
           std::to_string(event.size()) + "\r\n\r\n");
    ASSERT_TRUE(c.waitReadable(10'000));
    c.send(event);
    EXPECT_EQ(statusesIn(c.readToClose()), (std::vector<int>{100, 200}));
}

// `count` copies of `unit` separated by commas, inside `open` and `close`.
std::string repeatedJson(const char* open, const std::string& unit, size_t count, const char* close) {
    std::string text = open;
    for (size_t i = 0; i < count; ++i)
        text += (i ? "," : "") + unit;
    return text + close;
}

// Heap bytes in use by this thread's arena and in mapped blocks.
size_t heapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

TEST(RequestJson, NoTextTakenCostsMoreThanTenTimesItsSizeOnceRead) {
    const std::vector<std::pair<std::string, std::string>> texts = {
        {"empty lists", repeatedJson("[", "[]", 20000, "]")},
        {"empty objects", repeatedJson("[", "{}", 20000, "]")},
        {"digits", repeatedJson("[", "1", 30000, "]")},
        {"empty texts", repeatedJson("[", "\"\"", 20000, "]")},
        {"nested lists", repeatedJson("[", "[[[[[[[[1]]]]]]]]", 3000, "]")},
        {"short keys", [] {
             std::string text = "{";
             for (int i = 0; i < 8000; ++i)
                 text += (i ? ",\"" : "\"") + std::to_string(i) + "\":1";
             return text + "}";
         }()},
        {"babies", repeatedJson("[", R"({"full_name":"Olivia Hart","birthday":"2026-11-01","gender":"Female"})", 800, "]")},
        {"names", repeatedJson("[", "\"" + std::string(40, 'n') + "\"", 1500, "]")},
        {"numbers", repeatedJson("[", "1234567890", 6000, "]")},
    };
    int taken = 0;
    for (const auto& [name, text] : texts) {
        SCOPED_TRACE(name);
        const size_t before = heapInUse();
        try {
            json value = parseRequestJson(text, "The request body");
            ++taken;
            if (residentSizeIsSound()) {
                EXPECT_LE(heapInUse() - before, 10 * text.size()) << text.size() << " bytes of text";
            }
        } catch (const HttpError& refused) {
            EXPECT_EQ(refused.status(), 413);
            EXPECT_STREQ(refused.what(), "The request body holds too many values for its size.");
        }
    }
    // What the application sends is taken.
    EXPECT_EQ(taken, 3);
    EXPECT_EQ(parseRequestJson(texts[6].second, "babies").size(), 800u);
    EXPECT_EQ(parseRequestJson(R"({"screen_name":"Feed","event_details":{}})", "event")["screen_name"], "Feed");
    // Brackets inside texts are no nesting; a text that nests too deeply is refused as before.
    EXPECT_EQ(parseRequestJson("[\"" + std::string(100, '[') + "\\\"\"]", "text")[0].get<std::string>().size(),
              101u);
    EXPECT_THROW(parseRequestJson(std::string(33, '[') + std::string(33, ']'), "text"), HttpError);
    EXPECT_EQ(parseRequestJson(std::string(32, '[') + std::string(32, ']'), "text").size(), 1u);
}

class CostlyJsonTest : public ServerTest {
protected:
    void adjust(ServerOptions& options) override { options.threads = 4; }
};

TEST_F(CostlyJsonTest, AnotherAddressSignsInWhileOneAddressSendsBodiesOfSixtyThousandObjects) {
    // 180 KB of empty objects, each body as costly to read as any the server took in: to a request
    // whose body is an event, and inside a sign-up's form as its babies.
    const std::string objects = repeatedJson("[", "{}", 60000, "]");
    const std::string event = R"({"screen_name":"Feed","screen_action":"Tap","event_details":)" + objects + "}";
    const std::string boundary = "----cradleway-costly";
    const std::string form = "--" + boundary +
                             "\r\nContent-Disposition: form-data; name=\"babies\"\r\n\r\n" + objects +
                             "\r\n--" + boundary + "--\r\n";
    std::vector<std::string> replies(24);
    std::vector<std::thread> senders;
    for (size_t i = 0; i < replies.size(); ++i)
        senders.emplace_back([&, i] {
            RawConnection c(server_->port(), "127.0.0.2");
            const bool asForm = i % 2 == 1;
            const std::string& body = asForm ? form : event;
            c.send(std::string("POST /m/api/") + (asForm ? "signup" : "analytics") +
                   " HTTP/1.1\r\nHost: x\r\nConnection: close\r\nContent-Type: " +
                   (asForm ? "multipart/form-data; boundary=" + boundary : std::string("application/json")) +
                   "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body);
            replies[i] = c.readToClose(120);
        });
    RawConnection other(server_->port(), "127.0.0.3");
    const std::string signIn = R"({"email":"partner@cradleway.test","password":"cradleway-demo"})";
    other.send("POST /m/api/signin HTTP/1.1\r\nHost: x\r\nConnection: close\r\nContent-Type: "
               "application/json\r\nContent-Length: " +
               std::to_string(signIn.size()) + "\r\n\r\n" + signIn);
    EXPECT_EQ(statusesIn(other.readToClose(20)), std::vector<int>{200});
    for (auto& sender : senders)
        sender.join();
    for (size_t i = 0; i < replies.size(); ++i) {
        ASSERT_EQ(statusesIn(replies[i]), std::vector<int>{413}) << replies[i].substr(0, 200);
        EXPECT_EQ(json::parse(lastBody(replies[i]))["message"],
                  i % 2 ? "A form's field may hold at most 64 KB." : "The request is larger than 32 KB.");
    }
}

TEST_F(RequestReadingTest, EachRequestsBodyIsSizedToWhatTheApplicationSends) {
    // A usage event is a few hundred bytes, other requests' bodies some kilobytes of text; only the
    // requests that carry pictures take megabytes.
    const std::string padding(33 * 1024, 'a');
    Reply event = postRaw("analytics", R"({"screen_name":"Feed","padding":")" + padding + "\"}", "application/json");
    EXPECT_EQ(event.status, 413);
    EXPECT_EQ(event.body["message"], "The request is larger than 32 KB.");
    Reply check = postRaw("member/check", R"({"email":"a@b.c","padding":")" + std::string(129 * 1024, 'a') + "\"}",
                          "application/json");
    EXPECT_EQ(check.status, 413);
    EXPECT_EQ(check.body["message"], "The request is larger than 128 KB.");
    EXPECT_EQ(postRaw("member/check", R"({"email":"a@b.c","padding":")" + padding + "\"}", "application/json").status,
              200);
    Session s = demoMother();
    Reply posted = multipart("post/",
                             {{"user_id", std::to_string(s.userId), "", ""},
                              {"post_text", "A large picture", "", ""},
                              {"post_picture_1", jpegBytes(3 * 1024 * 1024), "photo_1.jpg", "image/jpeg"}},
                             s.access);
    EXPECT_EQ(posted.status, 200) << posted.raw;
    // ...and only as the forms that carry them: sent as JSON, the same requests carry text alone. A
    // sign-up of two megabytes of short texts, which would take several times its size once read.
    std::string texts = R"({"full_name":"x","babies":[)";
    while (texts.size() < 2 * 1024 * 1024)
        texts += R"("aaaaaaaaaaaaaaaa",)";
    texts += R"("a"]})";
    for (const char* path : {"signup", "baby/update", "post"}) {
        Reply asJson = postRaw(path, texts, "application/json", s.access);
        EXPECT_EQ(asJson.status, 413) << path << " " << asJson.raw;
        EXPECT_EQ(asJson.body["message"], "The request is larger than 128 KB.") << path;
    }
}

TEST_F(RequestReadingTest, HeadsAndFormsPastTheirBoundsAreRefused) {
    RawConnection longHead(server_->port());
    longHead.send("GET /m/api/tandc HTTP/1.1\r\nHost: x\r\nX-Long: " + std::string(40 * 1024, 'a') + "\r\n\r\n");
    EXPECT_EQ(statusesIn(longHead.readToClose()), std::vector<int>{431});

    httplib::MultipartFormDataItems parts;
    for (int i = 0; i < 201; ++i)
        parts.push_back({"field_" + std::to_string(i), "x", "", ""});
    Reply tooMany = multipart("member/check", parts);
    EXPECT_EQ(tooMany.status, 413) << tooMany.raw;
    parts.resize(200);
    parts.push_back({"email", "new@cradleway.test", "", ""});
    parts.erase(parts.begin());
    EXPECT_EQ(multipart("member/check", parts).status, 200);

    httplib::Client zipped("127.0.0.1", server_->port());
    zipped.set_compress(true);
    auto compressed = zipped.Post("/m/api/member/check",
                                  httplib::MultipartFormDataItems{{"email", "new@cradleway.test", "", ""}});
    ASSERT_TRUE(compressed);
    EXPECT_EQ(compressed->status, 415) << compressed->body;
}

TEST_F(RequestReadingTest, AQueryMayHoldQuestionMarksAndSlashes) {
    Session s = demoMother();
    RawConnection c(server_->port());
    c.send("GET /m/api/search?query=is%20kangaroo%20care%20safe?&user_id=" + std::to_string(s.userId) +
           " HTTP/1.1\r\nHost: x\r\nX-Access-Token: " + s.access + "\r\nConnection: close\r\n\r\n");
    std::string reply = c.readToClose();
    ASSERT_EQ(statusesIn(reply), std::vector<int>{200}) << reply;
    EXPECT_TRUE(json::parse(lastBody(reply))["data"].is_array());

    RawConnection slash(server_->port());
    slash.send("GET /m/api/search?query=skin/to?skin HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
    EXPECT_EQ(statusesIn(slash.readToClose()), std::vector<int>{200});
}

TEST_F(RequestReadingTest, AFormCutOffBeforeItsClosingBoundaryIsRefusedAndNothingIsSaved) {
    Session s = demoMother();
    auto before = uploads();
    size_t postsBefore =
        post("content/", {{"baby_ids", {1}}, {"user_id", s.userId}}, s.access).body["data"]["posts"].size();
    const std::string boundary = "----cradleway-test";
    std::string form =
        "--" + boundary + "\r\nContent-Disposition: form-data; name=\"user_id\"\r\n\r\n" +
        std::to_string(s.userId) + "\r\n--" + boundary +
        "\r\nContent-Disposition: form-data; name=\"post_text\"\r\n\r\nHalf a post\r\n--" + boundary +
        "\r\nContent-Disposition: form-data; name=\"post_picture_1\"; filename=\"photo_1.jpg\"\r\n"
        "Content-Type: image/jpeg\r\n\r\n" +
        jpegBytes(2000);
    // The body ends without its closing boundary, as an upload cut off at this point would.
    RawConnection c(server_->port());
    c.send("POST /m/api/post HTTP/1.1\r\nHost: x\r\nX-Access-Token: " + s.access +
           "\r\nContent-Type: multipart/form-data; boundary=" + boundary +
           "\r\nContent-Length: " + std::to_string(form.size()) + "\r\n\r\n" + form);
    EXPECT_EQ(statusesIn(c.readToClose()), std::vector<int>{400});
    EXPECT_EQ(uploads(), before);
    EXPECT_EQ(
        post("content/", {{"baby_ids", {1}}, {"user_id", s.userId}}, s.access).body["data"]["posts"].size(),
        postsBefore);
}

TEST_F(RequestReadingTest, ControlCharactersCannotForgeConsoleLines) {
    Session s = demoMother();
    // A line end, and C1 controls (NEL, CSI) and the line and paragraph separators, which end or
    // rewrite lines too.
    const std::pair<const char*, const char*> invitees[] = {
        {"Kate\nsign-in: demo@cradleway.test 200", "kate@cradleway.test"},
        {"Ann\u0085sign-in: x 200\u009B2J\u2028y\u2029z", "ann@cradleway.test"}};
    for (const auto& [name, email] : invitees) {
        Reply invited =
            post("invite",
                 {{"full_name", name}, {"relationship", "Relative"}, {"email", email}, {"user_id", s.userId}},
                 s.access);
        ASSERT_EQ(invited.status, 200) << invited.raw;
    }
    RawConnection c(server_->port());
    c.send(
        "GET /m/api/no%0D%0AGET%20/m/api/signin%20200%1B[2J%C2%9B2J%9B2J HTTP/1.1\r\nHost: x\r\nConnection: "
        "close\r\n\r\n");
    EXPECT_EQ(statusesIn(c.readToClose()), std::vector<int>{404});
    bool sawInvitation = false, sawSeparated = false, sawPath = false;
    for (const auto& line : consoleLines()) {
        for (size_t i = 0; i < line.size(); ++i) {
            const auto ch = static_cast<unsigned char>(line[i]);
            EXPECT_FALSE(ch < 0x20 || ch == 0x7F || ch >= 0x80) << line;
        }
        sawInvitation = sawInvitation || line.find("Kate\\nsign-in") != std::string::npos;
        sawSeparated = sawSeparated ||
                       line.find("Ann\\u0085sign-in: x 200\\u009B2J\\u2028y\\u2029z") != std::string::npos;
        sawPath = sawPath ||
                  line.find("no\\r\\nGET /m/api/signin 200\\x1B[2J\\u009B2J\\x9B2J") != std::string::npos;
    }
    EXPECT_TRUE(sawInvitation);
    EXPECT_TRUE(sawSeparated);
    EXPECT_TRUE(sawPath);
}

} // namespace
} // namespace cw::server::testing

namespace cw::server::testing {
namespace {

// 17,646 requests with 8,000-character paths wrote 141.8 MB of console in ten seconds; 28,677 answered
// requests for the terms, 2.3 GB an hour.
TEST_F(RequestReadingTest, OneAddresssRequestsWriteAFewLinesAMinuteOfAFewHundredBytes) {
    const std::string longPath = "/m/api/" + std::string(8000, 'p');
    for (int i = 0; i < 40; ++i) {
        RawConnection c(server_->port(), "127.0.0.7");
        c.send("GET " + longPath + " HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
        ASSERT_EQ(statusesIn(c.readToClose()), std::vector<int>{404}) << i;
    }
    {
        RawConnection terms(server_->port(), "127.0.0.8");
        std::string requests;
        for (int i = 0; i < RequestLog::kLinesAMinute + 30; ++i)
            requests += "GET /m/api/tandc HTTP/1.1\r\nHost: x\r\n\r\n";
        terms.send(requests + "GET /m/api/tandc HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
        ASSERT_EQ(statusesIn(terms.readToClose()).size(), RequestLog::kLinesAMinute + 31u);
    }
    // Another address's refusals and everybody's answered requests are written as before.
    EXPECT_EQ(get("nothing", {}).status, 404);
    demoMother();

    auto count = [](const std::vector<std::string>& lines, const std::string& needle) {
        return static_cast<size_t>(std::count_if(lines.begin(), lines.end(), [&](const std::string& line) {
            return line.find(needle) != std::string::npos;
        }));
    };
    ASSERT_TRUE(awaitConsole([&](const std::vector<std::string>& lines) {
        return count(lines, "POST /m/api/signin/ 200") == 1 && count(lines, "GET /m/api/nothing 404") == 1;
    }));
    auto lines = consoleLines();
    for (const auto& line : lines)
        EXPECT_LE(line.size(), 310u) << line.substr(0, 80);
    EXPECT_EQ(count(lines, "more refused requests"), 0u);

    // Once its minute has passed, the rest are counted in one line.
    now_ += 61;
    demoMother();
    EXPECT_TRUE(awaitConsole([&](const std::vector<std::string>& lines) {
        return count(lines, "POST /m/api/signin/ 200") == 2;
    }));
    lines = consoleLines();
    EXPECT_EQ(count(lines, "127.0.0.7: 35 more refused requests in the minute"), 1u);
    EXPECT_EQ(count(lines, "GET /m/api/pppp"), 5u);
    EXPECT_EQ(count(lines, "127.0.0.8: 31 more answered requests in the minute"), 1u);
    EXPECT_EQ(count(lines, "GET /m/api/tandc 200"), size_t{RequestLog::kLinesAMinute});
}

} // namespace
} // namespace cw::server::testing
