#include "WebViewTestSupport.h"

#include "foundation/dispatch/RunLoop.h"
#include "kits/webview/WebDocument.h"
#include "uikit/graphics/PangoSupport.h"
#include "uikit/controllers/UINavigationController.h"

#include <gmock/gmock.h>

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace cw::test {

namespace {

class WKWebViewTest : public ::testing::Test {
protected:
    void SetUp() override { host.launch(app); }

    std::shared_ptr<WKWebView> showWebView() {
        auto web = std::make_shared<WKWebView>(app->root->view()->bounds());
        web->setNavigationDelegate(delegate);
        app->root->view()->addSubview(web);
        host.settle();
        return web;
    }
    std::optional<URL> at(const std::string& path) const { return URL::fromString(server.base() + path); }
    bool waitUntilEnded() {
        const bool ended = RunLoop::main().runUntil([&] { return delegate->ended(); });
        host.settle();
        return ended;
    }

    HeadlessHost host;
    std::shared_ptr<WhiteScreenApp> app = std::make_shared<WhiteScreenApp>();
    std::shared_ptr<RecordingNavigationDelegate> delegate = std::make_shared<RecordingNavigationDelegate>();
    // Before the server, which is stopped first: its handlers may still be leaving the gate.
    ReplyGate gate;
    RecordingServer server;
};

constexpr const char* kTerms = R"(<!DOCTYPE html><html><head><title>Terms</title>
<style>body{margin:16px}</style></head><body>
<h1>Terms of Use</h1>
<p>By using the application you agree to these terms.</p>
<ul><li>Only invite people you trust.</li><li>Do not share your password.</li></ul>
</body></html>)";

} // namespace

TEST_F(WKWebViewTest, ALoadIsDecidedStartedCommittedAndFinishedAndShowsOneLabelPerParagraph) {
    server.reply("GET", "/m/api/tandc", htmlReply(kTerms));
    auto web = showWebView();
    const auto url = at("/m/api/tandc");
    const auto navigation = web->load(URLRequest(url));
    ASSERT_TRUE(navigation);
    EXPECT_THAT(delegate->calls, IsEmpty()) << "the delegate is never called inside load";
    ASSERT_TRUE(waitUntilEnded());
    EXPECT_THAT(delegate->calls, ElementsAre("decide other " + url->absoluteString(), "start", "commit", "finish"));
    for (const auto& n : delegate->navigations)
        EXPECT_EQ(n, navigation);
    EXPECT_FALSE(web->isLoading());
    EXPECT_EQ(web->url(), url);

    EXPECT_THAT(pageTexts(web->scrollView()),
                ElementsAre("Terms of Use", "By using the application you agree to these terms.",
                            "\t\u2022\tOnly invite people you trust.", "\t\u2022\tDo not share your password."));
    EXPECT_TRUE(host.isShowing("By using the application you agree to these terms."));
    const auto labels = pageLabels(web->scrollView());
    for (const auto& label : labels) {
        EXPECT_EQ(label->frame().minX(), 16);
        EXPECT_EQ(label->frame().width(), 375 - 32) << "at the view's width inside the margins";
    }
    EXPECT_EQ(labels[0]->frame().minY(), 16);
    EXPECT_EQ(labels[1]->attributedText()->attributes(0).font->pointSize(), 16) << "body text";
    EXPECT_EQ(labels[0]->attributedText()->attributes(0).font->pointSize(), 32) << "a heading in proportion";
    EXPECT_GT(web->scrollView()->contentSize().height, labels.back()->frame().maxY());

    // The page is fetched like a browser's: none of the application's header fields go with it.
    const auto requests = server.requestsAt("/m/api/tandc");
    ASSERT_EQ(requests.size(), 1u);
    for (const auto& [name, value] : requests[0].headers)
        EXPECT_FALSE(name.starts_with("X-")) << name;
}

