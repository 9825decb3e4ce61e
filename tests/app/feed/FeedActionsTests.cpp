// Around the feed's cards, as the demo parents meet it against the embedded demo server: the
// mother's pending questions and the red dot of her recommended content, and, as the father, the
// search of the loaded cards, a card's star and comment links, and the floating menu with the
// screens it hands over to.

#include "App/Notifications/NotificationNames.h"
#include "Controllers/Education/EducationCenterSearchViewController.h"
#include "Controllers/Education/EducationCenterViewController.h"
#include "Controllers/Posts/PostViewController.h"
#include "Services/NotificationService.h"
#include "foundation/defaults/UserDefaults.h"
#include "foundation/dispatch/NotificationCenter.h"
#include "foundation/text/CaseMapping.h"
#include "tests/app/feed/FeedDemoFixture.h"
#include "tests/app/feed/FeedPictures.h"
#include "tests/support/KeyboardFinger.h"
#include "uikit/controllers/MFMailComposeViewController.h"
#include "uikit/controls/UIKeyboard.h"

#include <gmock/gmock.h>

namespace cw::test {
namespace {

using ::testing::ElementsAre;
using ::testing::UnorderedElementsAre;

class FeedActionsTest : public FeedScreenTest {
protected:
    void TearDown() override {
        MFMailComposeViewController::setCanSendMail(true);
        UIApplication::shared().hostSettings().openableSchemes = UIApplication::HostSettings().openableSchemes;
        FeedScreenTest::TearDown();
    }

    ::testing::AssertionResult showsSoon(const std::string& text) { return cw::test::showsSoon(*host, text); }
    // The mother's answers as the server holds them: group, question and answer.
    std::vector<std::string> storedAnswers() const {
        std::vector<std::string> out;
        auto lease = demo->server().state().pool->acquire();
        auto st = lease->prepare("SELECT group_key, q_id, COALESCE(answer, '-') FROM questions "
                                 "WHERE member_id IS NOT NULL ORDER BY group_key, q_id");
        while (st.step())
            out.push_back(st.text(0) + " " + std::to_string(st.integer(1)) + " " + st.text(2));
        return out;
    }
    // Waits until `count` events with the detail have come, then a little longer: none more came.
    std::size_t settledCount(const std::string& key, std::size_t count) {
        awaitEvents(key, count);
        RunLoop::main().runFor(0.3);
        return eventsWithDetail(key).size();
    }
    std::shared_ptr<UIView> redDot() const { return host->findByIdentifier("redDotView"); }
    bool redDotShows() const { return redDot() && !redDot()->isHidden(); }

