// The demo's readings as a parent reads them: the numbers the daily update's card speaks of are
// the numbers the Update tab shows.
#include "BabyScreenFixture.h"

namespace cw::test {
namespace {

using DemoReadings = BabyScreenTest;

TEST_F(DemoReadings, TheUpdateTabShowsTheWeightAndBreathingTheFeedCardSpeaksOf) {
    signInAndLaunch();
    ASSERT_TRUE(showsSoon("Olivia had a settled night. Weight 1,523 g; breathing: Room air."));
    ASSERT_TRUE(host->tapText("Update"));
    ASSERT_TRUE(showsSoon("Olivia Hart"));
    for (const char* reading : {"1,523 g", "Room air", "34 ml every 3 hours", "Open cot"})
        EXPECT_TRUE(showsSoon(reading)) << reading;
}

} // namespace
} // namespace cw::test
