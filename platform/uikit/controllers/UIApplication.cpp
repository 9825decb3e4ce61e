#include "uikit/controllers/UIApplication.h"

#include "foundation/dispatch/DispatchQueue.h"
#include "uikit/controllers/UIWindow.h"
#include "uikit/controls/UIEvent.h"

#include <algorithm>

UIApplication& UIApplication::shared() {
    // Never destroyed: the delegate and windows it holds may still reach it while the process ends.
    static UIApplication* app = new UIApplication();
    return *app;
}

std::vector<std::shared_ptr<UIWindow>> UIApplication::windows() const {
    std::vector<std::shared_ptr<UIWindow>> result;
    for (const auto& w : windows_)
        if (auto s = w.lock()) result.push_back(s);
    return result;
}

void UIApplication::addWindow(const std::shared_ptr<UIWindow>& window) {
    for (const auto& w : windows_)
        if (w.lock() == window) return;
    windows_.push_back(window);
}

void UIApplication::removeWindow(const UIWindow* window) {
    windows_.erase(std::remove_if(windows_.begin(), windows_.end(),
                                  [window](const std::weak_ptr<UIWindow>& w) {
                                      auto s = w.lock();
                                      return !s || s.get() == window;
                                  }),
                   windows_.end());
}

bool UIApplication::canOpenURL(const std::string& url) const {
    const auto colon = url.find(':');
    if (colon == std::string::npos || colon == 0) return false;
    std::string scheme = url.substr(0, colon);
    std::transform(scheme.begin(), scheme.end(), scheme.begin(),
                   [](unsigned char c) { return std::tolower(c); });
    return host_.openableSchemes.count(scheme) > 0;
}

void UIApplication::open(const std::string& url, std::function<void(bool)> completion) {
    const bool ok = canOpenURL(url);
    if (ok) opened_.push_back(url);
    if (completion) DispatchQueue::main().async([completion = std::move(completion), ok] { completion(ok); });
}

void UIApplication::registerForRemoteNotifications() {
    ++remoteRegistrations_;
    DispatchQueue::main().async([this] {
        auto d = delegate_;
        if (host_.registrationError) {
            registeredForRemote_ = false;
            if (d) d->didFailToRegisterForRemoteNotificationsWithError(*this, *host_.registrationError);
            return;
        }
        registeredForRemote_ = true;
        if (d) d->didRegisterForRemoteNotificationsWithDeviceToken(*this, host_.deviceToken);
    });
}

void UIApplication::unregisterForRemoteNotifications() {
    registeredForRemote_ = false;
}

void UIApplication::registerUserNotificationSettings(const UIUserNotificationSettings& settings) {
    UIUserNotificationSettings granted = settings;
    if (!host_.notificationsAllowed) granted.types = UIUserNotificationTypeNone;
    settings_ = granted;
    DispatchQueue::main().async([this, granted] {
        if (auto d = delegate_) d->didRegisterUserNotificationSettings(*this, granted);
    });
}

void UIApplication::sendResignFirstResponder() {
    if (UIResponder* r = UIResponder::currentFirstResponder()) r->resignFirstResponder();
}

void UIApplication::reset() {
    delegate_.reset();
    windows_.clear();
    keyWindow_.reset();
    state_ = UIApplicationState::inactive;
    badge_ = 0;
    networkIndicator_ = false;
    opened_.clear();
    registeredForRemote_ = false;
    remoteRegistrations_ = 0;
    settings_.reset();
    host_ = HostSettings{};
}

namespace cw {

namespace {
void post(const NotificationName& name) {
    NotificationCenter::defaultCenter().post(name, &UIApplication::shared());
}
} // namespace

bool ApplicationLifecycle::launch(const std::shared_ptr<UIApplicationDelegate>& delegate,
                                  const LaunchOptions& options) {
    auto& app = UIApplication::shared();
    app.setDelegate(delegate);
    app.setState(UIApplicationState::inactive);
    bool ok = true;
    if (delegate) ok = delegate->didFinishLaunchingWithOptions(app, options);
    post(UIApplicationDidFinishLaunchingNotification);
    becomeActive();
    return ok;
}

void ApplicationLifecycle::becomeActive() {
    auto& app = UIApplication::shared();
    if (app.applicationState() == UIApplicationState::active) return;
    app.setState(UIApplicationState::active);
    if (auto d = app.delegate()) d->applicationDidBecomeActive(app);
    post(UIApplicationDidBecomeActiveNotification);
}

void ApplicationLifecycle::resignActive() {
    auto& app = UIApplication::shared();
    if (app.applicationState() != UIApplicationState::active) return;
    // The system takes the screen over: fingers that are down no longer count, and the views they
    // began on hear that their touches were cancelled.
    cw::cancelAllTouches();
    if (auto d = app.delegate()) d->applicationWillResignActive(app);
    post(UIApplicationWillResignActiveNotification);
    app.setState(UIApplicationState::inactive);
}

void ApplicationLifecycle::enterBackground() {
    auto& app = UIApplication::shared();
    if (app.applicationState() == UIApplicationState::background) return;
    resignActive();
    app.setState(UIApplicationState::background);
    if (auto d = app.delegate()) d->applicationDidEnterBackground(app);
    post(UIApplicationDidEnterBackgroundNotification);
}

void ApplicationLifecycle::leaveBackground() {
    auto& app = UIApplication::shared();
    if (app.applicationState() != UIApplicationState::background) return;
    app.setState(UIApplicationState::inactive);
    if (auto d = app.delegate()) d->applicationWillEnterForeground(app);
    post(UIApplicationWillEnterForegroundNotification);
}

void ApplicationLifecycle::enterForeground() {
    leaveBackground();
    becomeActive();
}

void ApplicationLifecycle::terminate() {
    auto& app = UIApplication::shared();
    if (auto d = app.delegate()) d->applicationWillTerminate(app);
    post(UIApplicationWillTerminateNotification);
}

} // namespace cw
