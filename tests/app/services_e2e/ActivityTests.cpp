#include "DemoServerSuite.h"

#include "Models/BabyData.h"
#include "Models/CommentData.h"
#include "Models/FeedResponse.h"
#include "Models/JourneyData.h"
#include "Services/CommentService.h"
#include "Services/JourneyService.h"
#include "Services/NotificationService.h"
#include "Services/PostService.h"
#include "Services/QuestionService.h"

namespace cw::e2e {
namespace {

// Journey questions, notifications, comments and posts of the signed-in member.
class DemoServerActivityTest : public DemoServerSuite {
protected:
    void SetUp() override { ASSERT_TRUE(signInDemoMember()); }

    static std::vector<CommentData> comments(std::optional<std::int64_t> postId,
                                             std::optional<std::int64_t> feedId) {
        Outcome outcome;
        CommentService().getComments(postId, feedId, outcome.success(), outcome.failure());
        EXPECT_TRUE(accepted(outcome));
        std::vector<CommentData> list;
        for (const JSON& entry : outcome.object()["data"]["comments"].arrayValue())
            list.push_back(CommentData::fromJSON(entry));
        return list;
    }
};

TEST_F(DemoServerActivityTest, TheJourneyHeadersCarryStagesThatAreAnswered) {
    std::vector<std::shared_ptr<BabyData>> babies;
    Outcome journey;
    JourneyService().fetchJourney(
        userId(),
        [&](const std::vector<std::shared_ptr<BabyData>>& list) {
            babies = list;
            ++journey.calls;
        },
        journey.failure());
    ASSERT_TRUE(accepted(journey));
    ASSERT_EQ(babies.size(), babyIds().size());
    std::shared_ptr<BabyData> asked;
    for (const auto& baby : babies) {
        EXPECT_TRUE(baby->babyId());
        EXPECT_FALSE(baby->fullName().empty());
        EXPECT_TRUE(baby->daysOfLifeDescription());
        ASSERT_TRUE(baby->imageFile());
        EXPECT_TRUE(servedPicture(*baby->imageFile()));
        for (const auto& stage : baby->journeyStages()) {
            EXPECT_FALSE(stage->question->empty());
            if (stage->notificationId && stage->questionId && !stage->isComplete) asked = baby;
        }
    }
    ASSERT_TRUE(asked) << "no open question in the demo journey";

    Outcome waiting;
    QuestionService().checkQuestions(userId(), waiting.success(), waiting.failure());
    ASSERT_TRUE(accepted(waiting));
    ASSERT_TRUE(waiting.object()["questions"].dictionary()) << waiting.object().serialize();
    EXPECT_FALSE(waiting.object()["questions"].dictionaryValue().empty());

    // The feed screen answers the questions of the check reply as they came, each with its answer.
    QuestionService::QuestionMap answers;
    for (const auto& [key, questions] : waiting.object()["questions"].dictionaryValue())
        for (const JSON& question : questions.arrayValue()) {
            auto answer = question.dictionaryValue();
            answer["answer"] = JSON("No");
            answers[key].push_back(answer);
        }
    Outcome responded;
    QuestionService().sendResponse(answers, userId(), responded.success(), responded.failure());
    ASSERT_TRUE(accepted(responded));
    EXPECT_TRUE(responded.object()["status"].string());

    for (const auto& stage : asked->journeyStages())
        stage->isComplete = true;
    Outcome answered;
    QuestionService().submit(asked->journeyStages(), std::to_string(*asked->babyId()), userId(),
                             answered.success(), answered.failure());
    ASSERT_TRUE(accepted(answered));
    EXPECT_TRUE(answered.object()["status"].string());
}

TEST_F(DemoServerActivityTest, NotificationsAreSeenAndTheRedDotAndCountReset) {
    std::optional<std::int64_t> notificationId;
    for (const JSON& card : feedData()["content"].arrayValue())
        if (!notificationId) notificationId = FeedResponse::fromDictionary(card)->notificationID;
    ASSERT_TRUE(notificationId) << "no card of the demo feed came with a notification";

    NotificationService("notification").sendNotificationId(*notificationId);
    EXPECT_TRUE(awaitLogged("POST", "notification/received", 200));
    Outcome seen;
    NotificationService("notification").markSeen(userId(), *notificationId, seen.success(), seen.failure());
    ASSERT_TRUE(accepted(seen));

    Outcome before, marked, after;
    NotificationService("notification").checkRecommended(userId(), before.success(), before.failure());
    ASSERT_TRUE(accepted(before));
    EXPECT_TRUE(before.object()["hide_red_dot"].bool_().has_value());
    NotificationService("notification").markRecommendedSeen(userId(), marked.success(), marked.failure());
    ASSERT_TRUE(accepted(marked));
    NotificationService("notification").checkRecommended(userId(), after.success(), after.failure());
    ASSERT_TRUE(accepted(after));
    EXPECT_EQ(after.object()["hide_red_dot"].bool_(), true);

    NotificationService("notification").resetNotificationCount(userId());
    EXPECT_TRUE(awaitLogged("POST", "notification/reset", 200));
}

TEST_F(DemoServerActivityTest, CommentsOfACardAndOfAPostAreListedAndAdded) {
    const JSON data = feedData();
    const auto cardId = data["content"][0]["id"].int_();
    const auto postId = data["posts"][0]["id"].int_();
    ASSERT_TRUE(cardId && postId);

    for (const auto& [post, feed] :
         {std::pair{std::optional<std::int64_t>(), cardId}, {postId, std::nullopt}}) {
        const auto before = comments(post, feed);
        Outcome added;
        CommentService().postComment("Thinking of you all tonight", post, feed, added.success(),
                                     added.failure());
        ASSERT_TRUE(accepted(added));
        const auto after = comments(post, feed);
        ASSERT_EQ(after.size(), before.size() + 1);
        const auto mine = std::find_if(after.begin(), after.end(), [](const CommentData& comment) {
            return comment.commentText == "Thinking of you all tonight";
        });
        ASSERT_NE(mine, after.end());
        EXPECT_FALSE(mine->userName.empty());
        EXPECT_FALSE(mine->commentTime.empty());
        EXPECT_TRUE(FeedResponse::serverTimeFormatter().date(mine->commentTime)) << mine->commentTime;
    }
}

TEST_F(DemoServerActivityTest, APostWithPicturesIsCreatedAndReadBackAsACard) {
    Outcome created;
    PostService().createPost("Skin to skin for an hour today",
                             {solidImage(0xFFAA3355), solidImage(0xFF3355AA)}, created.success(),
                             created.failure());
    ASSERT_TRUE(accepted(created));
    const auto postId = created.object()["data"]["posts"][0]["id"].int_();
    ASSERT_TRUE(postId) << created.object().serialize();

    Outcome read;
    PostService().getPost(*postId, read.success(), read.failure());
    ASSERT_TRUE(accepted(read));
    const JSON data = read.object()["data"];
    const auto card = FeedResponse::fromPostDictionary(data["posts"][0], data["users"]);
    EXPECT_EQ(card->cardType, CardType::userPost);
    EXPECT_EQ(card->cardId, postId);
    EXPECT_EQ(card->cardMedia.size(), 2u);
    EXPECT_TRUE(card->contextImageURL);
    EXPECT_TRUE(card->dateText());

    for (const auto& media : card->cardMedia)
        EXPECT_TRUE(servedPicture(media));

    Outcome textOnly;
    PostService().createPost("Quiet night, all well", {}, textOnly.success(), textOnly.failure());
    ASSERT_TRUE(accepted(textOnly));
    const auto textPost = textOnly.object()["data"]["posts"][0]["id"].int_();
    ASSERT_TRUE(textPost);

    bool listed = false, textListed = false;
    for (const JSON& post : feedData()["posts"].arrayValue()) {
        listed = listed || post["id"].int_() == postId;
        textListed = textListed || post["id"].int_() == textPost;
    }
    EXPECT_TRUE(listed);
    EXPECT_TRUE(textListed);
}

} // namespace
} // namespace cw::e2e