    FeedTableViewCell* cellAt(long row) {
        scrollTo(row);
        auto cell = feed()->tableView->cellForRow({row, feed()->isSearchActive() ? 1 : 0});
        return dynamic_cast<FeedTableViewCell*>(cell.get());
    }
    long rowOfCard(std::int64_t id) const {
        const auto& list = feed()->currentFeedData();
        for (std::size_t i = 0; i < list.size(); ++i)
            if (list[i]->cardId == id && list[i]->cardType != CardType::timeTag) return static_cast<long>(i);
        return -1;
    }
    void picture(const std::string& name) { writeFeedPicture(*host, environment.directory() / "pictures", name); }
};

TEST_F(FeedActionsTest, TheMothersQuestionsComeOneAtATimeAndGoBackTogether) {
    UserDefaults::standard().setObject(UserDefaults::Value(std::string("pending")), "question");
    signInAsTheMother();
    // Group "care" first, its highest question first; then "feedback".
    ASSERT_TRUE(showsSoon("Did you try kangaroo care this week?"));
    EXPECT_TRUE(host->isShowing("Question"));
    ASSERT_TRUE(host->pickAlertAction("No"));
    ASSERT_TRUE(showsSoon("Have you held Olivia and Noah today?"));
    ASSERT_TRUE(host->pickAlertAction("No"));
    ASSERT_TRUE(showsSoon("Is Cradleway helping you follow your babies' stay?"));
    EXPECT_EQ(feed()->reviewRequests, 0u);
    ASSERT_TRUE(host->pickAlertAction("Yes"));

    ASSERT_TRUE(showsSoon("Thank you, your answers are saved."));
    EXPECT_TRUE(host->isShowing("Thank You"));
    EXPECT_THAT(storedAnswers(), ElementsAre("care 2 No", "care 3 No", "feedback 6 Yes"));
    EXPECT_FALSE(UserDefaults::standard().objectForKey("question"));
    EXPECT_EQ(feed()->reviewRequests, 1u) << "a Yes to the review question leads to the review request";
    EXPECT_TRUE(feed()->questionsResponse.empty());
    ASSERT_TRUE(host->pickAlertAction("OK"));

    std::vector<nlohmann::json> shown;
    ASSERT_TRUE(awaitEvents("feedViewPresentQuestion", 3));
    for (const auto& e : eventsWithDetail("feedViewPresentQuestion")) {
        EXPECT_EQ(e.action, "ServerRequest");
        EXPECT_EQ(e.details["feedViewPresentQuestion"], "Question was shown to user");
        shown.push_back(e.details["feedViewQuestionID"]);
    }
    EXPECT_THAT(shown, UnorderedElementsAre(3, 2, 6));

    // The next check finds nothing to ask.
    NotificationCenter::defaultCenter().post(NotificationNames::newQuestionsAvailable);
    ASSERT_TRUE(awaitEvents("feedViewCheckForQuestion", 2));
    const auto check = eventsWithDetail("feedViewCheckForQuestion").back();
    EXPECT_EQ(check.action, "ServerRequest");
    EXPECT_EQ(check.details["feedViewCheckForQuestion"], "Checking for question when user is in feed view");
    RunLoop::main().runFor(0.3);
    host->settle();
    EXPECT_FALSE(host->isShowing("Question"));
    EXPECT_EQ(settledCount("feedViewPresentQuestion", 3), 3u);
}

TEST_F(FeedActionsTest, AYesToAGroupsFirstQuestionAnswersTheRestOfItsGroup) {
    signInAsTheMother();
    ASSERT_TRUE(showsSoon("Did you try kangaroo care this week?"));
    ASSERT_TRUE(host->pickAlertAction("Yes"));
    ASSERT_TRUE(showsSoon("Is Cradleway helping you follow your babies' stay?"));
    ASSERT_TRUE(host->pickAlertAction("No"));
    ASSERT_TRUE(showsSoon("Thank you, your answers are saved."));
    EXPECT_THAT(storedAnswers(), ElementsAre("care 2 Yes", "care 3 Yes", "feedback 6 No"));
    EXPECT_EQ(feed()->reviewRequests, 0u);
}

TEST_F(FeedActionsTest, TheRedDotShowsWhileRecommendedContentWaitsAndGoesOnceItWasSeen) {
    demo->answerFeedQuestions();
    signInAsTheMother();
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return redDotShows(); }, 10)) << "the dot did not show";
    // Over the menu button's top right corner, eight points wide.
    const auto dot = redDot()->convert(redDot()->bounds(), static_cast<const UIView*>(nullptr));
    const auto menu = feed()->hamburgerButton.lock();
    const auto button = menu->convert(menu->bounds(), static_cast<const UIView*>(nullptr));
    EXPECT_DOUBLE_EQ(dot.size.width, 8.0);
    EXPECT_DOUBLE_EQ(dot.origin.y, button.origin.y);
    EXPECT_DOUBLE_EQ(dot.origin.x + dot.size.width, button.origin.x + button.size.width);
    ASSERT_TRUE(awaitEvents("feedViewShowRedDot", 1));
    EXPECT_EQ(eventsWithDetail("feedViewShowRedDot").front().details["feedViewShowRedDot"], "Red dot was shown");

    // Two seconds after loading, the screen asks again.
    const std::size_t checks = eventsWithDetail("feedViewCheckForRecommendedContent").size();
    host->advance(2.0);
    ASSERT_TRUE(awaitEvents("feedViewCheckForRecommendedContent", checks + 1));
    ASSERT_TRUE(awaitEvents("feedViewShowRedDot", 2));
    EXPECT_TRUE(redDotShows());

    // The library's recommended page reports the content seen; back in front, the dot is gone.
    bool seen = false;
    NotificationService().markRecommendedSeen(AuthenticationContext::shared().user()->id(),
                                              [&](const JSON&) { seen = true; });
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return seen; }, 10));
    host->enterBackground();
    host->enterForeground();
    ASSERT_TRUE(RunLoop::main().runUntil(
        [&] {
            const auto events = eventsWithDetail("feedViewShowRedDot");
            return !events.empty() && events.back().details["feedViewShowRedDot"] == "Red dot was hidden";
        },
        10));
    host->settle();
    EXPECT_FALSE(redDotShows());
}

