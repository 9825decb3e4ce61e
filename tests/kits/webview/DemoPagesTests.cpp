#include "WebViewTestSupport.h"

#include "foundation/dispatch/RunLoop.h"
#include "tests/support/DemoServer.h"
#include "tests/support/TempDirectory.h"

#include <gmock/gmock.h>

namespace cw::test {

// The demo server's own pages, as the terms and article screens show them: the terms' list items
// are found by their text, and an article's related link asks to open the item it names.
TEST(DemoPages, TheTermsAndAnArticleOfTheDemoServerShowAsTheScreensExpect) {
    TempDirectory directory{"cw-webview-demo"};
    DemoServer demo(directory.path());
    HeadlessHost host;
    auto app = std::make_shared<WhiteScreenApp>();
    host.launch(app);
    auto delegate = std::make_shared<RecordingNavigationDelegate>();
    delegate->policy = [](const WKNavigationAction& action) {
        return action.navigationType == WKNavigationType::linkActivated ? WKNavigationActionPolicy::cancel
                                                                        : WKNavigationActionPolicy::allow;
    };
    auto web = std::make_shared<WKWebView>(app->root->view()->bounds());
    web->setNavigationDelegate(delegate);
    app->root->view()->addSubview(web);
    host.settle();

    web->load(URLRequest(URL::fromString(demo.baseUrl() + "/m/api/tandc")));
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return delegate->ended(); }));
    host.settle();
    EXPECT_EQ(delegate->calls.back(), "finish");
    EXPECT_TRUE(host.isShowing("Terms of Use"));
    EXPECT_TRUE(host.isShowing("\t\u2022\tDo not share your password. You can change it at any time under My Account."));
    EXPECT_TRUE(host.isShowing("Questions? Ask at the unit's front desk."));

    delegate->calls.clear();
    web->load(URLRequest(URL::fromString(demo.baseUrl() + "/content/education/5")));
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return delegate->ended(); }));
    host.settle();
    EXPECT_EQ(delegate->calls.back(), "finish");
    EXPECT_TRUE(host.isShowing("Kangaroo care: skin to skin"));
    ASSERT_TRUE(host.tapLink("Your first hold"));
    EXPECT_EQ(delegate->calls.back(), "decide link cradleway://content/education/6");
}

} // namespace cw::test
