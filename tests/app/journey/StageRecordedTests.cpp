// The stage journey's rules (how an answer spreads to the other stages, the page titles) and its
// container against replies of the test's choosing: the answers it sends, a failed send, a member
// without babies.

#include "JourneyRecordingFixture.h"

#include "Controllers/Journey/JourneyContainerViewController.h"
#include "Extensions/UIStoryboard+Instantiate.h"
#include "kits/banners/GSMessage.h"

#include <iostream>
#include <sstream>

namespace cw::journeytest {

namespace {

std::shared_ptr<JourneyStage> stage(const std::string& title, bool complete) {
    auto s = std::make_shared<JourneyStage>();
    s->description = title;
    s->isComplete = complete;
    return s;
}

// Records what a page reports.
class Reports : public JourneyDataDelegate {
public:
    void didUpdateStages(const std::vector<std::shared_ptr<JourneyStage>>& stages, const std::string& babyId) override {
        std::string titles;
        for (const auto& s : stages) titles += s->description.value_or("?");
        reported.push_back(titles + "@" + babyId);
    }
    std::vector<std::string> reported;
};

std::string flags(const std::vector<std::shared_ptr<JourneyStage>>& stages) {
    std::string out;
    for (const auto& s : stages) out += s->isComplete ? '1' : '0';
    return out;
}

nlohmann::json journeyBaby(int id, const std::string& name, nlohmann::json responses) {
    return {{"id", id},
            {"full_name", name},
            {"birthday", "2019-03-01"},
            {"expected_birthday", "2019-05-01"},
            {"Gender", "Female"},
            {"days_of_life_description", "3 weeks and 2 days"},
            {"responses", std::move(responses)}};
}

nlohmann::json response(int q, const std::string& title, const char* answer) {
    return {{"q_id", q},
            {"not_id", 700 + q},
            {"title", title},
            {"question", "Is Ada " + title + "?"},
            {"answer", answer ? answer : ""},
            {"updated_at", "2019-03-20T10:00:00.000+0000"}};
}

class JourneyStages : public JourneyRecordingTest {
protected:
    std::shared_ptr<JourneyContainerViewController> openStages() {
        auto container = instantiateViewController<JourneyContainerViewController>(*UIStoryboard::named("Feed"));
        show(container);
        return container;
    }
};

} // namespace

TEST(JourneyStageRules, AnAnswerCompletesTheStagesBeforeItOrReopensThoseAfterIt) {
    auto page = std::make_shared<JourneyViewController_old>();
    auto reports = std::make_shared<Reports>();
    page->delegate = reports;
    page->babyData = std::make_shared<BabyData>("Ada Lind", "2019-03-01", "2019-05-01", Gender::Female);
    page->babyData->setBabyId(7);
    auto reset = [&](const std::string& states) {
        page->stages.clear();
        for (std::size_t i = 0; i < states.size(); ++i) page->stages.push_back(stage(std::string(1, char('A' + i)), states[i] == '1'));
    };
    struct Case {
        std::string before;
        std::size_t answered;
        bool yes;
        std::string after;
        std::string reported; // empty: nothing reported
    };
    const Case cases[] = {
        {"0000", 2, true, "1110", "ABC@7"},  // Yes on C
        {"1110", 1, false, "1000", "ABC@7"}, // No on B
        {"1000", 0, false, "0000", "A@7"},   // No on A alone
        {"1010", 0, false, "0000", "ABC@7"}, // the last complete stage from the answered one on
        {"1100", 1, true, "1100", ""},       // a repeated answer changes and reports nothing
        {"1100", 3, false, "1100", ""},
    };
    for (const auto& c : cases) {
        reset(c.before);
        reports->reported.clear();
        page->answer(page->stages[c.answered], c.yes);
        EXPECT_EQ(flags(page->stages), c.after) << c.before << " " << c.answered;
        EXPECT_EQ(reports->reported, c.reported.empty() ? std::vector<std::string>{}
                                                         : std::vector<std::string>{c.reported})
            << c.before << " " << c.answered;
    }
    // A stage that is not the page's, or a page without a baby id: nothing.
    reset("0000");
    reports->reported.clear();
    page->answer(stage("X", false), true);
    page->babyData->setBabyId(std::nullopt);
    page->answer(page->stages[1], true);
    EXPECT_EQ(flags(page->stages), "0000");
    EXPECT_TRUE(reports->reported.empty());
}

TEST(JourneyStageRules, APageIsTitledWithItsBabysNameInThePossessive) {
    auto titled = [](const std::string& name) {
        auto page = std::make_shared<JourneyViewController_old>();
        page->babyData = std::make_shared<BabyData>(name, "2019-03-01", "2019-05-01", Gender::Male);
        return JourneyContainerViewController::titleFor(page);
    };
    EXPECT_EQ(titled("Emma"), "Emma's Journey");
    EXPECT_EQ(titled("James"), "James' Journey");
    EXPECT_EQ(titled("JAMES"), "JAMES' Journey");
    EXPECT_EQ(titled("Olivia Hart"), "Olivia Hart's Journey");
    EXPECT_EQ(JourneyContainerViewController::titleFor(std::make_shared<NoBabyViewController>()), "NICU Journey");
    EXPECT_EQ(JourneyContainerViewController::titleFor(std::make_shared<JourneyViewController_old>()), "NICU Journey");
}

TEST_F(JourneyStages, AFailedAnswerPutsTheStagesBackSoAnsweringAgainSendsAgain) {
    reply("member/nicu_journey/", 200,
          {{"babies", {journeyBaby(7, "Ada Lind",
                                   {response(1, "Breathing", "Yes"), response(2, "Feeding", nullptr),
                                    response(3, "Temperature", "Yes"), response(4, "Going home", nullptr)})}}});
    server.reply("POST", "/m/api/question/response",
                 std::vector<test::Reply>{{500, R"({"message":"down"})"}, {200, R"({"status":"Saved."})"}});
    std::ostringstream console;
    auto* saved = std::cout.rdbuf(console.rdbuf());
    auto stages = openStages();
    ASSERT_TRUE(waitFor([&] { return !stages->viewControllers.empty(); }));
    auto page = std::dynamic_pointer_cast<JourneyViewController_old>(stages->viewControllers.front());
    ASSERT_TRUE(page);
    EXPECT_EQ(stages->title(), std::optional<std::string>("Ada Lind's Journey"));
    EXPECT_TRUE(stages->pageControl.lock()->isHidden());
    host->advance(1);
    // The first row shows the birthday, the last (not complete) nothing.
    EXPECT_TRUE(host->isShowing("2019-03-01"));

    ASSERT_TRUE(host->tapIdentifier("bubble-FEEDING"));
    ASSERT_TRUE(host->pickAlertAction("OK"));
    ASSERT_TRUE(host->pickAlertAction("Yes"));
    ASSERT_TRUE(waitForRequests("question/response"));
    // The answers, last stage first.
    EXPECT_EQ(requestsAt("question/response").front().json(),
              (nlohmann::json{{"user_id", 42},
                              {"questions",
                               {{"7", {{{"answer", "Yes"}, {"not_id", 702}, {"q_id", 2}},
                                       {{"answer", "Yes"}, {"not_id", 701}, {"q_id", 1}}}}}}}));
    ASSERT_TRUE(waitFor([&] { return !GSMessage::history().empty(); }));
    EXPECT_EQ(GSMessage::history().back().text, "The request could not be completed.");
    EXPECT_EQ(flags(page->stages), "1010");
    EXPECT_FALSE(showsActivityOverlay(stages));
    EXPECT_NE(console.str().find("The request could not be completed."), std::string::npos);

    // The same answer again is sent again; this time the pages come back from the server.
    const std::size_t loads = requestsAt("member/nicu_journey/").size();
    ASSERT_TRUE(host->tapIdentifier("bubble-FEEDING"));
    ASSERT_TRUE(host->pickAlertAction("OK"));
    ASSERT_TRUE(host->pickAlertAction("Yes"));
    ASSERT_TRUE(waitForRequests("question/response", 2));
    ASSERT_TRUE(waitForRequests("member/nicu_journey/", loads + 1));
    ASSERT_TRUE(waitFor([&] { return GSMessage::history().back().text == "Saved."; }));
    EXPECT_EQ(GSMessage::history().back().type, GSMessageType::success);
    std::cout.rdbuf(saved);
}

// A journey that came but cannot be read (no JSON, cut short) is said as such in the banner, not
// as a request that never reached the server.
TEST_F(JourneyStages, AJourneyThatCannotBeReadIsSaidSoNotAsOneThatNeverArrived) {
    const test::Reply unreadable[] = {{200, "<html><body>Bad gateway</body></html>", "text/html"},
                                      {200, R"({"babies": [{"id": 7, "full_na)"}};
    for (const test::Reply& reply : unreadable) {
        SCOPED_TRACE(reply.body);
        server.reply("POST", "/m/api/member/nicu_journey/", reply);
        GSMessage::clearHistory();
        auto stages = openStages();
        ASSERT_TRUE(waitFor([&] { return GSMessage::shown(*stages) != nullptr; })) << "no word of it";
        EXPECT_EQ(GSMessage::shown(*stages)->text(), "The server's reply could not be read.");
        EXPECT_TRUE(host->isShowing("The server's reply could not be read."));
        app->root->dismiss(false);
        host->settle();
    }
}

TEST_F(JourneyStages, AMemberWithoutBabiesSeesTheNoBabyPage) {
    reply("member/nicu_journey/", 200, {{"babies", nlohmann::json::array()}});
    auto stages = openStages();
    ASSERT_TRUE(waitFor([&] { return !stages->viewControllers.empty(); }));
    EXPECT_TRUE(std::dynamic_pointer_cast<NoBabyViewController>(stages->viewControllers.front()));
    EXPECT_TRUE(host->isShowing("Your baby's journey will appear here."));
    EXPECT_EQ(stages->title(), std::optional<std::string>("NICU Journey"));
    EXPECT_TRUE(stages->pageControl.lock()->isHidden());
}

TEST_F(JourneyStages, ASingleStageHidesBothLinesAndAFailedLoadStopsTheIndicator) {
    reply("member/nicu_journey/", 200, {{"babies", {journeyBaby(7, "Ada Lind", {response(1, "Breathing", "Yes")})}}});
    auto stages = openStages();
    ASSERT_TRUE(waitFor([&] { return !stages->viewControllers.empty(); }));
    host->advance(1);
    auto page = std::dynamic_pointer_cast<JourneyViewController_old>(stages->viewControllers.front());
    auto row = std::dynamic_pointer_cast<JourneyCell>(page->tableView.lock()->visibleCells().front());
    EXPECT_TRUE(row->topPath.lock()->isHidden());
    EXPECT_TRUE(row->bottomPath.lock()->isHidden());
    EXPECT_EQ(row->descriptionLabel.lock()->text(), std::optional<std::string>("2019-03-01"));
    EXPECT_EQ(row->titleLabel.lock()->text(), std::optional<std::string>("BREATHING"));

    reply("member/nicu_journey/", 500, {{"message", "down"}});
    app->root->dismiss(false);
    host->settle();
    auto failed = openStages();
    ASSERT_TRUE(waitFor([&] { return !GSMessage::history().empty(); }));
    EXPECT_TRUE(failed->viewControllers.empty());
    EXPECT_FALSE(failed->activityIndicator.lock()->isAnimating());
    EXPECT_EQ(failed->containerView.lock()->alpha(), 0);
}

} // namespace cw::journeytest
