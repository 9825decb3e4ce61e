#include "Services/AuthenticationContext.h"

#include "Extensions/UIColor+Palette.h"
#include "Services/BaseHTTPService.h"
#include "Services/KeychainConfiguration.h"
#include "Services/KeychainPasswordItem.h"
#include "Services/RetryService.h"
#include "foundation/archive/NSKeyedArchiver.h"
#include "foundation/bundle/Bundle.h"
#include "foundation/defaults/UserDefaults.h"
#include "net/AFURLRequestSerialization.h"
#include "net/HTTPCookieStorage.h"

#include <array>
#include <cstddef>
#include <iostream>

namespace {

constexpr const char* userKey = "userKey";
constexpr const char* babyKey = "babyKey";
constexpr const char* tokenKey = "token";
constexpr const char* refreshTokenKey = "refreshToken";
constexpr const char* filterSelectionKey = "filterSelectionKey";
constexpr const char* touchIDKey = "touchIDKey";
constexpr const char* hasSeenTutorialKey = "hasSeenTutorialKey";
// The server's name for this phone, set at a sign-in.
constexpr const char* kDeviceCookie = "cw_device";

// Each group alternates between its two colours; a fifth baby of a group starts the pair again.
class ColourCycle {
public:
    ColourCycle(const char* first, const char* second)
        : colours_{UIColorWithHex(first, 1.0), UIColorWithHex(second, 1.0)} {}
    UIColor next() { return colours_[next_++ % colours_.size()]; }

private:
    std::array<UIColor, 2> colours_;
    std::size_t next_ = 0;
};

} // namespace

NSError AuthenticationContext::errorObject(Error error) {
    return NSError("Cradleway.AuthenticationContext.Error", static_cast<std::int64_t>(error));
}

AuthenticationContext& AuthenticationContext::shared() {
    static AuthenticationContext instance;
    return instance;
}

void AuthenticationContext::rememberMember(const std::string& email, const std::string& password) {
    UserDefaults::standard().setObject(UserDefaults::Value(email), kUsernameKey);
    try {
        KeychainPasswordItem(KeychainConfiguration::serviceName, email, KeychainConfiguration::accessGroup)
            .savePassword(password);
    } catch (const KeychainPasswordItem::KeychainError& error) {
        std::cout << "Keychain: the password was not saved: " << error.what() << std::endl;
    }
}

void AuthenticationContext::save(const std::shared_ptr<UserData>& user) {
    setUser(user);
    auto& defaults = UserDefaults::standard();
    if (user)
        defaults.setObject(NSKeyedArchiver::archivedDataWithRootObject(user), userKey);
    else
        defaults.removeObjectForKey(userKey);
    defaults.synchronize();
}

void AuthenticationContext::logout() {
    // Ended before anything else is undone: what the steps below set off (a cancelled renewal, the
    // delegate's screens going) already finds the session over.
    ++generation_;
    if (this == &shared()) {
        RetryService::shared().abandon();
        BaseHTTPService::releaseEndedRequests();
    }
    // Nothing is sent in her name afterwards: events and reports carry no member until the next one
    // signs in.
    setUser(nullptr);
    setSelectedBabyId(std::nullopt);
    setOAuthToken(std::nullopt);
    setOAuthRefreshToken(std::nullopt);
    // The server ties what this device proved (an invitation check, a record-number look-up) to its
    // cookies: whoever registers or signs in next must not present the last member's. Only the cookie
    // that names the phone stays: it holds nothing of hers, and keeps the phone's sign-ins to the
    // accounts signed in on it from being slowed by anybody else's wrong passwords.
    HTTPCookieStorage::shared()->deleteCookiesExcept(kDeviceCookie);
    auto& defaults = UserDefaults::standard();
    const bool touchID = defaults.boolForKey(touchIDKey);
    const std::optional<std::string> username = defaults.stringForKey(kUsernameKey);
    if (const std::optional<std::string> identifier = Bundle::main().bundleIdentifier()) {
        defaults.removePersistentDomainForName(*identifier);
        defaults.setBool(true, hasSeenTutorialKey);
        defaults.synchronize();
        defaults.setBool(touchID, touchIDKey);
        if (username) defaults.setObject(*username, kUsernameKey);
    }
    // Whoever ends the session (the side menu, a refused token refresh), the screens of the member
    // who was signed in go with it: they would show nothing but empty lists from now on.
    if (auto delegate = this->delegate().lock()) delegate->authenticationContextDidEndSession(*this);
}

std::uint64_t AuthenticationContext::beginSignIn() {
    if (user() && oAuthToken()) {
        logout();
    } else {
        ++generation_;
        if (this == &shared()) BaseHTTPService::releaseEndedRequests();
    }
    return generation_.load();
}

