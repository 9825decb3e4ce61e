#include "AccountsFixture.h"

#include "Services/BabyService.h"
#include "Services/ContentService.h"

namespace cw::accountstest {
namespace {

using Kind = RequestError::Kind;
using json = nlohmann::json;

class AccountsContentTest : public AccountServiceTest {};
class AccountsBabyTest : public AccountServiceTest {};

TEST_F(AccountsContentTest, FeedPostsBabyIdsAndMemberIdAsNumbersAndHandsTheReplyOverUnread) {
    setReply("/m/api/content/", {200, R"([{"type":"education"}])"});
    Outcome outcome;
    ContentService().fetchFeed({3, 1}, 42, outcome.taskSuccess(), outcome.taskFailure());
    wait(outcome);
    Outcome empty;
    ContentService().fetchFeed({}, 42, empty.taskSuccess(), empty.taskFailure());
    wait(empty);

    auto all = arrivals();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].path, "/m/api/content/");
    EXPECT_EQ(all[0].json(), (json{{"baby_ids", {3, 1}}, {"user_id", 42}}));
    EXPECT_EQ(all[1].json(), (json{{"baby_ids", json::array()}, {"user_id", 42}}));
    ASSERT_TRUE(outcome.reply);
    EXPECT_EQ(outcome.reply->serialize(), R"([{"type":"education"}])");
}

TEST_F(AccountsContentTest, BookmarkChoosesItsPathAndKeyAndReadsTheDataObject) {
    signIn(42);
    setReply("/m/api/content/bookmark_card", {200, R"({"data":{"id":5,"post_id":8,"user_id":42}})"});
    BookmarkResponse received;
    Outcome outcome;
    ContentService().bookmark(
        8, "post_id", false,
        [&](const BookmarkResponse& response) {
            ++outcome.calls;
            received = response;
        },
        outcome.taskFailure());
    wait(outcome);
    auto arrival = onlyArrival();
    EXPECT_EQ(arrival.path, "/m/api/content/bookmark_card");
    EXPECT_EQ(arrival.json(), (json{{"post_id", 8}, {"user_id", 42}}));
    EXPECT_EQ(received.bookmarkID, 5);
    EXPECT_EQ(received.postID, 8);
    EXPECT_FALSE(received.cardAttribute);

    EXPECT_EQ(ContentService::endpointStringFromBookmarked(true), "unbookmark_card");
    EXPECT_EQ(ContentService::endpointStringFromBookmarked(false), "bookmark_card");
}

TEST_F(AccountsContentTest, BookmarkWithoutADataObjectCompletesWithAnEmptyRecordAndWithoutAMemberCallsNothing) {
    signIn(42);
    setReply("/m/api/content/unbookmark_card", {200, R"({"data":[1]})"});
    Outcome outcome;
    std::optional<BookmarkResponse> received;
    auto success = [&](const BookmarkResponse& response) {
        ++outcome.calls;
        received = response;
    };
    ContentService().bookmark(5, "feed_id", true, success, outcome.taskFailure());
    wait(outcome);
    EXPECT_EQ(arrivals()[0].json(), (json{{"feed_id", 5}, {"user_id", 42}}));
    expectNothingElseSent();
    EXPECT_EQ(outcome.calls, 1);
    EXPECT_EQ(received, BookmarkResponse());
    outcome.calls = 0;

    signOut();
    ContentService().bookmark(5, "feed_id", true, success, outcome.taskFailure());
    expectNothingElseSent();
    EXPECT_EQ(outcome.calls, 0);
}

TEST_F(AccountsBabyTest, PerBabyRequestsSendNumbersToTheirPaths) {
    signIn(42);
    struct Case {
        const char* path;
        std::function<void(BabyService&, Outcome&)> call;
    };
    const std::vector<Case> cases = {
        {"daily_update", [](BabyService& s, Outcome& o) { s.fetchDailyUpdate(7, o.success(), o.failure()); }},
        {"care_givers", [](BabyService& s, Outcome& o) { s.fetchCareGivers(7, o.success(), o.failure()); }},
        {"weight", [](BabyService& s, Outcome& o) { s.fetchWeight(7, o.success(), o.failure()); }},
        {"height", [](BabyService& s, Outcome& o) { s.fetchHeight(7, o.success(), o.failure()); }},
        {"head_circumference",
         [](BabyService& s, Outcome& o) { s.fetchHeadCircumference(7, o.success(), o.failure()); }},
        {"nicu_journey_data",
         [](BabyService& s, Outcome& o) { s.fetchJourneyData(7, o.success(), o.failure()); }},
        {"nicu_journey_list",
         [](BabyService& s, Outcome& o) { s.fetchJourneyList(7, o.success(), o.failure()); }},
    };
    for (const auto& c : cases) {
        const std::string path = std::string("/m/api/baby/") + c.path;
        setReply(path, {200, R"({"entries":[{"value":2.5}]})"});
        Outcome outcome;
        BabyService service;
        c.call(service, outcome);
        wait(outcome);
        auto arrival = arrivals().back();
        EXPECT_EQ(arrival.method, "POST") << c.path;
        EXPECT_EQ(arrival.path, path);
        EXPECT_EQ(arrival.json(), (json{{"baby_id", 7}, {"user_id", 42}})) << c.path;
        ASSERT_TRUE(outcome.reply) << c.path;
        EXPECT_EQ((*outcome.reply)["entries"][0]["value"].doubleValue(), 2.5);
    }
}

