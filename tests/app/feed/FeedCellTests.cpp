// The card cell and the day separator, filled from records: what each shows, where its pictures
// come from, and that a reused cell never shows a picture of the card it showed before.

#include "Controllers/Feed/FeedStoryboard.h"
#include "Controllers/Feed/FeedTableTimeTagCell.h"
#include "Controllers/Feed/FeedTableViewCell.h"
#include "foundation/dispatch/RunLoop.h"
#include "foundation/time/Locale.h"
#include "foundation/time/TimeZone.h"
#include "tests/support/AppEnvironment.h"
#include "tests/support/RecordingServer.h"
#include "tests/support/app/AppTestSupport.h"
#include "uikit/controls/UINib.h"
#include "uikit/graphics/UIImage.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

namespace cw::test {
namespace {

// A picture of a size no drawn picture has, so that a view showing it can be told apart.
std::string servedPicture(int width, int height) {
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width * height), 0xFF3366CCu);
    const auto bytes = *UIImage::fromPixels(width, height, 1, pixels.data())->pngData();
    return std::string(bytes.begin(), bytes.end());
}

bool showsPictureOfWidth(const UIImageView& view, int width) {
    return view.image() && view.image()->pixelWidth() == width;
}

// Whether the picture is the application's picture of that name (pixel for pixel).
bool isNamed(const std::shared_ptr<UIImage>& image, const std::string& name) {
    const auto named = UIImage::named(name);
    return named && image && image->pngData() == named->pngData();
}

bool showsNamed(const UIImageView& view, const std::string& name) {
    return isNamed(view.image(), name);
}

FeedResponse::Card card(CardType type) {
    auto c = std::make_shared<FeedResponse>();
    c->cardType = type;
    c->cardTitle = "Title";
    c->cardTime = "2019-03-05T08:30:00.000+0000";
    return c;
}

CommentData comment(const std::string& name, const std::string& time) {
    return CommentData{name, time, name + " says hello", std::nullopt};
}

class RecordingCellDelegate : public FeedTableViewCellDelegate {
public:
    void handleMenuTap(const IndexPath& indexPath) override { taps.push_back("star " + std::to_string(indexPath.row)); }
    void handleWriteACommentViewTap(const IndexPath& indexPath) override {
        taps.push_back("write " + std::to_string(indexPath.row));
    }
    void handleCommentViewTap(const IndexPath& indexPath, long index) override {
        taps.push_back("comment " + std::to_string(indexPath.row) + " " + std::to_string(index));
    }
    std::vector<std::string> taps;
};

class FeedCellTest : public ::testing::Test {
protected:
    void SetUp() override {
        prepareBundle(environment, server.base(), "test.feed.cells");
        registerFeedStoryboard();
    }
    void TearDown() override {
        release();
        RunLoop::main().runUntilIdle();
        TimeZone::setCurrentForTesting(std::nullopt);
        Locale::setCurrentForTesting(std::nullopt);
    }

    std::shared_ptr<FeedTableViewCell> makeCell() {
        auto cell = UINib::nibWithName("FeedTableViewCell")->instantiateFirst<FeedTableViewCell>();
        EXPECT_TRUE(cell);
        cell->setFrame({0, 0, 375, 600});
        return cell;
    }

    void show(FeedTableViewCell& cell, FeedResponse& c) {
        cell.configure(c);
        cell.layoutIfNeeded();
    }

    // Requests of `path` wait until release().
    void hold(const std::string& path) {
        server.setHandler([this, path](const RecordedRequest& request, httplib::Response&) {
            if (request.path != path) return;
            std::unique_lock lock(holdMutex_);
            holdReleased_.wait(lock, [this] { return released_; });
        });
    }
    void release() {
        std::lock_guard lock(holdMutex_);
        released_ = true;
        holdReleased_.notify_all();
    }

    AppEnvironment environment{"cw-feed-cells"};
    RecordingServer server;

private:
    std::mutex holdMutex_;
    std::condition_variable holdReleased_;
    bool released_ = false;
};

