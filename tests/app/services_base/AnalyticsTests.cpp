#include "ServiceFixture.h"

#include "Extensions/UIDevice+ModelName.h"
#include "Services/AnalyticsService.h"
#include "foundation/device/UIDevice.h"

namespace cw::servicetest {
namespace {

using AnalyticsTest = ServiceTest;
using Task = BaseHTTPService::Task;

TEST_F(AnalyticsTest, EventBodyForAMemberAndForNobody) {
    signIn("a", "r", 31);
    int replies = 0;
    auto success = [&](const Task&, const std::optional<JSON>&) { ++replies; };
    AnalyticsService().send("FeedViewScreen", "Tap", {{"contentTapped", JSON(12)}}, success, nullptr);
    runUntil([&] { return replies == 1; });
    AuthenticationContext::shared().setUser(nullptr);
    AnalyticsService().send("MainScreen", "Loaded", {}, success, nullptr);
    runUntil([&] { return replies == 2; });

    const auto events = arrivalsAt("/m/api/analytics/");
    ASSERT_EQ(events.size(), 2u);
    const UIDevice& device = UIDevice::current();
    const nlohmann::json common = {{"application_version", "2.1.14"},
                                   {"client", device.systemName()},
                                   {"clientOS", device.systemVersion()},
                                   {"clientModel", modelName(device)}};
    nlohmann::json member = common;
    member.update({{"user_id", 31},
                   {"screen_name", "FeedViewScreen"},
                   {"screen_action", "Tap"},
                   {"event_details", {{"contentTapped", 12}}}});
    nlohmann::json nobody = common;
    nobody.update({{"screen_name", "MainScreen"},
                   {"screen_action", "Loaded"},
                   {"event_details", nlohmann::json::object()}});
    EXPECT_EQ(events[0].json(), member);
    EXPECT_EQ(events[1].json(), nobody);
    EXPECT_EQ(events[0].header("X-Access-Token"), "a");
}

TEST_F(AnalyticsTest, ScreenActionsAndTheDirectSend) {
    EXPECT_EQ(ScreenActionFromRawValue("Tap"), ScreenAction::Tap);
    EXPECT_FALSE(ScreenActionFromRawValue("tap"));
    EXPECT_EQ(rawValue(ScreenAction::ServerRequest), "ServerRequest");

    writeBundle({{"CFBundleIdentifier", "org.cradleway.tests"}, {"CFBundleVersion", "7"}});
    AnalyticsService().send("MainScreen", ScreenAction::ServerRequest, {});
    runUntil([&] { return arrivals().size() == 1; });
    const JSON event = arrivals()[0].json();
    EXPECT_EQ(event["screen_action"].string(), "ServerRequest");
    EXPECT_FALSE(event["application_version"].exists());
    EXPECT_FALSE(event["user_id"].exists());
}

} // namespace
} // namespace cw::servicetest
