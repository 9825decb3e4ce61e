#pragma once

// The journey screens on a plain white application in the headless host, against a recording server
// whose replies each test sets: a signed-in mother (id 42), a baby born on 1 March 2019 (id 7), and
// the application's clock at its fixed start (13 September 2020). The device's locale is the test's
// to choose; it goes back to the environment's afterwards.

#include "Models/BabyData.h"
#include "host/HeadlessHost.h"
#include "tests/support/AppEnvironment.h"
#include "tests/support/RecordingServer.h"
#include "tests/support/WhiteScreenApp.h"
#include "tests/support/app/AppTestSupport.h"
#include "uikit/controllers/UINavigationController.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <memory>
#include <string>
#include <vector>

namespace cw::journeytest {

using test::showsActivityOverlay;

class JourneyRecordingTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Shows `controller` as the root of a navigation controller presented over the white screen.
    std::shared_ptr<UINavigationController> show(const UIViewControllerPtr& controller);
    // Answers POSTs to the path under "/m/api/".
    void reply(const std::string& path, int status, const nlohmann::json& body);
    // Serves a picture of one colour at the path.
    void servePicture(const std::string& path, std::uint32_t argb);
    std::string url(const std::string& path) const { return server.base() + path; }

    std::vector<test::RecordedRequest> requestsAt(const std::string& path) const {
        return server.requestsAt("/m/api/" + path);
    }
    // Waits for `count` requests to the path.
    bool waitForRequests(const std::string& path, std::size_t count = 1);
    // Sends a request of its own and waits for it: whatever was sent before has arrived by then,
    // and then nothing else arrives.
    void expectNothingElseSent();
    // Turns the run loop (the server answers in real time) until `done`, settling on the way.
    bool waitFor(const std::function<bool()>& done, double seconds = 10);

    // The usage events the server received, with the details of each.
    std::vector<nlohmann::json> eventDetails(const std::string& screen) const;

    // A milestone kind as the server lists them.
    static nlohmann::json kind(const std::string& type, const std::string& text, const std::string& image);

    test::RecordingServer server;
    std::unique_ptr<test::AppEnvironment> environment;
    std::unique_ptr<cw::HeadlessHost> host;
    std::shared_ptr<test::WhiteScreenApp> app;
    std::shared_ptr<BabyData> baby;
};

} // namespace cw::journeytest
