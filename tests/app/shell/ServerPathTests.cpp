// A server that lives under a path of its own ("https://host/nicu"): the article pages, the related
// items they link to, and the pictures (babies' photos, members' pictures, article cards, the daily
// update's picture of the baby) are asked for under it, as the requests of the API are.

#include "ShellFixture.h"

#include "Controllers/Education/EducationContentWebViewController.h"
#include "Controllers/Posts/FeedDetailWebViewController.h"
#include "Models/BabyData.h"
#include "Services/AuthenticationContext.h"
#include "foundation/dispatch/RunLoop.h"
#include "kits/banners/GSMessage.h"
#include "tests/support/app/AppTestSupport.h"

#include <gmock/gmock.h>

using ::testing::IsEmpty;
using ::testing::SizeIs;

namespace cw::test {
namespace {

constexpr const char* kLoadError = "Unexpected error loading content. Please try again.";

bool bannerShown(const std::string& text) {
    for (const auto& record : GSMessage::history())
        if (record.text == text) return true;
    return false;
}

class ServerPathTest : public ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        prepareBundle(*environment, server.base() + "/nicu", "org.cradleway.shell-tests");
        GSMessage::clearHistory();
    }

    // Turns the loop, laying the screens out again now and then, until `done`.
    bool settleUntil(const std::function<bool()>& done) {
        for (int i = 0; i < 200; ++i) {
            if (RunLoop::main().runUntil(done, 0.05)) return true;
            host->settle();
        }
        return done();
    }
};

TEST_F(ServerPathTest, ArticlePagesAreAskedForUnderTheServersPathLikeItsRequests) {
    server.reply("GET", "/nicu/content/education/5", Reply{200, "<p>Holding your baby skin to skin</p>", "text/html"});
    server.reply("GET", "/nicu/content/education/6",
                 Reply{200, "<p>Feeding in the NICU</p><p><a href=\"cradleway://content/education/7\">More</a></p>",
                       "text/html"});
    storeSession(true, true);
    launch();
    host->settle();
    ASSERT_TRUE(mainNavigation());

    // The feed's article, as a notification opens it: page, bookmark check and comments all under /nicu.
    app->showFeed(5, std::nullopt);
    ASSERT_TRUE(settleUntil([&] { return host->isShowing("Holding your baby skin to skin"); }));
    const auto article = requestsAt("/nicu/content/education/5");
    ASSERT_THAT(article, SizeIs(1));
    EXPECT_EQ(article[0].param("user_id"), "41");
    EXPECT_EQ(article[0].param("access_token"), "stored-access");
    EXPECT_THAT(requestsAt("/nicu/m/api/content/education/bookmark/check"), SizeIs(1));
    EXPECT_THAT(requestsAt("/content/education/5"), IsEmpty());
    EXPECT_FALSE(bannerShown(kLoadError));

    // The library's page of another item.
    auto library = std::make_shared<EducationContentWebViewController>(6, std::nullopt, false, std::nullopt, nullptr);
    mainNavigation()->pushViewController(library, false);
    ASSERT_TRUE(settleUntil([&] { return host->isShowing("Feeding in the NICU"); }));
    EXPECT_THAT(requestsAt("/nicu/content/education/6"), SizeIs(1));
    EXPECT_THAT(requestsAt("/content/education/6"), IsEmpty());
    const std::string shown = library->webView()->request()->url->absoluteString();
    EXPECT_TRUE(shown.starts_with(server.base() + "/nicu/content/education/6?")) << shown;

    // A related item the page links to.
    server.reply("GET", "/nicu/content/education/7", Reply{200, "<p>Going home</p>", "text/html"});
    ASSERT_TRUE(host->tapLink("More"));
    ASSERT_TRUE(settleUntil([&] { return host->isShowing("Going home"); }));
    EXPECT_THAT(requestsAt("/nicu/content/education/7"), SizeIs(1));
    EXPECT_THAT(requestsAt("/content/education/7"), IsEmpty());
    EXPECT_FALSE(bannerShown(kLoadError));
}

TEST_F(ServerPathTest, PicturesAreAskedForUnderTheServersPathLikeItsRequests) {
    storeSession(true, true, 41, "Maya Lind", "images/upload/maya.png");
    auto olivia = std::make_shared<BabyData>("Olivia Hart", "2026-01-02", "2026-02-01", Gender::Female);
    olivia->setBabyId(3);
    olivia->setImageFile("images/upload/olivia.png");
    AuthenticationContext().save(std::vector<std::shared_ptr<BabyData>>{olivia});
    const nlohmann::json article = {{"id", 5},
                                    {"card_title", "Holding your baby"},
                                    {"card_description", "Skin to skin"},
                                    {"card_media_type", "png"},
                                    {"card_media", {"/static-files/images/article_5.png"}},
                                    {"card_time", "2026-01-05T10:00:00.000+0000"}};
    // The server names a daily update's picture of the baby by its path from its root, as it names
    // every other picture.
    const nlohmann::json update = {{"id", 9},
                                   {"title", "Olivia's update"},
                                   {"post_text", "Olivia weighs 1,523 g"},
                                   {"image", "/images/upload/olivia-today.png"},
                                   {"created_at", "2026-01-05T09:00:00.000+0000"}};
    server.reply("POST", "/nicu/m/api/content/",
                 Reply{200, nlohmann::json{{"data", {{"content", {article}}, {"posts", nlohmann::json::array()},
                                                    {"daily_update", {update}}}}}.dump()});
    const char* const pictures[] = {"/images/upload/maya.png", "/images/upload/olivia.png",
                                    "/static-files/images/article_5.png", "/images/upload/olivia-today.png"};
    for (const char* picture : pictures)
        servePicture(std::string("/nicu") + picture, 0xFF2040C0);
    launch();
    host->settle();
    ASSERT_TRUE(mainNavigation());
    ASSERT_TRUE(host->tapIdentifier("hamburgerButton"));

    for (const char* picture : pictures) {
        EXPECT_TRUE(settleUntil([&] { return !requestsAt(std::string("/nicu") + picture).empty(); }))
            << picture << " was not asked for under /nicu";
        EXPECT_THAT(requestsAt(picture), IsEmpty());
    }
}

} // namespace
} // namespace cw::test
