// The content page opens pages only on the server's own origin: a related link of the application's
// scheme whose path, put after the server's address, names another host loads nothing there, since
// every page goes with the member's token, and the member is told.

#include "EducationFixture.h"

#include "Controllers/Education/EducationContentWebViewController.h"
#include "foundation/dispatch/RunLoop.h"
#include "kits/banners/GSMessage.h"
#include "tests/support/RecordingServer.h"

namespace cw::test {
namespace {

TEST_F(EducationTest, ARelatedLinkNamingAnotherHostLoadsNothingThereAndThePageStays) {
    RecordingServer elsewhere;
    server->server()
        .state()
        .pool->acquire()
        ->prepare("UPDATE education_content SET article_html = article_html || ? WHERE id = 6")
        .with("<p>Also: <a href=\"cradleway:/@127.0.0.1:" + std::to_string(elsewhere.port()) +
              "/steal\">A stranger's page</a></p>")
        .run();
    auto page = std::make_shared<EducationContentWebViewController>(6, std::nullopt, false, std::nullopt, nullptr);
    mainNavigation()->pushViewController(page, false);
    waitForText("Also: A stranger's page");
    ASSERT_TRUE(page->webView()->request() && page->webView()->request()->url);
    const std::string shown = page->webView()->request()->url->absoluteString();
    EXPECT_TRUE(shown.starts_with(server->baseUrl() + "/content/education/6?")) << shown;

    GSMessage::clearHistory();
    ASSERT_TRUE(host->tapLink("A stranger's page"));
    RunLoop::main().runFor(0.3);
    host->settle();
    ASSERT_EQ(GSMessage::history().size(), 1u);
    EXPECT_EQ(GSMessage::history()[0].text, "Unexpected error loading content. Please try again.");
    EXPECT_EQ(elsewhere.requestCount(), 0u) << "the member's token went to another host";
    EXPECT_EQ(page->webView()->request()->url->absoluteString(), shown);
    EXPECT_EQ(topScreen(), page);
}

} // namespace
} // namespace cw::test