TEST_F(FeedActionsTest, SearchingTheLoadedCardsCountsTheMatchesAndCarriesOnToTheLibrary) {
    signInAsTheFather();
    std::size_t hearts = 0;
    for (const auto& card : feed()->filteredData) {
        const std::string text = card->cardTitle.value_or("") + " " + card->cardDescription.value_or("") + " " +
                                 card->descriptionTitle.value_or("") + " " + card->descriptionText.value_or("");
        if (cw::lowercased(text).find("heart") != std::string::npos) ++hearts;
    }
    ASSERT_GT(hearts, 0u) << "the demo cards speak of hearts";
    const std::string found = "Found " + std::to_string(hearts) + " Results for ";
    const std::string subtitle = "Tap here to see additional search results at Brambury Education Center.";

    ASSERT_TRUE(host->tapIdentifier("feedSearchBar"));
    ASSERT_TRUE(host->type("HEART"));
    EXPECT_TRUE(host->isShowing(found + "\"HEART\"")) << ::testing::PrintToString(host->visibleTexts());
    EXPECT_TRUE(host->isShowing(subtitle));
    EXPECT_EQ(feed()->tableView->numberOfSections(), 2);
    EXPECT_EQ(feed()->currentFeedData().size(), hearts);
    picture("feed-search");

    // Under three characters the last result stays, and the table as it was.
    ASSERT_TRUE(host->deleteBackward(3));
    EXPECT_TRUE(host->isShowing(found + "\"HEART\""));
    EXPECT_EQ(feed()->currentFeedData().size(), hearts);
    ASSERT_TRUE(host->deleteBackward(2));
    EXPECT_EQ(feed()->tableView->numberOfSections(), 1);
    EXPECT_FALSE(host->isShowing(subtitle));
    EXPECT_EQ(feed()->currentFeedData().size(), feed()->filteredData.size());

    // Keystrokes within one pass of the run loop search once.
    const std::size_t searches = settledCount("feedViewUserSearched", 1);
    feed()->searchBar->setText(std::string("heart"));
    for (const char* text : {"hea", "hear", "heart"})
        feed()->textDidChange(feed()->searchBar.get(), text);
    host->settle();
    EXPECT_EQ(settledCount("feedViewUserSearched", searches + 1), searches + 1);

    // The keyboard's Search key puts the keys away from over the matches.
    ASSERT_TRUE(host->tapIdentifier("feedSearchBar"));
    ASSERT_TRUE(tapKey(*host, "Search"));
    EXPECT_FALSE(Keyboard::shared().isVisible()) << "the Search key did nothing";
    EXPECT_TRUE(host->isShowing(subtitle));

    ASSERT_TRUE(host->tapText(subtitle));
    auto library = std::dynamic_pointer_cast<EducationCenterViewController>(topScreen());
    ASSERT_TRUE(library) << "the library is shown";
    EXPECT_EQ(library->selectedIndex(), 2u);
    auto search = std::dynamic_pointer_cast<EducationCenterSearchViewController>(library->selectedViewController());
    ASSERT_TRUE(search);
    EXPECT_EQ(search->initialQuery, std::optional<std::string>("heart"));

    EXPECT_EQ(eventsWithDetail("searchTextViewTapped").front().details["searchTextViewTapped"],
              "User tapped on a search bar");
    EXPECT_EQ(eventsWithDetail("feedViewUserSearched").front().action, "ServerRequest");
    const auto cleared = eventsWithDetail("feedViewSearchedCleared");
    ASSERT_EQ(cleared.size(), 1u);
    EXPECT_EQ(cleared.front().action, "Tap");
    EXPECT_EQ(cleared.front().details["feedViewSearchedCleared"], "User cleared search on feed screen");
}