TEST_F(FeedCellTest, CountsPreviewsBadgeAndDescription) {
    auto cell = makeCell();
    auto post = card(CardType::userPost);
    post->cardDescription = "Knitted <b>two</b> hats";
    post->cardRead = false;
    post->latestComments = {comment("Ada", "2019-03-05T08:30:00.000+0000"), comment("Ben", "yesterday evening"),
                            comment("Cy", "2019-03-05T08:30:00.000+0000"), comment("Dee", "x"), comment("Eve", "x")};
    show(*cell, *post);
    EXPECT_EQ(cell->writeACommentIconLabel()->text(), "1st");
    // Five comments: the first three, each in its preview.
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_FALSE(cell->commentPreviews[i].stackView->isHidden());
        EXPECT_EQ(cell->commentPreviews[i].nameLabel->text(), post->latestComments[i].userName);
        EXPECT_EQ(cell->commentPreviews[i].textLabel->text(), post->latestComments[i].userName + " says hello");
        EXPECT_TRUE(showsNamed(*cell->commentPreviews[i].imageView, "mypartner_male"));
    }
    EXPECT_EQ(cell->commentTwo().dateLabel->text(), "yesterday evening");
    EXPECT_NE(cell->commentOne().dateLabel->text(), "2019-03-05T08:30:00.000+0000");
    // A post's description is its plain text; an unread post shows the badge.
    EXPECT_EQ(cell->descriptionLabel->text(), "Knitted <b>two</b> hats");
    EXPECT_FALSE(cell->iconImageViewBadge()->isHidden());
    EXPECT_TRUE(isNamed(cell->menuButton->image(UIControlStateNormal), "star-icon-grey-re"));

    post->commentsCount = 12;
    post->latestComments = {comment("Ada", "x")};
    post->cardRead = std::nullopt;
    post->bookmarked = true;
    show(*cell, *post);
    EXPECT_EQ(cell->writeACommentIconLabel()->text(), "12");
    EXPECT_FALSE(cell->commentOne().stackView->isHidden());
    EXPECT_TRUE(cell->commentTwo().stackView->isHidden());
    EXPECT_TRUE(cell->commentThree().stackView->isHidden());
    EXPECT_TRUE(cell->iconImageViewBadge()->isHidden()) << "no read flag, no badge";
    EXPECT_TRUE(isNamed(cell->menuButton->image(UIControlStateNormal), "star-icon-re"));

    post->commentsCount = 0;
    post->latestComments.clear();
    show(*cell, *post);
    EXPECT_EQ(cell->writeACommentIconLabel()->text(), "1st");
    for (const auto& preview : cell->commentPreviews)
        EXPECT_TRUE(preview.stackView->isHidden());

    // An unread daily update has no badge; an article's description is rendered from its HTML.
    auto update = card(CardType::dailyUpdateChange);
    update->cardRead = false;
    show(*cell, *update);
    EXPECT_TRUE(cell->iconImageViewBadge()->isHidden());
    auto article = card(CardType::educationContent);
    article->cardDescription = "<p>Skin to <b>skin</b></p>";
    article->cardRead = false;
    show(*cell, *article);
    EXPECT_FALSE(cell->iconImageViewBadge()->isHidden());
    EXPECT_EQ(cell->descriptionLabel->text(), "Skin to skin");
    auto untyped = card(CardType::educationContent);
    untyped->cardType = std::nullopt;
    untyped->cardRead = false;
    show(*cell, *untyped);
    EXPECT_TRUE(cell->iconImageViewBadge()->isHidden());

    // Taps reach the delegate with the row, and nothing without one.
    auto delegate = std::make_shared<RecordingCellDelegate>();
    cell->menuButton->sendActions(UIControlEventTouchUpInside);
    cell->delegate = delegate;
    cell->menuButton->sendActions(UIControlEventTouchUpInside);
    cell->indexPath = IndexPath{7, 0};
    cell->menuButton->sendActions(UIControlEventTouchUpInside);
    EXPECT_THAT(delegate->taps, ::testing::ElementsAre("star 7"));
}

