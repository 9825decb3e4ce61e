#include "JourneyRecordingFixture.h"

#include "App/AppStoryboards.h"
#include "Services/AuthenticationContext.h"
#include "Services/BaseHTTPService.h"
#include "foundation/dispatch/RunLoop.h"
#include "kits/banners/GSMessage.h"
#include "uikit/controllers/UIAppearance.h"
#include "uikit/graphics/UIImage.h"


namespace cw::journeytest {

void JourneyRecordingTest::SetUp() {
    environment = std::make_unique<test::AppEnvironment>("cw-journey-recorded");
    test::prepareBundle(*environment, server.base(), "org.cradleway.journey-tests");
    test::forgetSession();
    auto& session = AuthenticationContext::shared();
    session.setUser(UserData::initWithResponseObject(JSON(nlohmann::json{{"id", 42},
                                                                         {"full_name", "Maya Lind"},
                                                                         {"email", "maya@example.test"},
                                                                         {"relationship", "Mother"},
                                                                         {"security_code", 1042}})));
    session.setOAuthToken("access");
    session.setOAuthRefreshToken("refresh");
    baby = std::make_shared<BabyData>("Ada Lind", "2019-03-01", "2019-05-01", Gender::Female);
    baby->setBabyId(7);
    registerAppStoryboards();
    GSMessage::clearHistory();
    host = std::make_unique<cw::HeadlessHost>();
    app = std::make_shared<test::WhiteScreenApp>();
    ASSERT_TRUE(host->launch(app));
}

void JourneyRecordingTest::TearDown() {
    RunLoop::main().runFor(0.05);
    app.reset();
    host.reset();
    test::forgetSession();
    environment.reset();
    UIAppearance::reset();
}

std::shared_ptr<UINavigationController> JourneyRecordingTest::show(const UIViewControllerPtr& controller) {
    auto navigation = std::make_shared<UINavigationController>(controller);
    app->root->present(navigation, false);
    host->settle();
    return navigation;
}

void JourneyRecordingTest::reply(const std::string& path, int status, const nlohmann::json& body) {
    server.reply("POST", "/m/api/" + path, test::Reply{status, body.dump()});
}

void JourneyRecordingTest::servePicture(const std::string& path, std::uint32_t argb) {
    std::vector<std::uint32_t> pixels(16 * 16, argb);
    const auto bytes = *UIImage::fromPixels(16, 16, 1, pixels.data())->pngData();
    server.reply("GET", path, test::Reply{200, std::string(bytes.begin(), bytes.end()), "image/png"});
}

bool JourneyRecordingTest::waitFor(const std::function<bool()>& done, double seconds) {
    return test::waitSettling(*host, done, seconds);
}

bool JourneyRecordingTest::waitForRequests(const std::string& path, std::size_t count) {
    return waitFor([&] { return requestsAt(path).size() >= count; });
}

void JourneyRecordingTest::expectNothingElseSent() {
    const std::size_t before = server.requestCount();
    BaseHTTPService("sentinel").post("", JSON(), nullptr, nullptr);
    ASSERT_TRUE(server.waitForRequests(before + 1));
    RunLoop::main().runFor(0.05);
    auto all = server.requests();
    ASSERT_EQ(all.size(), before + 1) << "a request came after the sentinel: " << all.back().path;
    EXPECT_EQ(all.back().path, "/m/api/sentinel/");
}

std::vector<nlohmann::json> JourneyRecordingTest::eventDetails(const std::string& screen) const {
    std::vector<nlohmann::json> details;
    for (const auto& r : server.requestsAt("/m/api/analytics/")) {
        const auto body = r.json();
        if (body.value("screen_name", "") == screen) details.push_back(body.value("event_details", nlohmann::json()));
    }
    return details;
}

nlohmann::json JourneyRecordingTest::kind(const std::string& type, const std::string& text, const std::string& image) {
    return {{"type", type}, {"dropdown_text", text}, {"image", image}, {"input", type == "other"}};
}

} // namespace cw::journeytest