TEST_F(WKWebViewTest, AnErrorStatusWithAPageIsShownAndFinishesAndOneWithoutIsABlankPage) {
    server.reply("GET", "/missing", htmlReply("<h1>Not found</h1><p>This article is no longer available.</p>", 404));
    server.reply("GET", "/broken", Reply{500, "", "text/html"});
    auto web = showWebView();
    web->load(URLRequest(at("/missing")));
    ASSERT_TRUE(waitUntilEnded());
    EXPECT_THAT(delegate->calls, ElementsAre("decide other " + at("/missing")->absoluteString(), "start", "commit", "finish"));
    EXPECT_TRUE(host.isShowing("This article is no longer available."));

    delegate->calls.clear();
    web->load(URLRequest(at("/broken")));
    ASSERT_TRUE(waitUntilEnded());
    EXPECT_EQ(delegate->calls.back(), "finish");
    EXPECT_THAT(pageTexts(web->scrollView()), IsEmpty());
}

// The delegate sees each page's HTTP reply before it is shown, and may answer later: a page it
// cancels fails as one that cannot be shown, and the page before stays.
TEST_F(WKWebViewTest, TheDelegateSeesEachRepliesStatusAndAPageItCancelsIsNotShown) {
    server.reply("GET", "/page", htmlReply("<p>The page before.</p>"));
    server.reply("GET", "/missing",
                 htmlReply("<h1>Not found</h1><p>This article is no longer available.</p>", 404));
    delegate->responsePolicy = [](const NSHTTPURLResponse& reply) {
        return reply.statusCode() == 200 ? WKNavigationResponsePolicy::allow
                                         : WKNavigationResponsePolicy::cancel;
    };
    auto web = showWebView();
    web->load(URLRequest(at("/page")));
    ASSERT_TRUE(waitUntilEnded());
    EXPECT_THAT(delegate->calls, ElementsAre("decide other " + at("/page")->absoluteString(), "start",
                                             "respond 200", "commit", "finish"));

    delegate->calls.clear();
    delegate->holdDecision = true;
    web->load(URLRequest(at("/missing")));
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return delegate->pendingDecision != nullptr; }));
    delegate->pendingDecision(WKNavigationActionPolicy::allow);
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return delegate->pendingResponseDecision != nullptr; }));
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(delegate->calls.back(), "respond 404") << "nothing is shown before the delegate answers";
    EXPECT_TRUE(web->isLoading());
    delegate->pendingResponseDecision(WKNavigationResponsePolicy::cancel);
    EXPECT_EQ(delegate->calls.back(), "respond 404") << "the delegate hears nothing inside its answer";
    ASSERT_TRUE(waitUntilEnded());
    EXPECT_EQ(delegate->calls.back(), "fail provisional 102");
    EXPECT_EQ(delegate->error->domain, WebKitErrorDomain);
    EXPECT_FALSE(web->isLoading());
    EXPECT_TRUE(host.isShowing("The page before."));
    EXPECT_FALSE(host.isShowing("This article is no longer available."));
}

TEST_F(WKWebViewTest, NoReplyOrAReplyThatCannotBeShownFailsTheProvisionalNavigationAndKeepsThePage) {
    server.reply("GET", "/page", htmlReply("<p>The page before.</p>"));
    server.reply("GET", "/picture.png", Reply{200, "\x89PNG....", "image/png"});
    server.reply("GET", "/notes.txt", Reply{200, "line one\n\n  indented line\n", "text/plain"});
    auto web = showWebView();
    web->load(URLRequest(at("/page")));
    ASSERT_TRUE(waitUntilEnded());

    // Refused: nothing listens on the closed server's port.
    auto closed = std::make_unique<RecordingServer>();
    const auto refused = URL::fromString(closed->base() + "/page");
    closed.reset();
    delegate->calls.clear();
    web->load(URLRequest(refused));
    ASSERT_TRUE(waitUntilEnded());
    EXPECT_THAT(delegate->calls, ElementsAre("decide other " + refused->absoluteString(), "start",
                                             "fail provisional " + std::to_string(NSURLErrorCannotConnectToHost)));
    EXPECT_EQ(delegate->error->domain, NSURLErrorDomain);
    EXPECT_FALSE(web->isLoading());
    EXPECT_EQ(web->url(), at("/page")) << "the address goes back to the page shown";
    EXPECT_TRUE(host.isShowing("The page before."));

    delegate->calls.clear();
    web->load(URLRequest(at("/picture.png")));
    ASSERT_TRUE(waitUntilEnded());
    EXPECT_EQ(delegate->calls.back(), "fail provisional 102");
    EXPECT_EQ(delegate->error->domain, WebKitErrorDomain);
    EXPECT_TRUE(host.isShowing("The page before."));

    // Other text is shown as it is, in a fixed-width face; a blank line keeps its place.
    delegate->calls.clear();
    web->load(URLRequest(at("/notes.txt")));
    ASSERT_TRUE(waitUntilEnded());
    EXPECT_EQ(delegate->calls.back(), "finish");
    EXPECT_THAT(pageTexts(web->scrollView()), ElementsAre("line one", "  indented line"));
    const auto labels = pageLabels(web->scrollView());
    EXPECT_EQ(labels[0]->attributedText()->attributes(0).font->fontName(), "CourierNewPSMT");
    EXPECT_GT(labels[1]->frame().minY() - labels[0]->frame().maxY(), 10);
}