TEST_F(FeedCellTest, PicturesShowOnlyForPictureKindsFromTheServerOrTheApplication) {
    server.reply("GET", "/static-files/images/cells-a.png", Reply{200, servedPicture(3, 2), "image/png"});
    server.reply("GET", "/images/upload/cells-b.png", Reply{200, servedPicture(5, 2), "image/png"});
    server.reply("GET", "/large/cells-update.png", Reply{200, servedPicture(7, 2), "image/png"});
    auto cell = makeCell();
    auto post = card(CardType::userPost);
    post->cardMediaType = MediaType::png;
    post->cardMedia = {"static-files/images/cells-a.png", "images/upload/cells-b.png", "cwy_card_logo"};
    show(*cell, *post);
    const auto& pictures = cell->mainImageViewStackView->arrangedSubviews();
    ASSERT_EQ(pictures.size(), 3u);
    EXPECT_FALSE(cell->mainImageViewStackView->isHidden());
    ASSERT_TRUE(RunLoop::main().runUntil([&] {
        return showsPictureOfWidth(static_cast<UIImageView&>(*pictures[0]), 3) &&
               showsPictureOfWidth(static_cast<UIImageView&>(*pictures[1]), 5);
    }));
    EXPECT_TRUE(showsNamed(static_cast<UIImageView&>(*pictures[2]), "cwy_card_logo"));
    for (const auto& picture : pictures)
        EXPECT_DOUBLE_EQ(picture->frame().size.height, 220.0);
    EXPECT_TRUE(cell->largeImageView->isHidden()) << "a post has no large picture";

    // Each picture kind shows them; links and tables never, whatever the card holds.
    for (const auto kind : {MediaType::jpeg, MediaType::mp4, MediaType::link, MediaType::table_png,
                            MediaType::table_text, MediaType::table_mp4, MediaType::unknown}) {
        cell->prepareForReuse();
        post->cardMediaType = kind;
        post->cardMedia = {"cwy_card_logo"};
        show(*cell, *post);
        const bool shown = kind == MediaType::jpeg || kind == MediaType::mp4;
        EXPECT_EQ(cell->mainImageViewStackView->arrangedSubviews().size(), shown ? 1u : 0u) << rawValue(kind);
        EXPECT_EQ(cell->mainImageViewStackView->isHidden(), !shown) << rawValue(kind);
    }

    // The large picture: a daily update with an address only.
    cell->prepareForReuse();
    auto update = card(CardType::dailyUpdateChange);
    update->imageURL = URL::fromString(server.base() + "/large/cells-update.png");
    show(*cell, *update);
    EXPECT_FALSE(cell->largeImageView->isHidden());
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return showsPictureOfWidth(*cell->largeImageView, 7); }));
    cell->prepareForReuse();
    update->imageURL = std::nullopt;
    show(*cell, *update);
    EXPECT_TRUE(cell->largeImageView->isHidden());
    EXPECT_FALSE(cell->largeImageView->image());
}

TEST_F(FeedCellTest, TheLogoFollowsTheSourceThenTheContextPictureThenTheKind) {
    server.reply("GET", "/images/upload/cells-author.png", Reply{200, servedPicture(9, 2), "image/png"});
    auto cell = makeCell();
    struct Case {
        CardType type;
        std::optional<std::string> source;
        std::optional<std::string> context;
        const char* logo;
    };
    const std::vector<Case> cases{
        {CardType::educationContent, "ashcombe", "images/upload/cells-author.png", "ashcombe_card_logo"},
        {CardType::userPost, "cradleway", std::nullopt, "cwy_card_logo"},
        {CardType::userPost, "", std::nullopt, "card_default_n"},
        {CardType::educationContent, "elsewhere", std::nullopt, "cwy_card_logo"},
        {CardType::dailyUpdateChange, std::nullopt, std::nullopt, "cwy_card_logo"},
    };
    for (const auto& c : cases) {
        auto shown = card(c.type);
        shown->source = c.source;
        shown->contextImageURL = c.context;
        show(*cell, *shown);
        EXPECT_TRUE(showsNamed(*cell->iconImageView, c.logo)) << c.logo;
    }
    auto post = card(CardType::userPost);
    post->contextImageURL = "images/upload/cells-author.png";
    show(*cell, *post);
    EXPECT_TRUE(RunLoop::main().runUntil([&] { return showsPictureOfWidth(*cell->iconImageView, 9); }));
}

