#include "ScreenFixture.h"

#include "Services/AuthenticationContext.h"
#include "foundation/dispatch/RunLoop.h"
#include "kits/banners/GSMessage.h"
#include "tests/support/WhiteScreenApp.h"
#include "uikit/graphics/UIImage.h"

#include <cmath>
#include <cstdio>

namespace cw::test {

void ScreenTest::SetUp() {
    environment = std::make_unique<AppEnvironment>("cw-registration");
    environment->writeInfo({{"SERVER_URL", server.base()},
                            {"CFBundleIdentifier", "org.cradleway.registration-tests"},
                            {"CFBundleShortVersionString", "1.4"},
                            {"CFBundleVersion", "27"}});
    UIImage::setResourceDirectory(generatedResourcesDirectory());
    AuthenticationContext::shared().setUser(nullptr);
    GSMessage::clearHistory();
}

void ScreenTest::TearDown() {
    RunLoop::main().runFor(0.05);
    navigation.reset();
    host.reset();
    environment.reset();
}

void ScreenTest::show(const UIViewControllerPtr& screen) {
    if (!host) {
        host = std::make_unique<cw::HeadlessHost>(screenSize);
        host->launch(std::make_shared<WhiteScreenApp>());
    }
    navigation = std::make_shared<UINavigationController>(screen);
    // Opaque, as the signed-out flow's: the screens stand below the bar.
    navigation->navigationBar()->isTranslucent = false;
    host->window()->setRootViewController(navigation);
    host->settle();
}

bool ScreenTest::waitFor(const std::function<bool()>& done, double seconds) {
    const bool ok = RunLoop::main().runUntil(done, seconds);
    host->settle();
    return ok;
}

bool ScreenTest::waitForOverlayToGo() {
    // The reply arrives on the network's thread in real time; the overlay leaves on the screen's
    // clock, which only a settle moves.
    for (int i = 0; i < 200; ++i) {
        host->settle();
        if (!showsOverlay(*host->window())) return true;
        RunLoop::main().runFor(0.05);
    }
    return false;
}

std::vector<nlohmann::json> ScreenTest::events() {
    std::vector<nlohmann::json> result;
    for (const auto& request : server.requestsAt("/m/api/analytics/")) {
        auto body = request.json();
        result.push_back({body["screen_name"], body["screen_action"], body["event_details"]});
    }
    return result;
}

std::string hexOf(const std::optional<UIColor>& color) {
    if (!color) return "none";
    char text[8];
    std::snprintf(text, sizeof text, "#%02X%02X%02X", static_cast<int>(std::lround(color->red() * 255)),
                  static_cast<int>(std::lround(color->green() * 255)),
                  static_cast<int>(std::lround(color->blue() * 255)));
    return text;
}

bool showsOverlay(const UIView& view) {
    if (view.isHidden()) return false;
    if (view.className() == "ActivityOverlayView") return true;
    for (const auto& child : view.subviews())
        if (showsOverlay(*child)) return true;
    return false;
}

CGRect ScreenTest::frameOnScreen(const UIView& view) {
    return view.convert(view.bounds(), static_cast<const UIView*>(nullptr));
}

} // namespace cw::test
