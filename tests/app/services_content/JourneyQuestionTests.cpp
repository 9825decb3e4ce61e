#include "ServiceTestSupport.h"

#include "Services/JourneyService.h"
#include "Services/QuestionService.h"

#include <gtest/gtest.h>

namespace cw::servicetest {
namespace {

using Babies = std::vector<std::shared_ptr<BabyData>>;

class JourneyQuestionTest : public ServiceTest {
protected:
    // Fetches the journey and waits for one of the callbacks.
    std::variant<Babies, RequestError> fetchJourney(std::int64_t userId) {
        std::optional<std::variant<Babies, RequestError>> outcome;
        JourneyService().fetchJourney(
            userId, [&](const Babies& babies) { outcome = babies; },
            [&](const RequestError& e) { outcome = e; });
        EXPECT_TRUE(runUntil([&] { return outcome.has_value(); }));
        return outcome.value_or(RequestError::nilData());
    }
};

TEST_F(JourneyQuestionTest, JourneyHeaderBecomesBabiesWithTheirStages) {
    server.reply("POST", "/m/api/member/nicu_journey/", Reply{200, R"({"babies": [
        {"id": 12, "full_name": "Mia", "birthday": "2026-10-01", "expected_birthday": "2026-12-01",
         "Gender": "FEMALE", "gestational_age_description": "31 weeks",
         "adjusted_gestational_age_description": "33 weeks", "days_of_life_description": "Day 14",
         "file_name": "a.jpg",
         "responses": [{"q_id": 1, "not_id": 10, "title": "Breathing", "answer": "yes"},
                       {"q_id": 2, "title": "Feeding"}, {"title": "Home"}]},
        {"id": "12", "gender": "male", "days_of_life_description": 3},
        "not a baby"]})"});
    auto outcome = fetchJourney(7);

    auto arrivals = server.requests();
    ASSERT_EQ(arrivals.size(), 1u);
    EXPECT_EQ(arrivals[0].method, "POST");
    EXPECT_EQ(arrivals[0].path, "/m/api/member/nicu_journey/");
    EXPECT_EQ(arrivals[0].json(), nlohmann::json({{"user_id", 7}}));

    ASSERT_TRUE(std::holds_alternative<Babies>(outcome));
    const auto& babies = std::get<Babies>(outcome);
    ASSERT_EQ(babies.size(), 3u);
    const auto& mia = *babies[0];
    EXPECT_EQ(mia.babyId(), 12);
    EXPECT_EQ(mia.fullName(), "Mia");
    EXPECT_EQ(mia.birthday(), "2026-10-01");
    EXPECT_EQ(mia.expectedBirthday(), "2026-12-01");
    EXPECT_EQ(mia.gender(), Gender::Female);
    EXPECT_EQ(mia.gestationalAgeDescription(), "31 weeks");
    EXPECT_EQ(mia.adjustedAgeDescription(), "33 weeks");
    EXPECT_EQ(mia.daysOfLifeDescription(), "Day 14");
    EXPECT_EQ(mia.imageFile(), server.base() + "/a.jpg");
    ASSERT_EQ(mia.journeyStages().size(), 3u);
    EXPECT_EQ(mia.journeyStages()[0]->description, "Breathing");
    EXPECT_TRUE(mia.journeyStages()[0]->isComplete);
    EXPECT_EQ(mia.journeyStages()[2]->description, "Home");
    EXPECT_FALSE(mia.mrn());
    EXPECT_FALSE(mia.backgroundColor());

    // An id sent as text is no id; a lower-case "gender" key is not read; an age text that is a
    // number is no text.
    const auto& second = *babies[1];
    EXPECT_FALSE(second.babyId());
    EXPECT_EQ(second.gender(), Gender::Unknown);
    EXPECT_FALSE(second.daysOfLifeDescription());
    EXPECT_EQ(second.imageFile(), server.base() + "/");