TEST_F(FeedCellTest, AReusedCellNeverShowsThePictureOfItsPreviousCard) {
    for (const char* path : {"/images/upload/cells-held-author.png", "/images/upload/cells-held.png",
                             "/held/cells-large.png", "/images/upload/cells-held-commenter.png"})
        server.reply("GET", path, Reply{200, servedPicture(11, 2), "image/png"});
    hold("/images/upload/cells-held-author.png");
    auto cell = makeCell();
    auto first = card(CardType::dailyUpdateChange);
    first->contextImageURL = "images/upload/cells-held-author.png";
    first->cardMediaType = MediaType::png;
    first->cardMedia = {"images/upload/cells-held.png"};
    first->imageURL = URL::fromString(server.base() + "/held/cells-large.png");
    first->latestComments = {CommentData{"Ada", "x", "Hi", "images/upload/cells-held-commenter.png"}};
    show(*cell, *first);
    ASSERT_TRUE(server.waitForRequests(1));

    // The same cell shows another card before the first card's pictures arrive.
    cell->prepareForReuse();
    auto second = card(CardType::userPost);
    second->source = "cradleway";
    second->latestComments = {CommentData{"Ben", "x", "Hello", std::nullopt}};
    show(*cell, *second);
    EXPECT_TRUE(cell->mainImageViewStackView->arrangedSubviews().empty());
    EXPECT_TRUE(cell->mainImageViewStackView->isHidden());
    EXPECT_TRUE(cell->largeImageView->isHidden());

    release();
    // Every picture of the first card has been asked for or dropped: nothing of it reaches the cell.
    RunLoop::main().runFor(0.3);
    RunLoop::main().runUntilIdle();
    EXPECT_TRUE(showsNamed(*cell->iconImageView, "cwy_card_logo"));
    EXPECT_TRUE(showsNamed(*cell->commentOne().imageView, "mypartner_male"));
    EXPECT_FALSE(cell->largeImageView->image());
    EXPECT_TRUE(cell->mainImageViewStackView->arrangedSubviews().empty());
}

TEST_F(FeedCellTest, TheSeparatorShowsTheDayInTheDevicesZoneAndCannotBeTapped) {
    Locale::setCurrentForTesting(Locale("en_US"));
    auto cell = std::make_shared<FeedTableTimeTagCell>(UITableViewCellStyle::default_, "FeedTableTimeTagCell");
    cell->setFrame({0, 0, 375, 60});
    const std::size_t constraints = cell->contentView()->constraints().size();
    EXPECT_GT(constraints, 0u);
    EXPECT_FALSE(cell->isUserInteractionEnabled());
    EXPECT_EQ(cell->selectionStyle, UITableViewCellSelectionStyle::none);

    auto separator = FeedResponse::timeTag("2019-03-05T08:30:00.000+0000");
    TimeZone::setCurrentForTesting(TimeZone::withIdentifier("Europe/London"));
    cell->configure(*separator);
    EXPECT_EQ(cell->timeLabel()->text(), "Tue, Mar 05, 2019");
    TimeZone::setCurrentForTesting(TimeZone::withIdentifier("Pacific/Honolulu"));
    cell->configure(*separator);
    EXPECT_EQ(cell->timeLabel()->text(), "Mon, Mar 04, 2019");

    for (const std::optional<std::string>& time : {std::optional<std::string>("2019-03-05 08:30"),
                                                  std::optional<std::string>()}) {
        separator->cardTime = time;
        cell->configure(*separator);
        EXPECT_EQ(cell->timeLabel()->text().value_or(""), "");
    }
    cell->layoutIfNeeded();
    EXPECT_EQ(cell->contentView()->constraints().size(), constraints) << "constraints are added once";
    EXPECT_DOUBLE_EQ(cell->leftHyphenLabel()->frame().size.height, 1.0);
    EXPECT_GT(cell->leftHyphenLabel()->frame().size.width, 0.0);
    EXPECT_DOUBLE_EQ(cell->timeLabel()->frame().origin.y, 20.0);
}

} // namespace
} // namespace cw::test
