// The rules of the post screens that need no server: titles, request keys, reading odd comment
// elements, the comment bar's sizes, a row's date text, which cards have pictures, and the ids and
// paths of article pages.

#include "uikit/controllers/UIWindow.h"
#include "Controllers/Posts/CommentTableViewCell.h"
#include "Controllers/Posts/CommentTableViewController.h"
#include "Controllers/Posts/CommentTextInputView.h"
#include "Controllers/Posts/FeedDetailWebViewController.h"
#include "Controllers/Posts/PostDetailsViewController.h"
#include "Controllers/Posts/PostViewController.h"
#include "Models/DateFormatting.h"
#include "foundation/time/Date.h"
#include "tests/support/AppEnvironment.h"

#include <gtest/gtest.h>

namespace cw::test {
namespace {

TEST(CommentListRules, TitlesKeysAndOddElements) {
    EXPECT_EQ(CommentTableViewController::titleFor(0), "0 Comments");
    EXPECT_EQ(CommentTableViewController::titleFor(1), "1 Comment");
    EXPECT_EQ(CommentTableViewController::titleFor(2), "2 Comments");

    using Ids = std::pair<std::optional<std::int64_t>, std::optional<std::int64_t>>;
    EXPECT_EQ(CommentTableViewController::requestIds(7, CardType::educationContent), Ids(std::nullopt, 7));
    for (auto type : {std::optional<CardType>(CardType::userPost), std::optional<CardType>(CardType::dailyUpdateChange),
                      std::optional<CardType>(CardType::notification), std::optional<CardType>()})
        EXPECT_EQ(CommentTableViewController::requestIds(7, type), Ids(7, std::nullopt));

    const auto reply = JSON::parse(R"({"data": {"comments": [
        {"user": {"full_name": 42, "file_name": 5}, "created_at": true, "comment_text": ["a"]},
        {"comment_text": "Plain", "user": {"file_name": "a.png"}},
        "not an object"]}})").value();
    const auto rows = CommentTableViewController::commentsFrom(reply);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].userName, "42");
    EXPECT_EQ(rows[0].commentTime, "true");
    EXPECT_EQ(rows[0].commentText, "");
    EXPECT_FALSE(rows[0].userImageURL);
    EXPECT_EQ(rows[1].userImageURL, "a.png");
    EXPECT_EQ(rows[2], CommentData{});
    EXPECT_TRUE(CommentTableViewController::commentsFrom(JSON::parse(R"({"data": {"comments": {}}})").value()).empty());
}

TEST(CommentBarRules, SizesAndThePostButton) {
    // In a window, where its text view may take the keyboard.
    auto window = std::make_shared<UIWindow>(CGRect(0, 0, 375, 667));
    auto bar = std::make_shared<CommentTextInputView>(CGRect(), UIInputViewStyle::default_);
    window->addSubview(bar);
    EXPECT_EQ(bar->sizeThatFits({320, 0}), (CGSize{320, 54}));
    EXPECT_EQ(bar->intrinsicContentSize().height, 54);
    bar->textView()->setFrame({0, 0, 200, 34});
    EXPECT_EQ(bar->intrinsicContentSize().height, 54);
    bar->textView()->setFrame({0, 0, 200, 80});
    EXPECT_EQ(bar->intrinsicContentSize().height, 100);
    EXPECT_FALSE(bar->postButton()->isEnabled());
    EXPECT_EQ(bar->textView()->placeholder(), "Add a Comment");

    struct Recorder : CommentTextInputViewDelegate {
        std::vector<std::string> texts;
        void postButtonPressedWith(const std::string& text) override { texts.push_back(text); }
    } recorder;
    bar->postButtonPressed(); // no delegate: nothing
    bar->delegate = cw::DelegateRef<CommentTextInputViewDelegate>(&recorder);
    ASSERT_TRUE(bar->textView()->becomeFirstResponder());
    // Blanks alone are no comment; after a word, the blanks and line breaks at the end are not sent.
    bar->textView()->insertText(" \n");
    EXPECT_FALSE(bar->postButton()->isEnabled());
    bar->textView()->insertText("hi \n\u3000\n");
    EXPECT_TRUE(bar->postButton()->isEnabled());
    bar->postButtonPressed();
    EXPECT_EQ(recorder.texts, std::vector<std::string>{" \nhi"});
    bar->textView()->resignFirstResponder();

    CommentTextView field;
    EXPECT_EQ(field.textRect({0, 0, 100, 60}), (CGRect{15, 20, 75, 20}));
}

TEST(CommentCellRules, DateTextsAndThePlaceholderOnReuse) {
    const std::string now = DateFormatting::serverDateFormatter().string(Date::now());
    EXPECT_EQ(CommentTableViewCell::dateText(now), DateFormatting::relativeTimeText(Date::now()));
    EXPECT_EQ(CommentTableViewCell::dateText("yesterday"), "yesterday");
    EXPECT_EQ(CommentTableViewCell::dateText(""), "");

    AppEnvironment environment("cw-posts-rules");
    environment.writeInfo({{"SERVER_URL", "http://127.0.0.1:9"}, {"CFBundleIdentifier", "org.cradleway.posts-rules"}});
    UIImage::setResourceDirectory(generatedResourcesDirectory());
    auto cell = std::dynamic_pointer_cast<CommentTableViewCell>(CommentTableViewCell::loadNib().front());
    ASSERT_TRUE(cell);
    cell->configure({"Emma", "", "Hi", std::string("images/upload/emma.png")}, false);
    cell->prepareForReuse();
    cell->configure({"Ann", "", "Yo", std::nullopt}, false);
    ASSERT_TRUE(cell->profilePicImageView->image());
    EXPECT_EQ(cell->profilePicImageView->image()->size(), UIImage::named("mypartner_male")->size());
    EXPECT_EQ(cell->nameLabel->text(), "Ann");
}

TEST(PostScreensRules, PicturesIdsAndPaths) {
    FeedResponse card;
    card.cardMedia = {"images/upload/a.png"};
    for (auto type : {MediaType::mp4, MediaType::link, MediaType::table_png, MediaType::table_text, MediaType::table_mp4}) {
        card.cardMediaType = type;
        EXPECT_FALSE(PostDetailsViewController::cardImageURLs(card));
    }
    card.cardMediaType = std::nullopt;
    EXPECT_FALSE(PostDetailsViewController::cardImageURLs(card));

    EXPECT_EQ(FeedDetailWebViewController::decimalId("42"), 42);
    EXPECT_FALSE(FeedDetailWebViewController::decimalId(""));
    EXPECT_FALSE(FeedDetailWebViewController::decimalId("4x"));
    // A relative link the page resolved opens by its path alone; the app's own scheme is dropped.
    EXPECT_EQ(FeedDetailWebViewController::relatedPath(*URL::fromString("http://127.0.0.1:9/content/education/6")),
              "/content/education/6");
    EXPECT_EQ(FeedDetailWebViewController::relatedPath(*URL::fromString("cradleway:/content/education/42")),
              "/content/education/42");

    EXPECT_EQ(PostViewController::postText("\n  First cuddle  \n\n"), "  First cuddle  ");
    EXPECT_FALSE(PostViewController::canSubmit(" \n\t ", 0));
    EXPECT_TRUE(PostViewController::canSubmit("", 1));
    EXPECT_TRUE(PostViewController::canSubmit(" a ", 0));
}

} // namespace
} // namespace cw::test