TEST_F(AccountsBabyTest, DischargeMrnAndDeleteSendTheirOwnKeys) {
    signIn(42, 9001);
    Outcome discharged, mrn, deleted;
    BabyService().markDischarged({4, 5}, discharged.success(), discharged.failure());
    wait(discharged);
    BabyService().verifyMRN("00123", mrn.success(), mrn.failure());
    wait(mrn);
    BabyService().deleteBabyWithBabyID(4, deleted.taskSuccess(), deleted.taskFailure());
    wait(deleted);

    auto all = arrivals();
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[0].path, "/m/api/baby/discharged");
    EXPECT_EQ(all[0].json(), (json{{"user_id", 42}, {"babies", {4, 5}}}));
    EXPECT_EQ(all[1].path, "/m/api/baby/verify_mrn");
    EXPECT_EQ(all[1].json(), (json{{"mrn", "00123"}}));
    EXPECT_EQ(all[2].path, "/m/api/baby/delete");
    EXPECT_EQ(all[2].json(), (json{{"user_id", 42}, {"security_code", 9001}, {"baby_id", 4}}));
}

TEST_F(AccountsBabyTest, WithoutAMemberOnlyTheMrnCheckIsSent) {
    Outcome outcome;
    auto picture = AccountServiceTest::picture();
    BabyService s;
    s.markDischarged({1}, outcome.success(), outcome.failure());
    s.updateBabies({}, outcome.success(), outcome.failure());
    s.fetchDailyUpdate(1, outcome.success(), outcome.failure());
    s.fetchCareGivers(1, outcome.success(), outcome.failure());
    s.fetchWeight(1, outcome.success(), outcome.failure());
    s.fetchHeight(1, outcome.success(), outcome.failure());
    s.fetchHeadCircumference(1, outcome.success(), outcome.failure());
    s.deleteBabyWithBabyID(1, outcome.taskSuccess(), outcome.taskFailure());
    s.fetchJourneyData(1, outcome.success(), outcome.failure());
    s.fetchJourneyList(1, outcome.success(), outcome.failure());
    s.addJourneyItem(1, "Jan 5, 2019", "milestone", "text", picture, outcome.success(), outcome.failure());
    s.editJourneyItem(1, 2, "Jan 5, 2019", picture, outcome.success(), outcome.failure());
    signIn(42, std::nullopt); // a member without a security code cannot delete
    s.deleteBabyWithBabyID(1, outcome.taskSuccess(), outcome.taskFailure());
    expectNothingElseSent();
    EXPECT_EQ(outcome.calls, 0);

    signOut();
    Outcome mrn;
    BabyService().verifyMRN("1", mrn.success(), mrn.failure());
    wait(mrn);
    EXPECT_EQ(arrivals().back().path, "/m/api/baby/verify_mrn");
}

TEST_F(AccountsBabyTest, FailuresAreNetworkErrorsOrTheServersErrorByRequest) {
    signIn(42);
    auto errorOf = [&](const std::string& path, Reply reply, auto call) {
        setReply("/m/api/baby/" + path, reply);
        Outcome outcome;
        BabyService service;
        call(service, outcome);
        wait(outcome);
        EXPECT_FALSE(outcome.reply);
        return outcome.error.value_or(RequestError::nilData());
    };
    auto daily = [](BabyService& s, Outcome& o) { s.fetchDailyUpdate(1, o.success(), o.failure()); };
    auto mrn = [](BabyService& s, Outcome& o) { s.verifyMRN("1", o.success(), o.failure()); };
    auto journey = [](BabyService& s, Outcome& o) { s.fetchJourneyData(1, o.success(), o.failure()); };
    auto care = [](BabyService& s, Outcome& o) { s.fetchCareGivers(1, o.success(), o.failure()); };
    auto update = [](BabyService& s, Outcome& o) { s.updateBabies({}, o.success(), o.failure()); };
    const Reply serverObject{500, R"({"message":"No such MRN"})"};

    EXPECT_EQ(errorOf("daily_update", serverObject, daily), RequestError::networkError());
    EXPECT_EQ(errorOf("verify_mrn", serverObject, mrn),
              RequestError::erroResponse({{"message", "No such MRN"}}));
    auto page = errorOf("nicu_journey_data", {502, "<html>Bad gateway</html>", "text/html"}, journey);
    EXPECT_EQ(page.kind(), Kind::erroResponse);
    EXPECT_EQ(JSON(page.object())["message"].stringValue(), "Server error NSCocoaErrorDomain");
    EXPECT_EQ(errorOf("verify_mrn", {400, "[]"}, mrn), RequestError::parseError());
    EXPECT_EQ(errorOf("care_givers", {200, "[]"}, care), RequestError::parseError());
    EXPECT_EQ(errorOf("care_givers", {200, ""}, care), RequestError::parseError());
    // The profile editor waits for one of its callbacks: a reply that is no object ends that wait.
    EXPECT_EQ(errorOf("update", {200, R"(["saved"])"}, update).kind(), Kind::parseError);

    Outcome converted;
    BabyService::handleError(nullptr, converted.failure());
    EXPECT_EQ(converted.error, RequestError::networkError());
}

