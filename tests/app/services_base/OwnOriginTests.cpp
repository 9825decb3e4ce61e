// What the member's secrets may reach: a server that answers a sign-in or a signed request with a
// redirect to another host, a token refresh answered with something that is no JSON, and the
// addresses made from the paths the server gives.

#include "ServiceFixture.h"
#include "tests/support/session/SessionReset.h"

#include "Services/BaseHTTPService.h"
#include "Services/RetryService.h"
#include "Services/SignInService.h"
#include "foundation/dispatch/RunLoop.h"

namespace cw::servicetest {
namespace {

using Task = BaseHTTPService::Task;
using OwnOriginTest = ServiceTest;

TEST_F(OwnOriginTest, ASignInOrASignedRequestRedirectedToAnotherServerIsNotSentThereAndFailsAtOnce) {
    cw::test::RecordingServer elsewhere;
    const std::string steal = elsewhere.base() + "/steal";
    setReply([steal](const Arrival& arrival, httplib::Response& response) {
        if (arrival.path == "/m/api/signin/") {
            response.status = 307;
            response.set_header("Location", steal);
        } else if (arrival.path == "/m/api/feed/a") {
            response.status = 302;
            response.set_header("Location", steal);
        }
    });
    signIn("access-1", "refresh-1");

    std::optional<NSError> signInError, getError;
    Task signInTask, getTask;
    // The member's request first: the sign-in ends her session as it leaves.
    BaseHTTPService("feed").get(
        "a", JSON(), nullptr, [](const Task&, const std::optional<JSON>&) { ADD_FAILURE() << "followed"; },
        [&](const Task& task, const NSError& error) { getTask = task, getError = error; });
    runUntil([&] { return getError.has_value(); });
    SignInService().signin(
        "ada@example.org", "hunter2", cw::test::screenThatStays(),
        [](const Task&, const std::optional<JSON>&) { ADD_FAILURE() << "signed in"; },
        [&](const Task& task, const NSError& error) { signInTask = task, signInError = error; });
    runUntil([&] { return signInError.has_value(); });

    for (const NSError* error : {&*signInError, &*getError}) {
        EXPECT_EQ(error->domain, NSURLErrorDomain);
        EXPECT_EQ(error->code, cw::URLErrorRedirectToAnotherOrigin);
    }
    ASSERT_TRUE(signInTask && signInTask->response() && getTask && getTask->response());
    EXPECT_EQ(signInTask->response()->statusCode(), 307);
    EXPECT_EQ(getTask->response()->statusCode(), 302);
    // The redirect is the server's answer: no token refresh, no second try.
    EXPECT_TRUE(arrivalsAt("/m/api/tokens/").empty());
    EXPECT_EQ(arrivalsAt("/m/api/feed/a").size(), 1u);
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(elsewhere.requestCount(), 0u) << "the password or the token went to another server";
    // The sign-in ended the session in force as it left; the redirect started none.
    EXPECT_FALSE(AuthenticationContext::shared().oAuthToken());
}

TEST_F(OwnOriginTest, ARefreshAnsweredWithABodyThatIsNoJSONSignsTheMemberOut) {
    struct Case {
        const char* body;
        const char* type;
    };
    for (const Case& c : {Case{"{not json", "application/json"}, Case{"<html>Down for maintenance</html>", "text/html"}}) {
        SCOPED_TRACE(c.body);
        signIn("old", "old-r");
        AuthenticationContext::shared().updateTokens(
            JSON::parse(R"({"tokens":{"access_token":"old","refresh_token":"old-r"}})").value());
        setReply([c](const Arrival& arrival, httplib::Response& response) {
            if (arrival.path == "/m/api/tokens/")
                response.set_content(c.body, c.type);
            else
                response.status = 401;
        });
        int heard = 0;
        BaseHTTPService("feed").get("a", JSON(), nullptr, nullptr, [&](const Task&, const NSError&) { ++heard; });
        runUntil([&] { return !AuthenticationContext::shared().oAuthToken(); });
        RunLoop::main().runUntilIdle();

        EXPECT_EQ(heard, 0) << "the refused request ended with the session";
        auto& session = AuthenticationContext::shared();
        EXPECT_FALSE(session.oAuthToken());
        EXPECT_FALSE(session.oAuthRefreshToken());
        AuthenticationContext stored;
        stored.loadTokens();
        EXPECT_FALSE(stored.oAuthToken());
    }
}

TEST_F(OwnOriginTest, ServerPathsAreJoinedToTheServersAddressAndStayOnItsOrigin) {
    EXPECT_EQ(BaseHTTPService::resolveServerPath("/content/education/5")->absoluteString(),
              base() + "/content/education/5");
    EXPECT_EQ(BaseHTTPService::resolveServerPath("/content/a b")->absoluteString(), base() + "/content/a%20b");
    EXPECT_EQ(BaseHTTPService::resolveServerPath("/content/a%20b")->absoluteString(), base() + "/content/a%20b");
    EXPECT_FALSE(BaseHTTPService::memberPageURL("/content/education/5")) << "nobody signed in";

    signIn("a+b", "r", 5);
    EXPECT_EQ(BaseHTTPService::memberPageURL("/content/education/5")->absoluteString(),
              base() + "/content/education/5?user_id=5&access_token=a%2Bb");
    // "//host" put after the address is a path of the server's own.
    EXPECT_EQ(BaseHTTPService::memberPageURL("//127.0.0.1:9/steal")->absoluteString(),
              base() + "//127.0.0.1:9/steal?user_id=5&access_token=a%2Bb");
    // Put after the address these name another host, or no address at all: nothing opens.
    for (const std::string& hostile :
         {std::string("@127.0.0.1:9/steal"), std::string("@other.example/content/education/5"),
          std::string("https://other.example/steal"), std::string("content/education/5")}) {
        EXPECT_FALSE(BaseHTTPService::resolveServerPath(hostile)) << hostile;
        EXPECT_FALSE(BaseHTTPService::memberPageURL(hostile)) << hostile;
    }

    // A server under a path of its own keeps it, as the requests of its API do.
    writeBundle({{"CFBundleIdentifier", "org.cradleway.tests"}, {"SERVER_URL", base() + "/nicu"}});
    EXPECT_EQ(BaseHTTPService::resolveServerPath("/content/education/5")->absoluteString(),
              base() + "/nicu/content/education/5");
    EXPECT_EQ(BaseHTTPService::memberPageURL("/content/education/5")->absoluteString(),
              base() + "/nicu/content/education/5?user_id=5&access_token=a%2Bb");
    EXPECT_EQ(BaseHTTPService::serverURL(), base() + "/nicu/m/api/");

    // Written with a closing slash, the address is the same server: requests arrive at the routes' exact
    // paths.
    for (const std::string& server : {base() + "/", base() + "/nicu/"}) {
        SCOPED_TRACE(server);
        writeBundle({{"CFBundleIdentifier", "org.cradleway.tests"}, {"SERVER_URL", server}});
        const std::string root = server.substr(base().size(), server.size() - base().size() - 1);
        EXPECT_EQ(BaseHTTPService::resolveServerPath("/content/education/5")->absoluteString(),
                  base() + root + "/content/education/5");
        bool answered = false;
        BaseHTTPService("feed").get(
            "a", JSON(), nullptr, [&](const Task&, const std::optional<JSON>&) { answered = true; },
            [&](const Task&, const NSError&) { answered = true; });
        runUntil([&] { return answered; });
        EXPECT_EQ(arrivalsAt(root + "/m/api/feed/a").size(), 1u);
    }
}

} // namespace
} // namespace cw::servicetest
