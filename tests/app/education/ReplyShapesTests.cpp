// The library's screens against replies of every shape, from a recording server: a member without
// a security code, replies without the keys the screens look for, bookmark replies without a
// record, and nobody signed in.

#include "Controllers/Education/CategoriesEducationController.h"
#include "Controllers/Education/EducationCategoryViewCell.h"
#include "Controllers/Education/EducationCenterSearchViewController.h"
#include "Controllers/Education/EducationContentWebViewController.h"
#include "Controllers/Education/EducationSupport.h"
#include "Controllers/Education/RecommendedEducationCenterController.h"
#include "Controllers/Education/RecommendedFeedTableViewCell.h"
#include "Controllers/Education/SubCategoriesTableViewController.h"
#include "Services/AuthenticationContext.h"
#include "Views/RoundedSectionHeaderView.h"
#include "foundation/dispatch/RunLoop.h"
#include "host/HeadlessHost.h"
#include "kits/banners/GSMessage.h"
#include "tests/support/AppEnvironment.h"
#include "tests/support/RecordingServer.h"
#include "tests/support/session/SessionReset.h"
#include "uikit/controllers/UIActivityViewController.h"
#include "uikit/controllers/UIAlertController.h"
#include "uikit/controllers/UIApplication.h"
#include "uikit/controllers/UINavigationController.h"
#include "uikit/controllers/UIScreen.h"
#include "uikit/controllers/UIWindow.h"
#include "uikit/graphics/UIImage.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <iostream>
#include <sstream>

using ::testing::ElementsAre;
using json = nlohmann::json;

namespace cw::test {
namespace {

// A window whose root is a navigation controller, as the signed-in application's is.
class NavigationApp : public UIApplicationDelegate {
public:
    bool didFinishLaunchingWithOptions(UIApplication&, const LaunchOptions&) override {
        window_ = std::make_shared<UIWindow>(UIScreen::main().bounds());
        navigation = UINavigationController::withRoot(std::make_shared<UIViewController>());
        window_->setRootViewController(navigation);
        window_->makeKeyAndVisible();
        return true;
    }
    std::shared_ptr<UIWindow> window() const override { return window_; }
    std::shared_ptr<UINavigationController> navigation;

private:
    std::shared_ptr<UIWindow> window_;
};

json category(std::int64_t id, const std::string& name, const std::string& picture = "") {
    json c = {{"id", id}, {"name", name}};
    if (!picture.empty()) c["pictures"] = {{"1x", picture}, {"2x", picture}, {"3x", picture}};
    return c;
}

class ReplyShapesTest : public ::testing::Test {
protected:
    void SetUp() override {
        savedCout_ = std::cout.rdbuf(console.rdbuf());
        environment.writeInfo({{"SERVER_URL", server.base()}, {"CFBundleIdentifier", "org.cradleway.reply-tests"}});
        UIImage::setResourceDirectory(generatedResourcesDirectory());
        host = std::make_unique<cw::HeadlessHost>();
        app = std::make_shared<NavigationApp>();
        host->launch(app);
        signIn(true);
        std::vector<std::uint32_t> pixels(4, 0xff3366cc);
        const auto bytes = *UIImage::fromPixels(2, 2, 1, pixels.data())->pngData();
        for (const char* path : {"/static-files/images/feeding.png", "/static-files/images/item.png"})
            server.reply("GET", path, Reply{200, std::string(bytes.begin(), bytes.end()), "image/png"});
    }
    void TearDown() override {
        RunLoop::main().runFor(0.05);
        host.reset();
        signOut();
        std::cout.rdbuf(savedCout_);
    }