// A page longer than a page may lay out (a hostile server's millions of paragraphs, in a few
// kilobytes on the wire) fails as a page too large for the phone's memory would, and the page shown
// before stays.
TEST_F(WKWebViewTest, APageLongerThanAPageMayLayOutFailsAndKeepsThePageShown) {
    server.reply("GET", "/page", htmlReply("<p>The page before.</p>"));
    std::string paragraphs;
    for (int i = 0; i < 100'000; ++i)
        paragraphs += "<p>x</p>";
    server.reply("GET", "/paragraphs", htmlReply(paragraphs));
    std::string lines;
    for (int i = 0; i < 100'000; ++i)
        lines += "x\n";
    server.reply("GET", "/lines.txt", Reply{200, lines, "text/plain"});
    auto web = showWebView();
    web->load(URLRequest(at("/page")));
    ASSERT_TRUE(waitUntilEnded());
    for (const char* path : {"/paragraphs", "/lines.txt"}) {
        delegate->calls.clear();
        web->load(URLRequest(at(path)));
        ASSERT_TRUE(waitUntilEnded());
        EXPECT_EQ(delegate->calls.back(), "fail provisional " + std::to_string(NSURLErrorDataLengthExceedsMaximum));
        EXPECT_EQ(delegate->error->domain, NSURLErrorDomain);
        EXPECT_EQ(web->url(), at("/page"));
        EXPECT_THAT(pageTexts(web->scrollView()), ElementsAre("The page before."));
    }
}

TEST_F(WKWebViewTest, AnAddressThatIsNoneLoadsNothingAndOneOutsideTheWebFails) {
    auto web = showWebView();
    EXPECT_FALSE(web->load(URLRequest(URL::fromString("http://exa mple.test/"))));
    EXPECT_FALSE(web->load(URLRequest()));
    RunLoop::main().runUntilIdle();
    EXPECT_THAT(delegate->calls, IsEmpty());
    EXPECT_FALSE(web->isLoading());
    EXPECT_FALSE(web->url());

    web->load(URLRequest(URL::fromString("mailto:care@example.test")));
    ASSERT_TRUE(waitUntilEnded());
    EXPECT_THAT(delegate->calls, ElementsAre("decide other mailto:care@example.test", "start",
                                             "fail provisional " + std::to_string(NSURLErrorUnsupportedURL)));
}

TEST_F(WKWebViewTest, AStoppedLoadIsCancelledOnceAndANewerLoadStopsTheRunningOne) {
    server.reply("GET", "/page", htmlReply("<p>Second page.</p>"));
    server.setHandler([&](const RecordedRequest& request, httplib::Response&) {
        if (request.path == "/slow") gate.wait();
    });
    auto web = showWebView();
    const auto first = web->load(URLRequest(at("/slow")));
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return gate.entered() == 1; }));
    EXPECT_TRUE(web->isLoading());
    EXPECT_EQ(web->url(), at("/slow")) << "while loading, the address being loaded";

    web->stopLoading();
    EXPECT_FALSE(web->isLoading());
    ASSERT_TRUE(waitUntilEnded());
    EXPECT_EQ(delegate->calls.back(), "fail provisional " + std::to_string(NSURLErrorCancelled));
    EXPECT_EQ(delegate->navigations.back(), first);

    // A newer load that is allowed stops the one running, which hears of it first.
    delegate->calls.clear();
    delegate->navigations.clear();
    const auto slow = web->load(URLRequest(at("/slow")));
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return gate.entered() == 2; }));
    const auto second = web->load(URLRequest(at("/page")));
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return delegate->calls.back() == "finish"; }));
    EXPECT_THAT(delegate->calls,
                ElementsAre("decide other " + at("/slow")->absoluteString(), "start",
                            "decide other " + at("/page")->absoluteString(),
                            "fail provisional " + std::to_string(NSURLErrorCancelled), "start", "commit", "finish"));
    EXPECT_EQ(delegate->navigations[1], slow);
    EXPECT_EQ(delegate->navigations[2], second);

    // Stopped loads are not sent again, and their replies show nothing.
    gate.open();
    host.settle();
    EXPECT_EQ(server.requestsAt("/slow").size(), 2u);
    EXPECT_EQ(delegate->calls.size(), 7u);
    EXPECT_THAT(pageTexts(web->scrollView()), ElementsAre("Second page."));
}