    const auto& notObject = *babies[2];
    EXPECT_EQ(notObject.fullName(), "");
    EXPECT_EQ(notObject.gender(), Gender::Unknown);
    EXPECT_FALSE(notObject.babyId());
    EXPECT_FALSE(notObject.gestationalAgeDescription());
    EXPECT_TRUE(notObject.journeyStages().empty());
}

TEST_F(JourneyQuestionTest, JourneyRepliesWithoutBabiesAndFailures) {
    for (const char* body : {R"({"babies": []})", "{}", R"({"babies": {"id": 1}})"}) {
        server.reply("POST", "/m/api/member/nicu_journey/", Reply{200, body});
        auto outcome = fetchJourney(7);
        ASSERT_TRUE(std::holds_alternative<Babies>(outcome)) << body;
        EXPECT_TRUE(std::get<Babies>(outcome).empty()) << body;
    }

    server.reply("POST", "/m/api/member/nicu_journey/", Reply{200, ""});
    auto empty = fetchJourney(7);
    ASSERT_TRUE(std::holds_alternative<RequestError>(empty));
    EXPECT_EQ(std::get<RequestError>(empty).kind(), RequestError::Kind::parseError);

    server.reply("POST", "/m/api/member/nicu_journey/", Reply{500, R"({"message": "down"})"});
    auto failed = fetchJourney(7);
    ASSERT_TRUE(std::holds_alternative<RequestError>(failed));
    EXPECT_EQ(std::get<RequestError>(failed).kind(), RequestError::Kind::networkError);
    EXPECT_STREQ(std::get<RequestError>(failed).what(), "The request could not be completed.");

    // A reply that came but cannot be read (no JSON, cut short) is not told as one that never came.
    for (const Reply& unreadable : {Reply{200, "<html><body>Bad gateway</body></html>", "text/html"},
                                    Reply{200, R"({"babies": [{"id": 1, "full_na)"}}) {
        server.reply("POST", "/m/api/member/nicu_journey/", unreadable);
        auto outcome = fetchJourney(7);
        ASSERT_TRUE(std::holds_alternative<RequestError>(outcome)) << unreadable.body;
        EXPECT_EQ(std::get<RequestError>(outcome).kind(), RequestError::Kind::serializationError) << unreadable.body;
        EXPECT_STREQ(std::get<RequestError>(outcome).what(), "The server's reply could not be read.");
    }
}

TEST_F(JourneyQuestionTest, AnswersGoBackLastStageFirst) {
    auto a = std::make_shared<JourneyStage>();
    a->isComplete = true;
    a->questionId = 1;
    a->notificationId = 10;
    auto b = std::make_shared<JourneyStage>();

    std::optional<JSON> reply;
    QuestionService().submit({a, b}, "12", 7, [&](const JSON& object) { reply = object; });
    ASSERT_TRUE(runUntil([&] { return reply.has_value(); }));
    QuestionService().submit({}, "13", 7, nullptr);
    auto arrivals = waitForArrivals(2);

    EXPECT_EQ(arrivals[0].path, "/m/api/question/response");
    auto body = arrivals[0].json();
    EXPECT_EQ(body["user_id"], 7);
    EXPECT_EQ(body["questions"], nlohmann::json::parse(R"({"12": [
        {"answer": "No"}, {"answer": "Yes", "not_id": 10, "q_id": 1}]})"));
    // The stages themselves are left as they were.
    EXPECT_TRUE(a->isComplete);
    EXPECT_FALSE(b->questionId);

    EXPECT_EQ(arrivals[1].json()["questions"], nlohmann::json::parse(R"({"13": []})"));
}

TEST_F(JourneyQuestionTest, QuestionRepliesThatAreNotObjects) {
    server.reply("POST", "/m/api/question/check", Reply{200, R"({"questions": {"12": [{"q_id": 3}]}})"});
    std::optional<JSON> reply;
    QuestionService().checkQuestions(7, [&](const JSON& object) { reply = object; });
    ASSERT_TRUE(runUntil([&] { return reply.has_value(); }));
    EXPECT_EQ((*reply)["questions"]["12"][0]["q_id"].intValue(), 3);
    EXPECT_EQ(server.requests()[0].json(), nlohmann::json({{"user_id", 7}}));

    // An array: parseError for a caller that listens, nothing at all for one that does not.
    server.reply("POST", "/m/api/question/check", Reply{200, "[1, 2]"});
    bool called = false;
    std::optional<RequestError> error;
    QuestionService().checkQuestions(7, [&](const JSON&) { called = true; });
    QuestionService().checkQuestions(
        7, [&](const JSON&) { called = true; }, [&](const RequestError& e) { error = e; });
    ASSERT_TRUE(runUntil([&] { return error.has_value(); }));
    EXPECT_EQ(error->kind(), RequestError::Kind::parseError);
    waitForArrivals(3);
    RunLoop::main().runUntilIdle();
    EXPECT_FALSE(called);

    server.reply("POST", "/m/api/question/response", Reply{404, R"({"message": "none"})"});
    error.reset();
    QuestionService().sendResponse(
        {{"12", {}}}, 7, [&](const JSON&) { called = true; }, [&](const RequestError& e) { error = e; });
    ASSERT_TRUE(runUntil([&] { return error.has_value(); }));
    EXPECT_EQ(error->kind(), RequestError::Kind::networkError);
    EXPECT_FALSE(called);
}

} // namespace
} // namespace cw::servicetest
