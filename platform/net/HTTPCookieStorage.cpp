#include "net/HTTPCookieStorage.h"

#include "foundation/defaults/Storage.h"
#include "foundation/time/Clock.h"
#include "foundation/url/URL.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <iostream>
#include <stdexcept>

namespace {

using json = nlohmann::json;

constexpr const char* kFormat = "cradleway-cookies";
constexpr int kVersion = 1;

bool sameCookie(const HTTPCookie& a, const HTTPCookie& b) {
    return a.name == b.name && a.scheme == b.scheme && a.host == b.host && a.port == b.port &&
           a.path == b.path;
}

bool pathMatches(const std::string& requestPath, const std::string& cookiePath) {
    if (requestPath == cookiePath) return true;
    return requestPath.starts_with(cookiePath) &&
           (cookiePath.ends_with('/') || requestPath[cookiePath.size()] == '/');
}

json encode(const HTTPCookie& cookie) {
    return {{"name", cookie.name},          {"value", cookie.value},   {"scheme", cookie.scheme},
            {"host", cookie.host},          {"port", cookie.port},     {"path", cookie.path},
            {"expires", *cookie.expiresAt}, {"secure", cookie.secure}, {"httpOnly", cookie.httpOnly},
            {"created", cookie.createdAt}};
}

HTTPCookie decode(const json& entry) {
    HTTPCookie cookie;
    cookie.name = entry.at("name").get<std::string>();
    cookie.value = entry.at("value").get<std::string>();
    cookie.scheme = entry.at("scheme").get<std::string>();
    cookie.host = entry.at("host").get<std::string>();
    cookie.port = entry.at("port").get<int>();
    cookie.path = entry.at("path").get<std::string>();
    cookie.expiresAt = entry.at("expires").get<double>();
    cookie.secure = entry.at("secure").get<bool>();
    cookie.httpOnly = entry.at("httpOnly").get<bool>();
    cookie.createdAt = entry.at("created").get<double>();
    return cookie;
}

// The cookies of a file's text; throws when it is not a cookies file of this version.
std::vector<HTTPCookie> decodeFile(const std::string& text) {
    const json root = json::parse(text);
    if (!root.is_object() || root.value("format", "") != kFormat)
        throw std::runtime_error("not a cookies file");
    if (!root.contains("version") || root["version"] != kVersion) throw std::runtime_error("unknown version");
    std::vector<HTTPCookie> cookies;
    for (const auto& entry : root.at("cookies"))
        cookies.push_back(decode(entry));
    return cookies;
}

// The store every request uses; replaced whole, so that a request under way keeps the one it took.
struct SharedStore {
    std::mutex mutex;
    std::shared_ptr<HTTPCookieStorage> store;
};

SharedStore& sharedStore() {
    static SharedStore shared;
    return shared;
}

} // namespace

std::shared_ptr<HTTPCookieStorage> HTTPCookieStorage::shared() {
    auto& shared = sharedStore();
    std::lock_guard lock(shared.mutex);
    if (!shared.store) shared.store = std::make_shared<HTTPCookieStorage>();
    return shared.store;
}

void HTTPCookieStorage::setSharedStorageFile(std::optional<std::filesystem::path> file) {
    auto store = std::make_shared<HTTPCookieStorage>(std::move(file)); // loaded before the lock is taken
    auto& shared = sharedStore();
    std::lock_guard lock(shared.mutex);
    shared.store = std::move(store);
}

HTTPCookieStorage::HTTPCookieStorage(std::optional<std::filesystem::path> file) : file_(std::move(file)) {
    if (file_) load();
}

void HTTPCookieStorage::load() {
    const auto contents = cw::readWholeFile(*file_);
    if (contents.state == cw::FileContents::State::missing) return;
    std::string problem = contents.error;
    if (contents.state == cw::FileContents::State::read) {
        try {
            cookies_ = decodeFile(contents.bytes);
            dropExpiredLocked(Clock::now());
            return;
        } catch (const std::exception& error) {
            problem = error.what();
        }
    }
    writable_ = cw::moveAside(*file_, "the cookies file", problem).has_value();
}

void HTTPCookieStorage::dropExpiredLocked(double now) {
    std::erase_if(cookies_, [now](const HTTPCookie& cookie) { return cookie.expired(now); });
}