TEST_F(WKWebViewTest, TheDelegateDecidesWhatLoadsAndNeedNotAnswerAtOnce) {
    server.reply("GET", "/page", htmlReply("<p>Allowed.</p>"));
    auto web = showWebView();
    delegate->policy = [](const WKNavigationAction&) { return WKNavigationActionPolicy::cancel; };
    web->load(URLRequest(at("/page")));
    host.settle();
    EXPECT_THAT(delegate->calls, ElementsAre("decide other " + at("/page")->absoluteString()));
    EXPECT_EQ(server.requestCount(), 0u) << "a cancelled navigation sends nothing";
    EXPECT_FALSE(web->isLoading());

    delegate->calls.clear();
    delegate->holdDecision = true;
    web->load(URLRequest(at("/page")));
    host.settle();
    ASSERT_TRUE(delegate->pendingDecision);
    EXPECT_EQ(delegate->calls.size(), 1u);
    delegate->pendingDecision(WKNavigationActionPolicy::allow);
    delegate->pendingDecision(WKNavigationActionPolicy::allow); // a second answer is ignored
    ASSERT_TRUE(waitUntilEnded());
    EXPECT_THAT(delegate->calls, ElementsAre("decide other " + at("/page")->absoluteString(), "start", "commit", "finish"));
    EXPECT_EQ(server.requestCount(), 1u);
}

TEST_F(WKWebViewTest, ARedirectedPageTakesTheAddressItCameFrom) {
    server.reply("GET", "/page", htmlReply("<p>Moved here.</p>"));
    server.setHandler([&](const RecordedRequest& request, httplib::Response& response) {
        if (request.path == "/old") response.set_redirect("/page", 302);
    });
    auto web = showWebView();
    web->load(URLRequest(at("/old")));
    ASSERT_TRUE(waitUntilEnded());
    EXPECT_EQ(delegate->calls.back(), "finish");
    EXPECT_EQ(web->url(), at("/page"));
}

TEST_F(WKWebViewTest, AnEndedContentProcessBlanksThePageAndStopsTheLoadWithoutAWord) {
    server.reply("GET", "/page", htmlReply("<p>Shown.</p>"));
    server.setHandler([&](const RecordedRequest& request, httplib::Response&) {
        if (request.path == "/slow") gate.wait();
    });
    auto web = showWebView();
    web->load(URLRequest(at("/page")));
    ASSERT_TRUE(waitUntilEnded());
    web->load(URLRequest(at("/slow")));
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return gate.entered() == 1; }));
    delegate->calls.clear();
    web->terminateWebContentProcessForTesting();
    EXPECT_FALSE(web->isLoading());
    EXPECT_THAT(delegate->calls, IsEmpty());
    host.settle();
    EXPECT_THAT(delegate->calls, ElementsAre("terminated"));
    EXPECT_THAT(pageTexts(web->scrollView()), IsEmpty());
    gate.open();
    host.settle();
    EXPECT_THAT(delegate->calls, ElementsAre("terminated"));
}

