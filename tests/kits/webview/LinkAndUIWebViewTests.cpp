#include "WebViewTestSupport.h"

#include "foundation/dispatch/RunLoop.h"

#include <gmock/gmock.h>

using ::testing::ElementsAre;

namespace cw::test {

namespace {

class WebViewLinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        host.launch(app);
        server.reply("GET", "/article", htmlReply(R"(<h1>Kangaroo care</h1>
<p>Holding your baby skin to skin helps. Read <a href="next">the <b>next</b> page</a>
or the <a href="cradleway://content/education/57">related article</a>.</p>)"));
        server.reply("GET", "/next", htmlReply("<p>The next page.</p>"));
    }
    std::optional<URL> at(const std::string& path) const { return URL::fromString(server.base() + path); }
    template <class View> std::shared_ptr<View> show() {
        auto web = std::make_shared<View>(app->root->view()->bounds());
        app->root->view()->addSubview(web);
        host.settle();
        return web;
    }
    bool waitFor(const std::function<bool()>& done) {
        const bool ok = RunLoop::main().runUntil(done);
        host.settle();
        return ok;
    }

    HeadlessHost host;
    std::shared_ptr<WhiteScreenApp> app = std::make_shared<WhiteScreenApp>();
    RecordingServer server;
};

} // namespace

TEST_F(WebViewLinkTest, ATappedLinkIsOfferedWithItsAddressAndLoadsInPlaceWhenAllowed) {
    auto delegate = std::make_shared<RecordingNavigationDelegate>();
    delegate->policy = [](const WKNavigationAction& action) {
        return action.request.url->scheme() == "cradleway" ? WKNavigationActionPolicy::cancel
                                                           : WKNavigationActionPolicy::allow;
    };
    auto web = show<WKWebView>();
    web->setNavigationDelegate(delegate);
    web->load(URLRequest(at("/article")));
    ASSERT_TRUE(waitFor([&] { return delegate->ended(); }));

    // A tap beside the links, and one on a link the delegate keeps for itself, leave the page.
    EXPECT_FALSE(host.tapLink("Kangaroo care")) << "a heading is no link";
    ASSERT_TRUE(host.tapText("Kangaroo care"));
    ASSERT_TRUE(host.tapLink("related article"));
    host.settle();
    EXPECT_EQ(delegate->actions.size(), 2u);
    EXPECT_EQ(delegate->actions.back().navigationType, WKNavigationType::linkActivated);
    EXPECT_EQ(delegate->actions.back().request.url->absoluteString(), "cradleway://content/education/57");
    EXPECT_EQ(delegate->calls.back(), "decide link cradleway://content/education/57");
    EXPECT_EQ(web->url(), at("/article"));

    // A link in part bold is one link; its address is resolved against the page.
    delegate->calls.clear();
    ASSERT_TRUE(host.tapLink("the next page"));
    ASSERT_TRUE(waitFor([&] { return delegate->calls.back() == "finish"; }));
    EXPECT_THAT(delegate->calls, ElementsAre("decide link " + at("/next")->absoluteString(), "start", "commit", "finish"));
    EXPECT_EQ(web->url(), at("/next"));
    EXPECT_TRUE(host.isShowing("The next page."));
    EXPECT_FALSE(host.tapLink("the next page"));
}

TEST_F(WebViewLinkTest, UIWebViewAsksWithEachLoadsTypeAndKnowsTheRequestOfItsPage) {
    auto delegate = std::make_shared<RecordingWebViewDelegate>();
    delegate->answer = [](const URLRequest& request, UIWebViewNavigationType) {
        return request.url->scheme() != "cradleway";
    };
    auto web = show<UIWebView>();
    web->setDelegate(delegate);
    web->loadRequest(URLRequest(at("/article?user_id=3")));
    EXPECT_FALSE(web->request()) << "no page yet";
    ASSERT_TRUE(waitFor([&] { return delegate->ended(); }));
    EXPECT_THAT(delegate->calls, ElementsAre("should other", "start", "finish"));
    ASSERT_TRUE(delegate->requestAtFinish && delegate->requestAtFinish->url);
    EXPECT_EQ(delegate->requestAtFinish->url->absoluteString(), at("/article?user_id=3")->absoluteString());
    EXPECT_EQ(delegate->statusAtFinish, 200);

    delegate->calls.clear();
    ASSERT_TRUE(host.tapLink("related article"));
    EXPECT_THAT(delegate->calls, ElementsAre("should link"));
    EXPECT_EQ(delegate->asked.back().url->absoluteString(), "cradleway://content/education/57");

    delegate->calls.clear();
    ASSERT_TRUE(host.tapLink("the next page"));
    ASSERT_TRUE(waitFor([&] { return delegate->ended(); }));
    EXPECT_THAT(delegate->calls, ElementsAre("should link", "start", "finish"));
    EXPECT_EQ(web->request()->url, at("/next"));

    // A page with an error status is shown, and its reply says so.
    server.reply("GET", "/gone", htmlReply("<p>No longer here.</p>", 404));
    delegate->calls.clear();
    web->loadRequest(URLRequest(at("/gone")));
    ASSERT_TRUE(waitFor([&] { return delegate->ended(); }));
    EXPECT_TRUE(host.isShowing("No longer here."));
    EXPECT_EQ(delegate->statusAtFinish, 404);
    EXPECT_EQ(web->response()->statusCode(), 404);

    // A failure, and a page the delegate refuses, keep the request of the page shown.
    auto closed = std::make_unique<RecordingServer>();
    const auto refused = URL::fromString(closed->base() + "/page");
    closed.reset();
    delegate->calls.clear();
    web->loadRequest(URLRequest(refused));
    ASSERT_TRUE(waitFor([&] { return delegate->ended(); }));
    EXPECT_THAT(delegate->calls, ElementsAre("should other", "start", "fail " + std::to_string(NSURLErrorCannotConnectToHost)));
    EXPECT_EQ(web->request()->url, at("/gone"));
    EXPECT_EQ(web->response()->statusCode(), 404);
    EXPECT_FALSE(web->isLoading());
}

} // namespace cw::test