bool HTTPCookieStorage::saveLocked() {
    if (!file_ || !writable_) return false;
    json list = json::array();
    for (const auto& cookie : cookies_)
        if (cookie.expiresAt) list.push_back(encode(cookie));
    const json root{{"format", kFormat}, {"version", kVersion}, {"cookies", std::move(list)}};
    std::string error;
    if (!cw::writeFileAtomically(*file_, root.dump(1, '\t', false, json::error_handler_t::replace) + "\n",
                                 &error)) {
        std::cerr << "cradleway: could not save the cookies: " << error << "\n";
        return false;
    }
    return true;
}

void HTTPCookieStorage::setCookiesFromResponse(const std::vector<std::string>& fields,
                                               const std::string& url) {
    if (fields.empty()) return;
    const double now = Clock::now();
    std::lock_guard lock(mutex_);
    dropExpiredLocked(now);
    bool lasting = false;
    for (const auto& field : fields) {
        auto cookie = cw::parseSetCookie(field, url, now);
        if (!cookie) continue;
        auto same = std::find_if(cookies_.begin(), cookies_.end(),
                                 [&](const HTTPCookie& kept) { return sameCookie(kept, *cookie); });
        if (same != cookies_.end()) {
            lasting = lasting || same->expiresAt;
            // A cookie replaced keeps its age, so that its place among the cookies sent stays.
            cookie->createdAt = same->createdAt;
            cookies_.erase(same);
        }
        if (cookie->expired(now)) continue;
        lasting = lasting || cookie->expiresAt;
        auto ofOrigin = [&](const HTTPCookie& kept) {
            return kept.scheme == cookie->scheme && kept.host == cookie->host && kept.port == cookie->port;
        };
        if (static_cast<std::size_t>(std::count_if(cookies_.begin(), cookies_.end(), ofOrigin)) >=
            kMaxCookiesPerOrigin) {
            auto oldest = std::find_if(cookies_.begin(), cookies_.end(), ofOrigin);
            for (auto it = oldest; it != cookies_.end(); ++it)
                if (ofOrigin(*it) && it->createdAt < oldest->createdAt) oldest = it;
            lasting = lasting || oldest->expiresAt;
            cookies_.erase(oldest);
        }
        cookies_.push_back(std::move(*cookie));
    }
    // Cookies of the session never reach the file, so a change to them alone writes nothing.
    if (lasting) saveLocked();
}

std::vector<HTTPCookie> HTTPCookieStorage::cookiesForURL(const std::string& url) {
    const auto origin = cw::httpOrigin(url);
    if (!origin) return {};
    const auto parsed = URL::fromString(url);
    std::string path = parsed->percentEncodedPath();
    if (path.empty()) path = "/";
    std::vector<HTTPCookie> out;
    {
        std::lock_guard lock(mutex_);
        const double now = Clock::now();
        for (const auto& cookie : cookies_)
            if (!cookie.expired(now) && cookie.scheme == origin->scheme && cookie.host == origin->host &&
                cookie.port == origin->port && pathMatches(path, cookie.path))
                out.push_back(cookie);
    }
    std::stable_sort(out.begin(), out.end(), [](const HTTPCookie& a, const HTTPCookie& b) {
        if (a.path.size() != b.path.size()) return a.path.size() > b.path.size();
        return a.createdAt < b.createdAt;
    });
    return out;
}

std::optional<std::string> HTTPCookieStorage::cookieHeaderForURL(const std::string& url) {
    const auto matching = cookiesForURL(url);
    if (matching.empty()) return std::nullopt;
    std::string header;
    for (const auto& cookie : matching)
        header += (header.empty() ? "" : "; ") + cookie.name + "=" + cookie.value;
    return header;
}

std::vector<HTTPCookie> HTTPCookieStorage::cookies() {
    std::lock_guard lock(mutex_);
    dropExpiredLocked(Clock::now());
    return cookies_;
}

void HTTPCookieStorage::deleteAllCookies() {
    std::lock_guard lock(mutex_);
    const bool lasting =
        std::any_of(cookies_.begin(), cookies_.end(), [](const auto& c) { return c.expiresAt; });
    cookies_.clear();
    if (lasting) saveLocked();
}

void HTTPCookieStorage::deleteCookiesExcept(const std::string& kept) {
    std::lock_guard lock(mutex_);
    const auto gone = std::stable_partition(cookies_.begin(), cookies_.end(),
                                            [&](const auto& c) { return c.name == kept; });
    const bool lasting = std::any_of(gone, cookies_.end(), [](const auto& c) { return c.expiresAt; });
    cookies_.erase(gone, cookies_.end());
    if (lasting) saveLocked();
}