    static void signIn(bool withCode) {
        json member = {{"id", 12}, {"full_name", "Maya Lind"}, {"email", "maya@example.test"}, {"relationship", "Mother"}};
        if (withCode) member["security_code"] = 4242;
        auto& session = AuthenticationContext::shared();
        session.setUser(UserData::initWithResponseObject(JSON(member)));
        session.setOAuthToken("access-1");
        session.setOAuthRefreshToken("refresh-1");
    }
    static void signOut() { forgetSession(); }
    static bool waitFor(const std::function<bool()>& done) { return RunLoop::main().runUntil(done, 10); }
    // The same for what only shows once the views are laid out again.
    bool settleUntil(const std::function<bool()>& done) {
        for (int i = 0; i < 200; ++i) {
            if (RunLoop::main().runUntil(done, 0.05)) return true;
            host->settle();
        }
        return done();
    }
    bool waitForRequests(const std::string& path, std::size_t count) {
        return waitFor([&] { return server.requestsAt(path).size() >= count; });
    }
    // The usage events sent so far, as (screen, details) pairs.
    std::vector<std::pair<std::string, json>> events() const {
        std::vector<std::pair<std::string, json>> result;
        for (const auto& r : server.requestsAt("/m/api/analytics/"))
            result.emplace_back(r.json().value("screen_name", ""), r.json().value("event_details", json::object()));
        return result;
    }
    bool sentEvent(const std::string& key) const {
        for (const auto& [screen, details] : events())
            if (details.contains(key)) return true;
        return false;
    }
    void push(const UIViewControllerPtr& controller) {
        app->navigation->pushViewController(controller, false);
        host->settle();
    }
    UIViewControllerPtr top() const { return app->navigation->topViewController(); }

