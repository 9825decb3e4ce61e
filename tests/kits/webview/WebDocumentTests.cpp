#include "WebViewTestSupport.h"

#include "foundation/dispatch/RunLoop.h"
#include "kits/webview/WebDocument.h"
#include "uikit/controllers/UINavigationController.h"

#include <gmock/gmock.h>

using ::testing::ElementsAre;
using namespace cw::webview;

namespace cw::test {

TEST(WebDocument, HTMLIsScaledToSixteenPointBodyTextWithEverythingInProportion) {
    const auto doc = WebDocument::fromHTML(
        "<h2>Feeding</h2><p>Breast milk is <small>best</small>.<br><br>Ask us.</p><ul><li>Express often</li></ul>");
    std::vector<std::string> texts;
    for (const auto& b : doc.blocks)
        texts.push_back(b.text.string());
    EXPECT_THAT(texts, ElementsAre("Feeding", "Breast milk is best.", "", "Ask us.", "\t\u2022\tExpress often"));
    const auto font = [&](std::size_t block, std::size_t at = 0) {
        return doc.blocks[block].text.attributes(at).font->pointSize();
    };
    EXPECT_DOUBLE_EQ(font(1), 16);
    EXPECT_DOUBLE_EQ(font(0), 24) << "a second-level heading is one and a half times the body";
    EXPECT_NEAR(font(1, doc.blocks[1].text.utf16().find(u"best")), 16 * 0.83, 0.01);
    EXPECT_GT(doc.blocks[2].blankHeight, 16) << "a blank line is a line of body text high";
    EXPECT_DOUBLE_EQ(doc.blocks[3].spacingAfter, 16);
    EXPECT_DOUBLE_EQ(doc.blocks[0].spacingAfter, 16);
    const auto item = *doc.blocks[4].text.attributes(0).paragraphStyle;
    EXPECT_DOUBLE_EQ(item.headIndent, 48);
    EXPECT_EQ(item.tabStops.back(), 48);

    EXPECT_TRUE(WebDocument::fromHTML("").blocks.empty());
    EXPECT_TRUE(WebDocument::fromHTML("<html><head><title>t</title></head><body></body></html>").blocks.empty());
}

TEST(WebDocument, ContentTypesDecideHowAReplyShows) {
    const std::pair<std::optional<std::string>, WebContentKind> cases[] = {
        {"text/html", WebContentKind::html},          {"application/xhtml+xml", WebContentKind::html},
        {"text/plain", WebContentKind::plainText},    {"text/css", WebContentKind::plainText},
        {"application/json", WebContentKind::plainText}, {"image/png", WebContentKind::unsupported},
        {"application/pdf", WebContentKind::unsupported}, {"video/mp4", WebContentKind::unsupported},
    };
    for (const auto& [type, kind] : cases)
        EXPECT_EQ(webContentKind(type, "<p>x</p>"), kind) << *type;
    EXPECT_EQ(webContentKind(std::nullopt, "  \n<p>sniffed</p>"), WebContentKind::html);
    EXPECT_EQ(webContentKind(std::nullopt, "plain words"), WebContentKind::plainText);
    EXPECT_EQ(webContentKind(std::nullopt, ""), WebContentKind::html);

    const auto text = WebDocument::fromPlainText("a\r\n\r\n\tb");
    ASSERT_EQ(text.blocks.size(), 3u);
    EXPECT_EQ(text.blocks[0].text.string(), "a");
    EXPECT_GT(text.blocks[1].blankHeight, 0);
    EXPECT_EQ(text.blocks[2].text.string(), "\tb");
}

// A page costs what it lays out: a label per paragraph, a few kilobytes each. A page of more
// paragraphs, or more text, than any article is not laid out at all; one within the bounds is.
TEST(WebDocument, APageLaysOutNoMoreThanItsBounds) {
    auto paragraphs = [](std::size_t count, std::string_view markup) {
        std::string page;
        for (std::size_t i = 0; i < count; ++i)
            page += markup;
        return page;
    };
    const auto longest = WebDocument::fromHTML(paragraphs(kMaxPageBlocks, "<p>x</p>"));
    EXPECT_FALSE(longest.tooLong);
    EXPECT_EQ(longest.blocks.size(), kMaxPageBlocks);
    for (const auto& tooLong : {paragraphs(kMaxPageBlocks + 1, "<p>x</p>"), paragraphs(200'000, "<p>x</p>"),
                                paragraphs(60'000, "<b>x</b>"), "<p>" + std::string(2'000'000, 'x') + "</p>"}) {
        const auto page = WebDocument::fromHTML(tooLong);
        EXPECT_TRUE(page.tooLong) << tooLong.size();
        EXPECT_TRUE(page.blocks.empty());
    }

    EXPECT_FALSE(WebDocument::fromPlainText(paragraphs(kMaxPageBlocks, "x\n")).tooLong);
    for (const auto& tooLong : {paragraphs(kMaxPageBlocks + 1, "x\n"), paragraphs(kMaxPageBlocks + 1, "\n"),
                                std::string(2'000'000, 'x')}) {
        const auto page = WebDocument::fromPlainText(tooLong);
        EXPECT_TRUE(page.tooLong) << tooLong.size();
        EXPECT_TRUE(page.blocks.empty());
    }
}

// Markup nested far past the importer's bound (as deep as the element limit lets a page go) is
// read flat there: its text and what follows it show, in the style it stands in.
TEST(WebDocument, TextNestedPastTheBoundIsReadFlatAndWhatFollowsStays) {
    for (const int depth : {257, 40'000}) {
        SCOPED_TRACE(depth);
        std::string page = "<h1>Heading</h1><b>";
        for (int i = 0; i < depth; ++i)
            page += "<div>";
        page += "Deep <i>text</i><br>on two lines<p>A paragraph</p>";
        for (int i = 0; i < depth; ++i)
            page += "</div>";
        page += "</b><p>After</p>";
        const auto doc = WebDocument::fromHTML(page);
        std::vector<std::string> texts;
        for (const auto& b : doc.blocks)
            texts.push_back(b.text.string());
        EXPECT_THAT(texts, ElementsAre("Heading", "Deep text", "on two lines", "A paragraph", "After"));
        ASSERT_EQ(doc.blocks.size(), 5u);
        EXPECT_TRUE(doc.blocks[1].text.attributes(0).font->fontName().find("Bold") != std::string::npos)
            << "the style at the bound";
    }
}

namespace {

class EdgeToEdgePage : public UIViewController {
public:
    std::shared_ptr<WKWebView> web = std::make_shared<WKWebView>();
    void viewDidLoad() override {
        web->setTranslatesAutoresizingMaskIntoConstraints(false);
        view()->addSubview(web);
        NSLayoutConstraint::activate({web->topAnchor().constraintEqualTo(view()->topAnchor()),
                                      web->bottomAnchor().constraintEqualTo(view()->bottomAnchor()),
                                      web->leadingAnchor().constraintEqualTo(view()->leadingAnchor()),
                                      web->trailingAnchor().constraintEqualTo(view()->trailingAnchor())});
    }
};

} // namespace

// A page that fills a screen under a navigation bar starts below the bar and scrolls under it;
// turned to a narrower width it lays its paragraphs out again.
TEST(WebViewLayout, APageEdgeToEdgeStartsBelowTheBarAndFollowsTheWidth) {
    HeadlessHost host;
    auto app = std::make_shared<WhiteScreenApp>();
    host.launch(app);
    RecordingServer server;
    std::string body = "<h1>Long page</h1>";
    for (int i = 0; i < 40; ++i)
        body += "<p>Paragraph " + std::to_string(i) + " of the long page, long enough to wrap on a phone.</p>";
    server.reply("GET", "/long", htmlReply(body));
    auto page = std::make_shared<EdgeToEdgePage>();
    host.window()->setRootViewController(UINavigationController::withRoot(page));
    host.settle();
    auto delegate = std::make_shared<RecordingNavigationDelegate>();
    page->web->setNavigationDelegate(delegate);
    page->web->load(URLRequest(URL::fromString(server.base() + "/long")));
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return delegate->ended(); }));
    host.settle();

    EXPECT_EQ(page->web->frame(), host.window()->bounds()) << "edge to edge";
    const auto heading = host.findByText("Long page");
    ASSERT_TRUE(heading);
    EXPECT_EQ(heading->convert(heading->bounds(), host.window().get()).minY(), 64 + 16);
    const auto scroll = page->web->scrollView();
    EXPECT_EQ(scroll->contentOffset().y, -64);
    EXPECT_FALSE(host.isShowing("Paragraph 39 of the long page, long enough to wrap on a phone."));
    host.scroll(heading, {0, -100000});
    EXPECT_TRUE(host.isShowing("Paragraph 39 of the long page, long enough to wrap on a phone."));

    const CGFloat tall = scroll->contentSize().height;
    page->web->setFrame({0, 0, 200, 667});
    page->web->layoutIfNeeded();
    EXPECT_GT(scroll->contentSize().height, tall);
    EXPECT_EQ(pageLabels(scroll)[1]->frame().width(), 200 - 32);
}

} // namespace cw::test
