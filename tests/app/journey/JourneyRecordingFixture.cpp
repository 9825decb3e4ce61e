#include "JourneyRecordingFixture.h"

#include "App/AppStoryboards.h"
#include "Services/AuthenticationContext.h"
#include "Services/BaseHTTPService.h"
#include "foundation/dispatch/RunLoop.h"
#include "kits/banners/GSMessage.h"
#include "uikit/controllers/UIAppearance.h"
#include "uikit/graphics/UIImage.h"

#include <chrono>

namespace cw::journeytest {

namespace {

void forgetTheSession() {
    auto& session = AuthenticationContext::shared();
    session.setUser(nullptr);
    session.setOAuthToken(std::nullopt);
    session.setOAuthRefreshToken(std::nullopt);
    session.setSelectedBabyId(std::nullopt);
}

} // namespace

void JourneyRecordingTest::SetUp() {
    environment = std::make_unique<test::AppEnvironment>("cw-journey-recorded");
    environment->writeInfo({{"SERVER_URL", server.base()},
                            {"CFBundleIdentifier", "org.cradleway.journey-tests"},
                            {"CFBundleShortVersionString", "1.4"},
                            {"CFBundleVersion", "27"}});
    UIImage::setResourceDirectory(test::generatedResourcesDirectory());
    forgetTheSession();
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
    forgetTheSession();
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
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (true) {
        host->settle();
        if (done()) return true;
        if (std::chrono::steady_clock::now() > deadline) return false;
        RunLoop::main().runUntil(done, 0.02);
    }
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

bool JourneyRecordingTest::showsActivityOverlay(const UIViewControllerPtr& screen) {
    std::function<bool(const UIView&)> search = [&](const UIView& view) {
        if (view.isHidden()) return false;
        if (view.className() == "ActivityOverlayView") return true;
        for (const auto& child : view.subviews())
            if (search(*child)) return true;
        return false;
    };
    return screen && screen->isViewLoaded() && search(*screen->view());
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