TEST_F(FeedActionsTest, AStarTogglesTheBookmarkAndTheCommentLinksOpenTheComments) {
    signInAsTheFather();
    // Bookmarked as another screen would: the feed shows it without a refresh, which could only race
    // with what follows.
    bookmark(5, "feed_id");
    ASSERT_TRUE(RunLoop::main().runUntil([&] {
        const long row = rowOfCard(5);
        return row >= 0 && feed()->currentFeedData()[static_cast<std::size_t>(row)]->bookmarked;
    }));
    const long row = rowOfCard(5);
    const auto card = feed()->currentFeedData()[static_cast<std::size_t>(row)];
    ASSERT_TRUE(cellAt(row)->isBookMarked);

    // The cached card lets go of its bookmark at once; the reply redraws the star grey.
    ASSERT_TRUE(host->tap(cellAt(row)->menuButton)); // the star
    EXPECT_FALSE(card->bookmarked);
    ASSERT_TRUE(awaitEvents("bookmarkContentSuccess", 1));
    host->settle();
    EXPECT_FALSE(card->bookmarked);
    EXPECT_FALSE(cellAt(row)->isBookMarked);
    {
        auto lease = demo->server().state().pool->acquire();
        auto st = lease->prepare("SELECT COUNT(*) FROM bookmarks b JOIN members m ON m.id = b.member_id "
                                 "WHERE b.feed_id = 5 AND m.email = 'partner@cradleway.test'");
        ASSERT_TRUE(st.step());
        EXPECT_EQ(st.integer(0), 0);
    }
    const auto success = eventsWithDetail("bookmarkContentSuccess").front();
    EXPECT_EQ(success.details["educationContentID"], "5");
    EXPECT_EQ(success.details["bookmarkStatus"], false);
    EXPECT_EQ(success.details["bookmarkContentSuccess"], "User bookmarked card successfully");
    EXPECT_EQ(eventsWithDetail("bookmarkContentTapped").front().details["bookmarkContentTapped"],
              "User tried to bookmark a card");

    // The second comment preview of a post opens its comments at that comment, keyboard down.
    long post = -1;
    for (std::size_t i = 0; i < feed()->currentFeedData().size() && post < 0; ++i) {
        const auto& c = feed()->currentFeedData()[i];
        if (c->cardType == CardType::userPost && c->latestComments.size() >= 2) post = static_cast<long>(i);
    }
    ASSERT_GE(post, 0) << "a post with two comments";
    const auto postCard = feed()->currentFeedData()[static_cast<std::size_t>(post)];
    ASSERT_TRUE(host->tap(cellAt(post)->commentPreviews[1].stackView));
    auto comments = std::dynamic_pointer_cast<CommentTableViewController>(topScreen());
    ASSERT_TRUE(comments);
    EXPECT_EQ(comments->cardId, postCard->cardId);
    // (What the feed hands over is read at the hand-over by the feed screen's tests; the list has
    // taken it by now.)
    host->settle();
    EXPECT_FALSE(Keyboard::shared().areKeysShown());
    ASSERT_TRUE(awaitEvents("commentsSectionTapped", 1));
    const auto tapped = eventsWithDetail("commentsSectionTapped").front();
    EXPECT_EQ(tapped.action, "Tap");
    EXPECT_EQ(tapped.details["postContent"], true);
    EXPECT_EQ(tapped.details["educationContent"], false);
    EXPECT_EQ(tapped.details["dailyUpdate"], false);
    ASSERT_TRUE(host->goBack());

    // Write a comment: the same screen, ready for typing, and no event.
    ASSERT_TRUE(host->tap(cellAt(post)->writeACommentStackView));
    comments = std::dynamic_pointer_cast<CommentTableViewController>(topScreen());
    ASSERT_TRUE(comments);
    EXPECT_EQ(comments->cardId, postCard->cardId);
    host->settle();
    EXPECT_TRUE(Keyboard::shared().areKeysShown());
    EXPECT_EQ(settledCount("commentsSectionTapped", 1), 1u);
    ASSERT_TRUE(host->goBack());

    // The server gone: the star says so and goes back to the state the server holds.
    ASSERT_TRUE(host->tap(cellAt(row)->menuButton)); // the star
    ASSERT_TRUE(awaitEvents("bookmarkContentSuccess", 2));
    host->settle();
    ASSERT_TRUE(card->bookmarked);
    demo->stop();
    // (The refusal comes back within the finger's tap: what the star showed meanwhile is not seen.)
    ASSERT_TRUE(host->tap(cellAt(row)->menuButton)); // the star
    ASSERT_TRUE(showsSoon("Unexpected error. Please try again."));
    EXPECT_TRUE(card->bookmarked);
    EXPECT_TRUE(cellAt(row)->isBookMarked);
}