void AuthenticationContext::loadTokens() {
    auto& defaults = UserDefaults::standard();
    if (auto refresh = defaults.stringForKey(refreshTokenKey)) setOAuthRefreshToken(std::move(refresh));
    if (auto access = defaults.stringForKey(tokenKey)) setOAuthToken(std::move(access));
}

void AuthenticationContext::loadUser() {
    auto data = UserDefaults::standard().dataForKey(userKey);
    if (!data) return;
    if (auto user = NSKeyedUnarchiver::unarchiveObjectWithData<UserData>(*data)) setUser(std::move(user));
}

void AuthenticationContext::login(const std::optional<JSON>& response) {
    if (!response) return;
    const auto reply = response->dictionary();
    if (!reply) return;
    updateTokens(response);

    if (auto user = reply->find("user"); user != reply->end()) {
        if (auto record = UserData::initWithResponseObject(user->second)) save(record);
    }
    if (auto babies = reply->find("babies"); babies != reply->end()) {
        if (auto list = babies->second.array()) {
            std::vector<std::shared_ptr<BabyData>> records;
            for (const auto& element : *list)
                if (auto baby = BabyData::initWithResponseObject(element)) records.push_back(std::move(baby));
            save(records);
        }
    }
    if (user() && oAuthToken()) {
        if (auto delegate = this->delegate().lock()) delegate->authenticationContextDidStartSession(*this);
    }
}

namespace {

// The reply's "tokens": both texts, or nothing.
std::optional<SessionTokens> tokensOf(const std::optional<JSON>& response) {
    if (!response || !response->dictionary()) return std::nullopt;
    const JSON tokens = (*response)["tokens"];
    if (!tokens.dictionary()) return std::nullopt;
    auto access = tokens["access_token"].string();
    auto refresh = tokens["refresh_token"].string();
    if (!access || !refresh) return std::nullopt;
    return SessionTokens{std::move(access), std::move(refresh)};
}

} // namespace

void AuthenticationContext::updateTokens(const std::optional<JSON>& response) {
    const auto tokens = tokensOf(response);
    if (!tokens) return;
    auto& defaults = UserDefaults::standard();
    setOAuthToken(*tokens->accessToken);
    defaults.setObject(*tokens->accessToken, tokenKey);
    setOAuthRefreshToken(*tokens->refreshToken);
    defaults.setObject(*tokens->refreshToken, refreshTokenKey);
}

bool AuthenticationContext::holdsSession(const std::optional<JSON>& response) {
    return tokensOf(response) && UserData::initWithResponseObject((*response)["user"]) != nullptr;
}

std::vector<std::shared_ptr<BabyData>> AuthenticationContext::babies() const {
    auto data = UserDefaults::standard().dataForKey(babyKey);
    if (!data) return {};
    auto list = NSKeyedUnarchiver::unarchiveValueWithData<std::vector<std::shared_ptr<BabyData>>>(*data);
    return list ? std::move(*list) : std::vector<std::shared_ptr<BabyData>>{};
}

void AuthenticationContext::save(const std::vector<std::shared_ptr<BabyData>>& babies) {
    ColourCycle boys("#86C5F4", "#96D9EA");
    ColourCycle girls("#EFACE1", "#F2B1C3");
    for (const auto& baby : babies) {
        if (!baby) continue;
        baby->setBackgroundColor(baby->gender() == Gender::Male ? boys.next() : girls.next());
    }
    auto& defaults = UserDefaults::standard();
    defaults.setObject(NSKeyedArchiver::archivedDataWithRootObject(babies), babyKey);
    defaults.synchronize();
}

FilterSelection AuthenticationContext::defaultFilterSelection() {
    return FilterSelection({}, false, true, false, false);
}

FilterSelection AuthenticationContext::loadFilterSelection() const {
    if (auto data = UserDefaults::standard().dataForKey(filterSelectionKey)) {
        if (auto selection = NSKeyedUnarchiver::unarchiveObjectWithData<FilterSelection>(*data))
            return *selection;
    }
    return defaultFilterSelection();
}

void AuthenticationContext::saveFilterSelection(const FilterSelection& selection) {
    auto& defaults = UserDefaults::standard();
    defaults.setObject(NSKeyedArchiver::archivedDataWithRootObject(selection), filterSelectionKey);
    defaults.synchronize();
}

std::optional<std::string> AuthenticationContext::memberPageQuery() const {
    const auto member = user();
    if (!member) return std::nullopt;
    std::string query = "?user_id=" + std::to_string(member->id());
    if (const auto token = oAuthToken()) query += "&access_token=" + cw::percentEscapeQueryComponent(*token);
    return query;
}
