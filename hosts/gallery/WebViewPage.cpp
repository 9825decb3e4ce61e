// An article as the web view shows a page of the server: a heading, paragraphs with bold text and
// links, a picture no wider than the page and a list, under a navigation bar. The page and its
// picture are served from this process on the loopback interface, as the server would serve them.

#include "GalleryPage.h"
#include "LandscapePicture.h"

#include "foundation/defaults/Storage.h"
#include "foundation/dispatch/RunLoop.h"
#include "kits/images/ImageLoader.h"
#include "kits/webview/WKWebView.h"
#include "uikit/controllers/UINavigationController.h"

#include <httplib.h>

#include <thread>

namespace {

constexpr const char* kArticle = R"html(<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>Kangaroo care: skin to skin</title></head><body>
<h1>Kangaroo care: skin to skin</h1>
<p>Holding your baby <b>skin to skin</b> on your bare chest helps keep their temperature, breathing
and heart rate steady. Many parents say it calms them too. Read <a href="/content/education/6">Your
first hold</a> before you start.</p>
<p><img src="/static-files/images/hold.png" width="150" alt="A calm landscape"></p>
<h2>Before you start</h2>
<ul>
<li>Wear a shirt that opens at the front.</li>
<li>Plan to stay at least an hour, so your baby can settle.</li>
<li>Ask your nurse to help with the wires and tubes.</li>
</ul>
<p>Questions? Ask at the unit's front desk.</p>
</body></html>)html";

class Finished : public WKNavigationDelegate {
public:
    void didFinish(WKWebView*, const WKNavigationPtr&) override { ended = true; }
    void didFailProvisionalNavigation(WKWebView*, const WKNavigationPtr&, const NSError& e) override {
        ended = true;
        failure = e.localizedDescription();
    }
    bool ended = false;
    std::string failure;
};

bool drawWebView(cw::gallery::Context& context, std::string* error) {
    const Data picture = *cw::gallery::landscapePicture()->pngData();
    httplib::Server server;
    server.Get("/content/education/5", [](const httplib::Request&, httplib::Response& res) {
        res.set_content(kArticle, "text/html; charset=utf-8");
    });
    server.Get("/static-files/images/hold.png", [&](const httplib::Request&, httplib::Response& res) {
        res.set_content(std::string(picture.begin(), picture.end()), "image/png");
    });
    const int port = server.bind_to_any_port("127.0.0.1");
    if (port <= 0) {
        if (error) *error = "no port to serve the page on";
        return false;
    }
    std::thread serving([&] { server.listen_after_bind(); });
    // The picture is cached beside the gallery's other files, never in the member's caches.
    const auto caches = std::filesystem::temp_directory_path() / ("cw-gallery-web-" + std::to_string(port));
    cw::setCachesDirectory(caches);
    cw::images::ImageLoader::resetShared();

    auto screen = std::make_shared<UIViewController>();
    screen->setTitle("Article");
    auto web = std::make_shared<WKWebView>(screen->view()->bounds());
    web->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    screen->view()->addSubview(web);
    auto delegate = std::make_shared<Finished>();
    web->setNavigationDelegate(delegate);
    context.host.window()->setRootViewController(UINavigationController::withRoot(screen));
    context.host.settle();
    web->load(URLRequest(URL::fromString("http://127.0.0.1:" + std::to_string(port) + "/content/education/5")));
    const bool ended = RunLoop::main().runUntil([&] { return delegate->ended; });
    context.host.settle();
    bool ok = ended && delegate->failure.empty();
    if (!ok && error) *error = ended ? "the page did not load: " + delegate->failure : "the page did not load in time";
    if (ok) ok = context.host.screenshot(context.outputDirectory / "webview-article.png", error);

    context.host.window()->setRootViewController(nullptr);
    server.stop();
    serving.join();
    cw::images::ImageLoader::resetShared();
    cw::setCachesDirectory(std::nullopt);
    std::error_code ec;
    std::filesystem::remove_all(caches, ec);
    return ok;
}

cw::gallery::Registration webView{"webview", drawWebView};

} // namespace