TEST_F(FeedActionsTest, TheFloatingMenuWritesAPostCallsTheHospitalAndAsksForFeedback) {
    signInAsTheFather();
    auto open = [&] {
        ASSERT_TRUE(host->tapIdentifier("floatingActionButton"));
        ASSERT_TRUE(host->isShowing("POST"));
        ASSERT_TRUE(host->isShowing("CALL"));
        ASSERT_TRUE(host->isShowing("FEEDBACK"));
    };
    // An item answers on its disc; its title stands beside it.
    auto tapItem = [&](const std::string& title) {
        const auto label = host->findByText(title);
        return label && host->tap(label->superview());
    };
    open();
    picture("feed-floating-menu");

    // A call where the device can make one, and nothing where it cannot.
    ASSERT_TRUE(tapItem("CALL"));
    EXPECT_THAT(UIApplication::shared().openedURLs(), ElementsAre("tel://5550100"));
    UIApplication::shared().hostSettings().openableSchemes.erase("tel");
    open();
    ASSERT_TRUE(tapItem("CALL"));
    EXPECT_EQ(UIApplication::shared().openedURLs().size(), 1u);
    EXPECT_EQ(settledCount("phoneCallTapped", 1), 1u);

    // Feedback by mail; without mail, the address to write to.
    open();
    ASSERT_TRUE(tapItem("FEEDBACK"));
    auto mail = std::dynamic_pointer_cast<MFMailComposeViewController>(feed()->presentedViewController());
    ASSERT_TRUE(mail);
    EXPECT_THAT(mail->toRecipients(), ElementsAre("feedback@cradleway.test"));
    EXPECT_EQ(mail->subject(), "Feedback for CRADLEWAY app");
    EXPECT_EQ(mail->messageBody(),
              "Please share your comments if you have suggestions to improve our app or the education content");
    EXPECT_FALSE(mail->isHTML());
    ASSERT_TRUE(host->finishMail(MFMailComposeResult::cancelled));
    EXPECT_FALSE(feed()->presentedViewController());
    MFMailComposeViewController::setCanSendMail(false);
    open();
    ASSERT_TRUE(tapItem("FEEDBACK"));
    ASSERT_TRUE(host->isShowing("Please send feedback directly to feedback@cradleway.test"));
    picture("feed-feedback-alert");
    ASSERT_TRUE(host->pickAlertAction("OK"));
    EXPECT_EQ(settledCount("sendFeedbackScreenTapped", 2), 2u);
    EXPECT_EQ(settledCount("flyOutMenuTapped", 4), 4u) << "one event per opening";

    // A post written: the feed reloads and goes to its top.
    open();
    ASSERT_TRUE(tapItem("POST"));
    auto navigation = std::dynamic_pointer_cast<UINavigationController>(feed()->presentedViewController());
    ASSERT_TRUE(navigation);
    auto composer = std::dynamic_pointer_cast<PostViewController>(navigation->viewControllers().front());
    ASSERT_TRUE(composer);
    ASSERT_TRUE(awaitEvents("feedViewShowPostCreateView", 1));
    const auto reporter = composer->delegate.lock();
    ASSERT_TRUE(reporter);
    navigation->dismiss(true);
    host->settle();
    scrollTo(8);
    const std::size_t before = refreshes();
    reporter->succesfullyPosted();
    ASSERT_TRUE(awaitEvents("feedViewUserCreatedPost", 1));
    ASSERT_TRUE(awaitEvents("feedViewContentRefreshSuccess", before + 1));
    host->settle();
    EXPECT_EQ(refreshes(), before + 1);
    EXPECT_DOUBLE_EQ(feed()->tableView->contentOffset().y, 0.0);

    // The filter, closed with "Done" and nothing changed, still refilters.
    ASSERT_TRUE(host->tapIdentifier("filterButton"));
    ASSERT_TRUE(host->tapText("Done"));
    EXPECT_FALSE(feed()->presentedViewController());
    ASSERT_TRUE(awaitEvents("feedViewShowFilterView", 1));
    ASSERT_TRUE(awaitEvents("feedViewFilterTapped", 1));
    EXPECT_EQ(eventsWithDetail("feedViewFilterTapped").front().details["feedViewFilterTapped"], "User tapped filter");

    // A comment posted from the comments the feed opened: one more refresh.
    feed()->handleNewComment();
    ASSERT_TRUE(awaitEvents("feedViewContentRefreshSuccess", before + 2));
}

} // namespace
} // namespace cw::test