TEST_F(AccountsBabyTest, UpdateSendsEveryBabyAndThePicturesOfSavedBabies) {
    signIn(42);
    auto saved = std::make_shared<BabyData>("Noor", "2019-01-05", "2019-02-01", Gender::Female);
    saved->setBabyId(15);
    saved->setRequestImage(picture());
    auto unsaved = std::make_shared<BabyData>("Sami", "2019-03-01", "2019-03-09", Gender::Male);
    unsaved->setRequestImage(picture());
    setReply("/m/api/baby/update", {200, R"({"babies":[]})"});
    Outcome outcome;
    BabyService().updateBabies({saved, unsaved}, outcome.success(), outcome.failure());
    wait(outcome);

    auto arrival = onlyArrival();
    EXPECT_EQ(arrival.path, "/m/api/baby/update");
    EXPECT_EQ(arrival.fields("user_id"), std::vector<std::string>{"42"});
    EXPECT_EQ(arrival.fields("babies[][full_name]"), (std::vector<std::string>{"Noor", "Sami"}));
    EXPECT_EQ(arrival.fields("babies[][gender]"), (std::vector<std::string>{"Female", "Male"}));
    auto files = arrival.files();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].name, "baby_picture_15");
    EXPECT_EQ(files[0].filename, "photo_15.jpg");
    EXPECT_EQ(files[0].content_type, "image/jpeg");
    ASSERT_TRUE(outcome.reply);
}

TEST_F(AccountsBabyTest, JourneyItemsCarryTheirFieldsAndANamedPicture) {
    signIn(42);
    Outcome added, plain, edited;
    BabyService().addJourneyItem(9, "Jan 5, 2019", "first_bath", "Calm", picture(), added.success(),
                                 added.failure());
    wait(added);
    BabyService().addJourneyItem(9, "Jan 6, 2019", "first_bath", std::nullopt, nullptr, plain.success(),
                                 plain.failure());
    wait(plain);
    BabyService().editJourneyItem(9, 31, "Feb 1, 2019", unencodablePicture(), edited.success(),
                                  edited.failure());
    wait(edited);

    auto all = arrivals();
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[0].path, "/m/api/baby/nicu_journey_add");
    EXPECT_EQ(all[0].fields("baby_id"), std::vector<std::string>{"9"});
    EXPECT_EQ(all[0].fields("user_id"), std::vector<std::string>{"42"});
    EXPECT_EQ(all[0].fields("date"), std::vector<std::string>{"Jan 5, 2019"});
    EXPECT_EQ(all[0].fields("type"), std::vector<std::string>{"first_bath"});
    EXPECT_EQ(all[0].fields("input_text"), std::vector<std::string>{"Calm"});
    ASSERT_EQ(all[0].files().size(), 1u);
    EXPECT_EQ(all[0].files()[0].name, "image_file");
    EXPECT_EQ(all[0].files()[0].filename, "photo_9_Jan_5,_2019.jpg");
    EXPECT_EQ(all[0].files()[0].content_type, "image/jpeg");

    EXPECT_TRUE(all[1].fields("input_text").empty());
    EXPECT_TRUE(all[1].files().empty());

    EXPECT_EQ(all[2].path, "/m/api/baby/nicu_journey_edit");
    EXPECT_EQ(all[2].fields("id"), std::vector<std::string>{"31"});
    EXPECT_EQ(all[2].fields("date"), std::vector<std::string>{"Feb 1, 2019"});
    EXPECT_TRUE(all[2].files().empty()); // a picture without JPEG data is left out
    EXPECT_TRUE(edited.reply);
}

} // namespace
} // namespace cw::accountstest
