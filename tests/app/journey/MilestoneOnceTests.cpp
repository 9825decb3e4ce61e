// A quick double click on the milestone form's Save stores the milestone once and sends it once. The
// application talks to the demo server through a front that passes every request on and counts them.

#include "JourneyDemoFixture.h"

#include "Controllers/Journey/JourneyAddViewController.h"
#include "Services/BaseHTTPService.h"
#include "tests/support/Forwarding.h"
#include "tests/support/RecordingServer.h"

namespace cw::journeytest {
namespace {

TEST_F(JourneyDemoTest, AQuickDoubleClickOnSaveSendsTheMilestoneOnceAndStoresItOnce) {
    test::RecordingServer front;
    front.setHandler([upstream = demo->baseUrl()](const test::RecordedRequest& request, httplib::Response& response) {
        test::forwardRequest(upstream, request, response);
    });
    // From here on the services send through the front; the session stays.
    test::prepareBundle(*environment, front.base(), "org.cradleway.journey-tests");
    auto timeline = openTimeline("Olivia Hart");
    const std::string babyId = std::to_string(*timeline->baby->babyId());
    const auto itemsBefore = count("SELECT COUNT(*) FROM journey_items WHERE baby_id = " + babyId);
    ASSERT_TRUE(host->tapText("Add Milestone"));
    ASSERT_TRUE(topAs<JourneyAddViewController>());
    ASSERT_TRUE(waitForText("First time holding me"));

    ASSERT_TRUE(host->doubleTap(host->findByText("Save")));
    ASSERT_TRUE(waitFor([&] { return top() == timeline; }));
    ASSERT_TRUE(waitFor([&] {
        return count("SELECT COUNT(*) FROM journey_items WHERE baby_id = " + babyId) == itemsBefore + 1;
    }));
    // Whatever the second click set off has arrived once a request sent after it has.
    BaseHTTPService("sentinel").post("", JSON(), nullptr, nullptr);
    ASSERT_TRUE(waitFor([&] { return front.requestCount("/m/api/sentinel/") == 1; }));
    EXPECT_EQ(front.requestCount("/m/api/baby/nicu_journey_add"), 1u) << "the second click sent it again";
    EXPECT_EQ(count("SELECT COUNT(*) FROM journey_items WHERE baby_id = " + babyId), itemsBefore + 1);
    front.stop();
}

} // namespace
} // namespace cw::journeytest
