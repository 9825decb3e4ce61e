#include "WebViewTestSupport.h"

#include "foundation/defaults/Storage.h"
#include "foundation/dispatch/RunLoop.h"
#include "kits/images/ImageLoader.h"
#include "tests/support/TempDirectory.h"
#include "uikit/view/UIImageView.h"

#include <gmock/gmock.h>

using ::testing::ElementsAre;

namespace cw::test {

namespace {

std::string png(int width, int height) {
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * height, 0xFF3366CC);
    const Data bytes = *UIImage::fromPixels(width, height, 1, pixels.data())->pngData();
    return std::string(bytes.begin(), bytes.end());
}

class WebViewPictureTest : public ::testing::Test {
protected:
    void SetUp() override {
        cw::setCachesDirectory(caches.path());
        images::ImageLoader::resetShared();
        host.launch(app);
        web = std::make_shared<WKWebView>(app->root->view()->bounds());
        web->setNavigationDelegate(delegate);
        app->root->view()->addSubview(web);
        host.settle();
    }
    void TearDown() override {
        images::ImageLoader::resetShared();
        cw::setCachesDirectory(std::nullopt);
    }
    std::optional<URL> at(const std::string& path) const { return URL::fromString(server.base() + path); }

    TempDirectory caches{"cw-webview-pictures"};
    HeadlessHost host;
    std::shared_ptr<WhiteScreenApp> app = std::make_shared<WhiteScreenApp>();
    std::shared_ptr<RecordingNavigationDelegate> delegate = std::make_shared<RecordingNavigationDelegate>();
    // Before the server, which is stopped first: its handlers may still be leaving the gate.
    ReplyGate gate;
    RecordingServer server;
    std::shared_ptr<WKWebView> web;
};

} // namespace

TEST_F(WebViewPictureTest, PicturesComeThroughTheLoaderNoWiderThanThePageAndThePageFinishesAfterThem) {
    server.reply("GET", "/article/1", htmlReply(R"(<h1>Skin to skin</h1>
<p>Before the picture. <img src="/pictures/wide.png" alt="A parent holding a baby"> After it.
<img src="small.png"></p><p><img src="/pictures/gone.png" width="100" height="50"><img src="data:x"></p>)"));
    server.reply("GET", "/pictures/wide.png", Reply{200, png(800, 400), "image/png"});
    server.reply("GET", "/article/small.png", Reply{200, png(40, 30), "image/png"});
    server.reply("GET", "/pictures/gone.png", Reply{404, "", "text/plain"});
    server.setHandler([&](const RecordedRequest& request, httplib::Response&) {
        if (request.path == "/pictures/wide.png") gate.wait();
    });
    web->load(URLRequest(at("/article/1")));
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return gate.entered() == 1; }));
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return server.requestsAt("/pictures/gone.png").size() == 1; }));
    host.settle();
    EXPECT_THAT(delegate->calls, ElementsAre("decide other " + at("/article/1")->absoluteString(), "start", "commit"))
        << "the page waits for its pictures";
    EXPECT_TRUE(web->isLoading());
    EXPECT_THAT(pageTexts(web->scrollView()),
                ElementsAre("Skin to skin", "Before the picture.", "After it."));

    gate.open();
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return delegate->ended(); }));
    host.settle();
    EXPECT_EQ(delegate->calls.back(), "finish");
    const auto pictures = viewsOf<UIImageView>(web->scrollView());
    ASSERT_EQ(pictures.size(), 4u);
    EXPECT_EQ(pictures[0]->frame(), CGRect(16, pictures[0]->frame().minY(), 343, 171.5)) << "as wide as the page";
    EXPECT_EQ(pictures[1]->frame().size, (CGSize{40, 30})) << "its own size";
    EXPECT_EQ(pictures[2]->frame().size, (CGSize{100, 50})) << "a picture that did not come keeps its given size";
    EXPECT_FALSE(pictures[2]->image());
    EXPECT_EQ(pictures[3]->frame().size, (CGSize{0, 0}));
    const auto labels = pageLabels(web->scrollView());
    EXPECT_GE(pictures[0]->frame().minY(), labels[1]->frame().maxY());
    EXPECT_GE(labels[2]->frame().minY(), pictures[0]->frame().maxY()) << "the text after a picture goes below it";
}

// A page of many large pictures (a hostile server's hundreds of 1334 × 1334 pictures in a few
// kilobytes each) holds only those on screen or near it: the others stay in the image loader's
// cache, within its budget, and come back as they scroll near. Each keeps its place meanwhile.
TEST_F(WebViewPictureTest, APageHoldsOnlyThePicturesNearTheScreen) {
    constexpr int kPictures = 40;
    std::string page = "<p>Many pictures.</p>";
    for (int i = 0; i < kPictures; ++i) {
        const std::string path = "/pictures/" + std::to_string(i) + ".png";
        page += "<p><img src=\"" + path + "\"></p>";
        server.reply("GET", path, Reply{200, png(300, 300), "image/png"});
    }
    server.reply("GET", "/album", htmlReply(page));
    web->load(URLRequest(at("/album")));
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return delegate->ended(); }, 60));
    host.settle();
    EXPECT_EQ(delegate->calls.back(), "finish");
    auto held = [&] {
        std::vector<std::size_t> indices;
        const auto pictures = viewsOf<UIImageView>(web->scrollView());
        for (std::size_t i = 0; i < pictures.size(); ++i)
            if (pictures[i]->image()) indices.push_back(i);
        return indices;
    };
    const auto pictures = viewsOf<UIImageView>(web->scrollView());
    ASSERT_EQ(pictures.size(), std::size_t{kPictures});
    for (const auto& picture : pictures)
        EXPECT_EQ(picture->frame().size, (CGSize{300, 300})) << "every picture keeps its place";
    // A screen of 667 points shows two or three pictures, and a screen below holds two more.
    const auto atTop = held();
    ASSERT_FALSE(atTop.empty());
    EXPECT_EQ(atTop.front(), 0u);
    EXPECT_LE(atTop.size(), 6u);

    // Scrolled to the end: the last pictures come back from the cache, the first go.
    web->scrollView()->setContentOffset(web->scrollView()->maximumContentOffset());
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return pictures.back()->image() != nullptr; }, 30));
    host.settle();
    const auto atEnd = held();
    EXPECT_EQ(atEnd.back(), std::size_t{kPictures - 1});
    EXPECT_LE(atEnd.size(), 6u);
    EXPECT_FALSE(pictures.front()->image());
    EXPECT_EQ(server.requestsAt("/pictures/39.png").size(), 1u) << "fetched once, kept by the loader";
}

TEST_F(WebViewPictureTest, StoppingWhilePicturesLoadFailsTheCommittedPage) {
    server.reply("GET", "/article/2", htmlReply(R"(<p>Text. <img src="/pictures/slow.png"></p>)"));
    server.setHandler([&](const RecordedRequest& request, httplib::Response& response) {
        if (request.path != "/pictures/slow.png") return;
        gate.wait();
        response.set_content(png(4, 4), "image/png");
    });
    web->load(URLRequest(at("/article/2")));
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return gate.entered() == 1; }));
    web->stopLoading();
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return delegate->ended(); }));
    EXPECT_EQ(delegate->calls.back(), "fail " + std::to_string(NSURLErrorCancelled));
    EXPECT_TRUE(host.isShowing("Text."));
    gate.open();
    host.settle();
    EXPECT_EQ(delegate->calls.back(), "fail " + std::to_string(NSURLErrorCancelled));
}

} // namespace cw::test
