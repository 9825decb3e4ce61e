#include "SignInFixture.h"

#include "foundation/defaults/UserDefaults.h"
#include "foundation/dispatch/RunLoop.h"
#include "kits/banners/GSMessage.h"
#include "security/biometrics/LAContext.h"
#include "uikit/controllers/UIAppearance.h"

#include <chrono>
#include <iostream>

namespace cw::test {

void SignInTest::SetUp() {
    savedCout_ = std::cout.rdbuf(console.rdbuf());
    environment = std::make_unique<AppEnvironment>("cw-signin");
    auto options = DemoServer::quietOptions();
    serverConsole_.attach(options);
    options.clock = [this] {
        const auto now = std::chrono::system_clock::now().time_since_epoch();
        return std::chrono::duration_cast<std::chrono::seconds>(now).count() + serverClockAhead.load();
    };
    demo = std::make_unique<DemoServer>(environment->directory() / "server", options);
    prepareBundle(*environment, demo->baseUrl(), "org.cradleway.signin-tests");
    forgetSession();
    cw::setBiometricAnswers({});
    GSMessage::clearHistory();
}

void SignInTest::TearDown() {
    end();
    demo.reset();
    environment.reset();
    cw::setBiometricAnswers({});
    UINavigationController::setAutorotationAnswer(std::nullopt);
    std::cout.rdbuf(savedCout_);
}

void SignInTest::end() {
    // Nothing of this run may still be on its way.
    RunLoop::main().runFor(0.05);
    app.reset();
    host.reset();
    forgetSession();
    UIAppearance::reset();
}

std::shared_ptr<AppDelegate> SignInTest::launch() {
    if (!host) host = std::make_unique<cw::HeadlessHost>(screenSize);
    app = std::make_shared<AppDelegate>();
    host->launch(app);
    return app;
}

void SignInTest::relaunch() {
    end();
    UserDefaults::resetStandard();
    launch();
}

std::shared_ptr<AuthenticationFlowController> SignInTest::flow() const {
    return app ? app->authenticationController() : nullptr;
}

UIViewControllerPtr SignInTest::top() const {
    auto shown = host->topViewController();
    return shown == UIViewControllerPtr(flow()) ? flow()->topViewController() : shown;
}

bool SignInTest::showsMainInterface() const {
    return app && host->window()->rootViewController() == UIViewControllerPtr(app->appController());
}

bool SignInTest::waitFor(const std::function<bool()>& done, double seconds) {
    // Replies come in real time, while fades and banners run on the host's clock: turn both.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    for (;;) {
        RunLoop::main().runUntil(done, 0.05);
        host->settle();
        if (done()) return true;
        if (std::chrono::steady_clock::now() > deadline) return false;
    }
}

bool SignInTest::waitForText(const std::string& text, double seconds) {
    return waitFor([&] { return host->isShowing(text); }, seconds);
}

void SignInTest::typeInto(const std::string& identifier, const std::string& text) {
    ASSERT_TRUE(host->tapIdentifier(identifier)) << identifier;
    ASSERT_TRUE(host->type(text)) << identifier;
}

void SignInTest::signIn(const std::string& email, const std::string& password) {
    typeInto("emailTextField", email);
    typeInto("passwordField", password);
    ASSERT_TRUE(host->tapText("Sign In"));
}

std::vector<StoredEvent> SignInTest::events() const {
    return storedEvents(*demo);
}

std::vector<StoredEvent> SignInTest::eventsOf(const std::string& screen) const {
    std::vector<StoredEvent> result;
    for (auto& e : events())
        if (e.screen == screen) result.push_back(e);
    return result;
}

std::size_t SignInTest::countEvents(const std::string& screen, const std::string& action) const {
    std::size_t count = 0;
    for (const auto& e : eventsOf(screen))
        if (e.action == action) ++count;
    return count;
}

bool SignInTest::waitForEvent(const std::string& screen, const std::string& action, const std::string& key) {
    return waitFor([&] {
        for (const auto& e : eventsOf(screen))
            if (e.action == action && (key.empty() || e.details.contains(key))) return true;
        return false;
    });
}

nlohmann::json SignInTest::detailsWith(const std::string& screen, const std::string& key) const {
    for (const auto& e : eventsOf(screen))
        if (e.details.contains(key)) return e.details;
    return nullptr;
}

std::vector<std::string> SignInTest::consoleLines() const {
    return serverConsole_.lines();
}

std::optional<std::string> SignInTest::temporaryPassword(const std::string& email) const {
    const std::string marker = "temporary password ";
    for (const auto& line : consoleLines()) {
        auto at = line.find(marker);
        if (at == std::string::npos || line.find(" for " + email) == std::string::npos) continue;
        const auto start = at + marker.size();
        return line.substr(start, line.find(' ', start) - start);
    }
    return std::nullopt;
}

} // namespace cw::test
