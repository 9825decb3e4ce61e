// A server that answers the sign-in with a redirect to another host: the e-mail and password never
// reach that host, and the screen says the sign-in failed.

#include "SignInFixture.h"

#include "Controllers/SignIn/LoginViewController.h"
#include "kits/banners/GSMessage.h"
#include "tests/support/RecordingServer.h"

namespace cw::test {

TEST_F(SignInTest, ASignInRedirectedToAnotherHostIsNotPostedThereAndSaysItFailed) {
    RecordingServer hostile, elsewhere;
    const std::string steal = elsewhere.base() + "/collect";
    hostile.setHandler([steal](const RecordedRequest& request, httplib::Response& response) {
        if (request.path != "/m/api/signin/") return;
        response.status = 307;
        response.set_header("Location", steal);
    });
    environment->writeInfo({{"SERVER_URL", hostile.base()}, {"CFBundleIdentifier", "org.cradleway.signin-tests"}});
    launch();
    auto login = topAs<LoginViewController>();
    ASSERT_TRUE(login);
    typeInto("emailTextField", "demo@cradleway.test");
    typeInto("passwordField", "cradleway-demo");
    GSMessage::clearHistory();
    ASSERT_TRUE(host->tapText("Sign In"));
    ASSERT_TRUE(waitFor([] { return !GSMessage::history().empty(); }));
    EXPECT_EQ(GSMessage::history().back().text, "Unexpected error. Please try again.");
    EXPECT_EQ(GSMessage::history().back().type, GSMessageType::error);
    EXPECT_EQ(hostile.requestsAt("/m/api/signin/").size(), 1u);
    EXPECT_EQ(elsewhere.requestCount(), 0u) << "the password was posted to another host";
    EXPECT_EQ(topAs<LoginViewController>(), login);
}

} // namespace cw::test