    RecordingServer server;
    AppEnvironment environment{"cw-education-replies"};
    std::unique_ptr<cw::HeadlessHost> host;
    std::shared_ptr<NavigationApp> app;
    std::ostringstream console;

private:
    std::streambuf* savedCout_ = nullptr;
};

TEST_F(ReplyShapesTest, TheRecommendedPageShowsWhatItHasWithoutASecurityCodeAndABookmarkWithoutARecordEnds) {
    signIn(false);
    server.reply("GET", "/m/api/content/education/categories.json",
                 Reply{200, json{{"new_data", {category(1, "Feeding", "/static-files/images/feeding.png")}}}.dump()});
    auto page = std::make_shared<RecommendedEducationCenterController>(false);
    auto item = std::make_shared<FeedResponse>();
    item->cardId = 12;
    item->cardTitle = "Expressing breast milk";
    item->contentURL = "/content/education/12";
    page->sections = {RecommendedSection{"Feeding", {item}}};
    page->sectionExpanded = {true};
    push(page);

    // Only the categories were asked for; both "requests" ended, the table reloaded with them.
    ASSERT_TRUE(settleUntil([&] { return !server.requestsAt("/static-files/images/feeding.png").empty(); }));
    EXPECT_TRUE(server.requestsAt("/m/api/content/education/recommended").empty());
    host->settle();
    auto header = std::dynamic_pointer_cast<RoundedSectionHeaderView>(page->tableView()->headerView(0));
    ASSERT_TRUE(header);
    ASSERT_TRUE(settleUntil([&] { return header->iconImageView()->image() != nullptr; }));

    // A bookmark reply without a record ends the request and changes nothing; one for another
    // card neither; one that names the card flips it.
    server.reply("POST", "/m/api/content/bookmark_card",
                 {Reply{200, R"({"status":"ok"})"}, Reply{200, R"({"data":{"feed_id":99}})"},
                  Reply{200, R"({"data":{"feed_id":12,"id":1}})"}});
    auto cell = std::dynamic_pointer_cast<RecommendedFeedTableViewCell>(page->tableView()->cellForRow({0, 0}));
    ASSERT_TRUE(cell);
    // The first reply waits until the request has been seen under way.
    auto gate = std::make_shared<std::promise<void>>();
    std::shared_future<void> opened = gate->get_future().share();
    server.setHandler([opened](const RecordedRequest& r, httplib::Response&) {
        if (r.path == "/m/api/content/bookmark_card") opened.wait_for(std::chrono::seconds(5));
    });
    for (int round = 0; round < 3; ++round) {
        ASSERT_TRUE(host->tap(cell->bookmarkButton()));
        ASSERT_TRUE(host->pickAlertAction("Bookmark"));
        if (round == 0) {
            EXPECT_FALSE(cell->bookmarkButton()->isUserInteractionEnabled());
            EXPECT_TRUE(UIApplication::shared().isNetworkActivityIndicatorVisible());
            gate->set_value();
        }
        ASSERT_TRUE(waitForRequests("/m/api/content/bookmark_card", round + 1));
        ASSERT_TRUE(waitFor([&] { return !UIApplication::shared().isNetworkActivityIndicatorVisible(); }));
        host->settle();
        EXPECT_TRUE(cell->bookmarkButton()->isUserInteractionEnabled()) << round;
        EXPECT_EQ(item->bookmarked, round == 2) << round;
        EXPECT_EQ(server.requestsAt("/m/api/content/bookmark_card").back().json(), (json{{"feed_id", 12}, {"user_id", 12}}));
    }

    // Appearing again with categories that no longer name the section: no stale icon.
    server.reply("GET", "/m/api/content/education/categories.json",
                 Reply{200, json{{"new_data", {category(1, "feeding", "/static-files/images/feeding.png")}}}.dump()});
    app->navigation->pushViewController(std::make_shared<UIViewController>(), false);
    host->settle();
    app->navigation->popViewController(false);
    ASSERT_TRUE(waitFor([&] { return page->categories.front().name == "feeding"; }));
    host->settle();
    header = std::dynamic_pointer_cast<RoundedSectionHeaderView>(page->tableView()->headerView(0));
    EXPECT_FALSE(header->iconImageView()->image());

    // Shared with nobody signed in: the link alone.
    signOut();
    ASSERT_TRUE(host->tap(cell->bookmarkButton()));
    ASSERT_TRUE(host->pickAlertAction("Share"));
    auto sheet = std::dynamic_pointer_cast<UIActivityViewController>(host->topViewController());
    ASSERT_TRUE(sheet);
    ASSERT_EQ(sheet->activityItems().size(), 1u);
    EXPECT_EQ(std::any_cast<std::string>(sheet->activityItems()[0]), server.base() + "/content/education/12");
    EXPECT_EQ(sheet->stringValue("subject"), "Expressing breast milk");
    EXPECT_EQ(cw::education::makeEducationShare(std::nullopt, std::nullopt).items.size(), 0u);
}

// The recommended and bookmarked pages say when their content does not come, as the categories
// page does: a reply that is no JSON, and one cut short.
TEST_F(ReplyShapesTest, TheRecommendedAndBookmarkedPagesSayWhenTheirContentDoesNotCome) {
    server.reply("GET", "/m/api/content/education/categories.json",
                 Reply{200, json{{"new_data", {category(1, "Feeding", "/static-files/images/feeding.png")}}}.dump()});
    const Reply broken[] = {Reply{200, "<html><body>Bad gateway</body></html>", "text/html"},
                            Reply{200, R"({"data": [{"section": "Feeding", "conte)"}};
    for (const bool bookmarked : {false, true}) {
        for (const Reply& reply : broken) {
            SCOPED_TRACE(std::string(bookmarked ? "bookmarked: " : "recommended: ") + reply.body);
            server.reply("POST", bookmarked ? "/m/api/content/education/bookmarked" : "/m/api/content/education/recommended",
                         reply);
            GSMessage::clearHistory();
            auto page = std::make_shared<RecommendedEducationCenterController>(bookmarked);
            push(page);
            ASSERT_TRUE(waitFor([&] { return GSMessage::shown(*page) != nullptr; })) << "no word of it";
            EXPECT_EQ(GSMessage::shown(*page)->text(), "Unexpected error. Please try again.");
            EXPECT_EQ(GSMessage::shown(*page)->type(), GSMessageType::error);
            EXPECT_EQ(page->tableView()->numberOfSections(), 0);
            app->navigation->popViewController(false);
            host->settle();
        }
    }
}

// A bookmark the server refuses is said in a banner that stays readable over the page's sections,
// however the table lays them out again while it shows.
TEST_F(ReplyShapesTest, ABookmarkRefusedIsSaidInABannerOverTheSections) {
    // Without a security code the page keeps the sections it is given: coming back from the
    // bookmark's sheet asks for no list whose answer could bring a banner of its own.
    signIn(false);
    server.reply("GET", "/m/api/content/education/categories.json",
                 Reply{200, json{{"new_data", {category(1, "Feeding", "/static-files/images/feeding.png")}}}.dump()});
    auto page = std::make_shared<RecommendedEducationCenterController>(false);
    std::vector<std::shared_ptr<FeedResponse>> items;
    for (std::int64_t id : {12, 13, 14}) {
        auto item = std::make_shared<FeedResponse>();
        item->cardId = id;
        item->cardTitle = "Article " + std::to_string(id);
        item->contentURL = "/content/education/" + std::to_string(id);
        items.push_back(item);
    }
    page->sections = {RecommendedSection{"Feeding", items}, RecommendedSection{"Breathing", {}}};
    page->sectionExpanded = {true, false};
    push(page);
    // The categories the page asks for come first: their arrival lays the table out again, and a
    // finger on a row as it does so taps another cell.
    ASSERT_TRUE(settleUntil([&] { return host->isShowing("Article 13") && !page->categories.empty(); }));
    host->settle();

    server.reply("POST", "/m/api/content/bookmark_card", Reply{500, R"({"message":"boom"})"});
    GSMessage::clearHistory();
    auto cell = std::dynamic_pointer_cast<RecommendedFeedTableViewCell>(page->tableView()->cellForRow({0, 0}));
    ASSERT_TRUE(cell);
    ASSERT_TRUE(host->tap(cell->bookmarkButton()));
    ASSERT_TRUE(host->pickAlertAction("Bookmark"));
    ASSERT_TRUE(waitFor([&] { return GSMessage::shown(*page) != nullptr; }));
    auto banner = GSMessage::shown(*page);
    EXPECT_EQ(banner->text(), "Unexpected error. Please try again.");
    EXPECT_EQ(GSMessage::history().size(), 1u);
    // The table lays its sections out again (a finger moves it a little and back).
    host->settle();
    ASSERT_TRUE(host->scroll(page->tableView(), {0, -20}));
    ASSERT_TRUE(host->scroll(page->tableView(), {0, 20}));
    host->settle();
    ASSERT_TRUE(GSMessage::shown(*page));
    auto touched = host->viewUnderFinger(host->tapPointOf(*banner->textLabel()));
    bool onBanner = false;
    for (UIView* v = touched.get(); v; v = v->superviewPointer())
        if (v == banner.get()) onBanner = true;
    EXPECT_TRUE(onBanner) << "the banner is covered by " << (touched ? touched->className() : std::string("nothing"));
}

// The categories page, the library's middle tab, says the same when its list does not come,
// rather than staying blank.
TEST_F(ReplyShapesTest, TheCategoriesPageSaysWhenItsListDoesNotCome) {
    const Reply broken[] = {Reply{200, "<html><body>Bad gateway</body></html>", "text/html"},
                            Reply{200, R"({"new_data": [{"id": 1, "name": "Feed)"}};
    for (const Reply& reply : broken) {
        SCOPED_TRACE(reply.body);
        server.reply("GET", "/m/api/content/education/categories.json", reply);
        GSMessage::clearHistory();
        auto page = std::make_shared<CategoriesEducationController>();
        push(page);
        ASSERT_TRUE(waitFor([&] { return GSMessage::shown(*page) != nullptr; })) << "no word of it";
        EXPECT_EQ(GSMessage::shown(*page)->text(), "Unexpected error. Please try again.");
        EXPECT_EQ(GSMessage::shown(*page)->type(), GSMessageType::error);
        EXPECT_EQ(page->tableView()->numberOfRows(0), 0);
        app->navigation->popViewController(false);
        host->settle();
    }
}

TEST_F(ReplyShapesTest, TheCategoriesFollowTheKeysOfEachReply) {
    server.reply("GET", "/m/api/content/education/categories.json", Reply{200, R"({"data":[]})"});
    auto categories = std::make_shared<CategoriesEducationController>();
    push(categories);
    ASSERT_TRUE(waitForRequests("/m/api/content/education/categories.json", 1));
    host->settle();
    EXPECT_EQ(categories->tableView()->numberOfRows(0), 0);

    // A category with an empty list below it opens an empty screen under its name.
    categories->categories = {EducationCategory(*JSON(category(7, "Feeding")).dictionary())};
    categories->tableView()->reloadData();
    server.reply("GET", "/m/api/content/education/subcontent", Reply{200, R"({"newSubItems":[]})"});
    categories->didSelectRowAt(categories->tableView().get(), {0, 0});
    ASSERT_TRUE(waitFor([&] { return top() != categories; }));
    host->settle();
    auto empty = std::dynamic_pointer_cast<SubCategoriesTableViewController>(top());
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->title(), "Feeding");
    EXPECT_EQ(empty->tableView()->numberOfRows(0), 0);
    EXPECT_EQ(server.requestsAt("/m/api/content/education/subcontent").back().param("id"), "7");
    ASSERT_TRUE(waitFor([&] { return sentEvent("contentFetchedSuccess"); }));
    for (const auto& [screen, details] : events()) {
        if (details.contains("contentFetchedSuccess")) {
            EXPECT_EQ(details, (json{{"contentFetchedSuccess", "Subcategories content fetched successfully"}, {"categoryID", 7}}));
        }
    }

    // What a subcategory's reply opens.
    struct Case {
        const char* reply;
        std::optional<bool> opensContent; // none: nothing opens
        std::vector<std::string> rows;
    };
    const std::vector<Case> cases = {
        {R"({"actual_content":[{"id":1,"name":"Breast milk"},{"id":2,"name":"A"},{"id":3,"name":"B"}],
             "newSubItems":[{"id":9,"name":"Deeper"}]})", true, {"A", "B"}},
        {R"({"actual_content":[{"id":1,"name":"Breast milk"}]})", true, {}},
        {R"({"actual_content":[]})", true, {}},
        {R"({"actual_content":{"id":1},"newSubItems":[{"id":9,"name":"Deeper"}]})", false, {"Deeper"}},
        {R"({"newSubItems":[]})", std::nullopt, {}},
        {R"({"newSubItems":[{"id":9,"name":"Deeper"},5]})", std::nullopt, {}},
        {R"([1,2])", std::nullopt, {}},
    };
    auto level = std::make_shared<SubCategoriesTableViewController>(
        std::vector<EducationCategory>{}, std::vector<EducationCategory>{EducationCategory(*JSON(category(8, "Breast milk")).dictionary())},
        false);
    push(level);
    for (const auto& c : cases) {
        server.reply("GET", "/m/api/content/education/subcontent", Reply{200, c.reply});
        const auto before = server.requestsAt("/m/api/content/education/subcontent").size();
        level->didSelectRowAt(level->tableView().get(), {0, 0});
        EXPECT_FALSE(level->tableView()->allowsSelection);
        ASSERT_TRUE(waitForRequests("/m/api/content/education/subcontent", before + 1));
        ASSERT_TRUE(waitFor([&] { return level->tableView()->allowsSelection; })) << c.reply;
        host->settle();
        EXPECT_EQ(server.requestsAt("/m/api/content/education/subcontent").back().param("subItemId"), "8");
        auto opened = std::dynamic_pointer_cast<SubCategoriesTableViewController>(top());
        if (!c.opensContent) {
            EXPECT_EQ(opened, level) << c.reply;
            continue;
        }
        ASSERT_NE(opened, level) << c.reply;
        EXPECT_EQ(opened->isActualContent, *c.opensContent) << c.reply;
        EXPECT_EQ(opened->title(), "Breast milk");
        std::vector<std::string> rows;
        for (const auto& r : opened->isActualContent ? opened->contents : opened->subCategories)
            rows.push_back(r.name.value_or(""));
        EXPECT_EQ(rows, c.rows) << c.reply;
        app->navigation->popViewController(false);
        host->settle();
    }
}

TEST_F(ReplyShapesTest, SearchRowsFollowOnlyBookmarkRepliesForTheirOwnCard) {
    const std::string hit = json{{"data", {{{"id", 5}, {"card_title", "Kangaroo care"}, {"content_url", "/content/education/5"},
                                            {"bookmarked", false}, {"card_media", json::array()}}}}}.dump();
    // The first appearance searches twice (once as the view loads, once as it appears).
    server.reply("GET", "/m/api/search/", {Reply{200, hit}, Reply{200, hit}, Reply{200, R"({"data":[]})"}});
    server.reply("POST", "/m/api/content/bookmark_card",
                 {Reply{200, R"({"data":{"feed_id":6}})"}, Reply{200, R"({"status":"ok"})"}});
    auto search = std::make_shared<EducationCenterSearchViewController>();
    search->initialQuery = "kangaroo";
    push(search);
    ASSERT_TRUE(waitFor([&] { return search->searchResults.size() == 1; }));
    host->settle();
    EXPECT_EQ(server.requestsAt("/m/api/search/").front().param("query"), "kangaroo");
    EXPECT_EQ(server.requestsAt("/m/api/search/").front().param("user_id"), "12");
    auto cell = std::dynamic_pointer_cast<EducationFeedViewCell>(search->tableView()->cellForRow({0, 0}));
    ASSERT_TRUE(cell);
    EXPECT_FALSE(cell->thumbnailImageView->image());

    // A record for another card: the row stays, the success event reports its state.
    ASSERT_TRUE(host->tap(cell->bookmarkButton));
    ASSERT_TRUE(waitFor([&] { return sentEvent("bookmarkContentSuccess"); }));
    host->settle();
    EXPECT_FALSE(search->searchResults.front()->bookmarked);
    EXPECT_TRUE(cell->bookmarkButton->isUserInteractionEnabled());
    for (const auto& [screen, details] : events()) {
        if (details.contains("bookmarkContentSuccess")) {
            EXPECT_EQ(details["bookmarkStatus"], false);
        }
    }
    // No record at all: the request ends, no event.
    ASSERT_TRUE(host->tap(cell->bookmarkButton));
    ASSERT_TRUE(waitForRequests("/m/api/content/bookmark_card", 2));
    ASSERT_TRUE(waitFor([&] { return !UIApplication::shared().isNetworkActivityIndicatorVisible(); }));
    host->settle();
    EXPECT_TRUE(cell->bookmarkButton->isUserInteractionEnabled());

    // Shared with nobody signed in: the link, and the text of link and title.
    signOut();
    ASSERT_TRUE(host->tap(cell->shareButton));
    auto sheet = std::dynamic_pointer_cast<UIActivityViewController>(host->topViewController());
    ASSERT_TRUE(sheet);
    ASSERT_EQ(sheet->activityItems().size(), 1u);
    EXPECT_EQ(cw::education::makeEducationShare(std::string("/content/education/5"), std::string("Kangaroo care")).text,
              server.base() + "/content/education/5---Kangaroo care---");
    ASSERT_TRUE(host->chooseShareTarget(std::nullopt));

    // An empty reply empties the list.
    search->search("kangaroo care");
    ASSERT_TRUE(waitFor([&] { return search->searchResults.empty(); }));
}

TEST_F(ReplyShapesTest, TheContentPageStaysUnderTheServersAddressAndTakesOnlyABooleanAnswer) {
    environment.writeInfo({{"SERVER_URL", server.base() + "/cradleway/base"}, {"CFBundleIdentifier", "org.cradleway.reply-tests"}});
    server.reply("GET", "/cradleway/base/content/education/7", Reply{200, "<p>Seven</p>", "text/html"});
    server.reply("POST", "/cradleway/base/m/api/content/education/bookmark/check",
                 {Reply{200, R"({"bookmarked":"yes"})"}, Reply{200, R"({"bookmarked":true})"}});
    auto page = std::make_shared<EducationContentWebViewController>(7, std::nullopt, false, std::nullopt, nullptr);
    push(page);
    ASSERT_TRUE(waitForRequests("/cradleway/base/content/education/7", 1));
    const auto load = server.requestsAt("/cradleway/base/content/education/7").front();
    EXPECT_EQ(load.param("user_id"), "12");
    EXPECT_EQ(load.param("access_token"), "access-1");
    ASSERT_TRUE(waitForRequests("/cradleway/base/m/api/content/education/bookmark/check", 1));
    EXPECT_EQ(server.requestsAt("/cradleway/base/m/api/content/education/bookmark/check").front().json(),
              (json{{"user_id", 12}, {"code", 4242}, {"feed_id", 7}}));
    host->settle();
    EXPECT_FALSE(page->isBookmarked) << "a text is no answer";

    // Loaded again: the Boolean answer turns the star.
    page->loadContent("/content/education/7");
    ASSERT_TRUE(waitForRequests("/cradleway/base/m/api/content/education/bookmark/check", 2));
    ASSERT_TRUE(waitFor([&] { return page->isBookmarked; }));

    // A page whose address has no digits before a "?" asks nothing.
    server.reply("GET", "/plain", Reply{200, "<p>Plain</p>", "text/html"});
    page->webView()->loadRequest(URLRequest(URL::fromString(server.base() + "/plain")));
    ASSERT_TRUE(waitFor([&] { return page->webView()->request() && page->webView()->request()->url->path() == "/plain"; }));
    host->settle();
    RunLoop::main().runFor(0.1);
    EXPECT_EQ(server.requestsAt("/cradleway/base/m/api/content/education/bookmark/check").size(), 2u);

    // A related link whose last part is no number: no event, the page loads all the same.
    server.reply("GET", "/cradleway/base/content/education/abc", Reply{200, "<p>Abc</p>", "text/html"});
    const auto link = *URL::fromString("cradleway://content/education/abc");
    EXPECT_FALSE(page->shouldStartLoadWith(page->webView().get(), URLRequest(link), UIWebViewNavigationType::linkClicked));
    ASSERT_TRUE(waitForRequests("/cradleway/base/content/education/abc", 1));
    EXPECT_FALSE(sentEvent("relatedContentViewTapped"));
    // The page's own loads go ahead.
    EXPECT_TRUE(page->shouldStartLoadWith(page->webView().get(), URLRequest(link), UIWebViewNavigationType::other));
    EXPECT_TRUE(page->shouldStartLoadWith(page->webView().get(), URLRequest(), UIWebViewNavigationType::linkClicked));
}

} // namespace
} // namespace cw::test