namespace {

// A screen that shows a page and is its web view's delegate, writing what it hears to a log that
// outlives it.
class PageScreen : public UIViewController, public WKNavigationDelegate {
public:
    PageScreen(std::shared_ptr<std::vector<std::string>> log, std::optional<URL> url)
        : log_(std::move(log)), url_(std::move(url)) {}
    void viewDidLoad() override {
        web_ = std::make_shared<WKWebView>(view()->bounds());
        web_->setNavigationDelegate(this);
        view()->addSubview(web_);
        web_->load(URLRequest(url_));
    }
    void didStartProvisionalNavigation(WKWebView*, const WKNavigationPtr&) override { log_->push_back("start"); }
    void didCommit(WKWebView*, const WKNavigationPtr&) override { log_->push_back("commit"); }
    void didFinish(WKWebView*, const WKNavigationPtr&) override { log_->push_back("finish"); }
    void didFailProvisionalNavigation(WKWebView*, const WKNavigationPtr&, const NSError&) override {
        log_->push_back("fail provisional");
    }
    void didFail(WKWebView*, const WKNavigationPtr&, const NSError&) override { log_->push_back("fail"); }

private:
    std::shared_ptr<std::vector<std::string>> log_;
    std::optional<URL> url_;
    std::shared_ptr<WKWebView> web_;
};

} // namespace

TEST_F(WKWebViewTest, AScreenPoppedMidLoadHearsNothingAndItsLoadIsCancelled) {
    server.setHandler([&](const RecordedRequest&, httplib::Response& response) {
        gate.wait();
        response.set_content("<p>Too late.</p>", "text/html");
    });
    auto log = std::make_shared<std::vector<std::string>>();
    auto nav = UINavigationController::withRoot(std::make_shared<UIViewController>());
    host.window()->setRootViewController(nav);
    host.settle();
    std::weak_ptr<UIViewController> screen;
    {
        auto page = std::make_shared<PageScreen>(log, at("/slow"));
        screen = page;
        nav->pushViewController(page, true);
    }
    host.settle();
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return gate.entered() == 1; }));
    EXPECT_THAT(*log, ElementsAre("start"));
    nav->popViewController(true);
    host.settle();
    EXPECT_TRUE(screen.expired());
    gate.open();
    host.settle();
    EXPECT_THAT(*log, ElementsAre("start"));
    EXPECT_EQ(server.requestsAt("/slow").size(), 1u);
}

} // namespace cw::test

namespace cw::test {

// A page nested deeper than any real document shows its text, read flat past the bound, and
// everything after it, as a browser shows it.
TEST_F(WKWebViewTest, APageNestedPastTheBoundShowsItsTextAndWhatFollowsIt) {
    std::string page = "<h1>Kangaroo care</h1>";
    for (int i = 0; i < 300; ++i)
        page += i % 2 ? "<div>" : "<span>";
    page += "<p>Hold her skin to skin.</p>Every <b>evening</b>.";
    for (int i = 299; i >= 0; --i)
        page += i % 2 ? "</div>" : "</span>";
    page += "<p>Ask your nurse first.</p>";
    server.reply("GET", "/deep", htmlReply(page));
    auto web = showWebView();
    web->load(URLRequest(at("/deep")));
    ASSERT_TRUE(waitUntilEnded());
    EXPECT_EQ(delegate->calls.back(), "finish");
    EXPECT_TRUE(host.isShowing("Kangaroo care"));
    EXPECT_TRUE(host.isShowing("Hold her skin to skin."));
    EXPECT_TRUE(host.isShowing("Every evening."));
    EXPECT_TRUE(host.isShowing("Ask your nurse first."));
}

// A frame of a page of thousands of paragraphs draws the few on screen, not the others.
TEST_F(WKWebViewTest, AFrameOfALongPageLaysOutOnlyTheParagraphsOnScreen) {
    std::string page;
    for (int i = 0; i < 3'000; ++i)
        page += "<p>Question " + std::to_string(i) + ": when can we hold her for the first time?</p>";
    server.reply("GET", "/long", htmlReply(page));
    auto web = showWebView();
    web->load(URLRequest(at("/long")));
    ASSERT_TRUE(waitUntilEnded());
    EXPECT_TRUE(host.isShowing("Question 0: when can we hold her for the first time?"));
    const std::size_t before = detail::shapedUnitCount();
    ASSERT_TRUE(host.drawFrame());
    EXPECT_LT(detail::shapedUnitCount() - before, 100u * 50) << "at most a hundred paragraphs' worth";
}

} // namespace cw::test
