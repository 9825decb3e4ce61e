#pragma once

#include "net/HTTPCookie.h"

#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

// The cookies of the application's HTTP session, as a phone keeps them by default: every reply's
// Set-Cookie fields are taken, and every request carries the cookies of its origin (scheme, host and
// port: see HTTPCookie), the longest path first. The server ties what the application proved (an
// invitation code, a record-number look-up) to it through a cookie, so that another application on
// the same network cannot use it.
//
// Cookies with an expiry are kept in a file too (in the data directory, set by the host), so that a
// restart mid-registration keeps them: written at once on every change, atomically and with mode 0600
// like the user defaults. A cookie of the session (no expiry) lives in memory only. A file that cannot
// be read is moved aside with a message on standard error, and the store starts empty. Expired cookies
// are dropped as they are met. At most kMaxCookiesPerOrigin per origin: a new one pushes out the
// oldest.
//
// Thread-safe: the network thread takes and reads cookies while others may look.
class HTTPCookieStorage {
public:
    static constexpr std::size_t kMaxCookiesPerOrigin = 50;

    // The store of every request of the process (NetworkEngine's), kept in memory only until
    // setSharedStorageFile gives it a file.
    static std::shared_ptr<HTTPCookieStorage> shared();
    // Replaces the shared store with one kept in `file` and loaded from it now, or with an empty store
    // in memory only. The host calls it with its data directory; tests with theirs.
    static void setSharedStorageFile(std::optional<std::filesystem::path> file);

    explicit HTTPCookieStorage(std::optional<std::filesystem::path> file = std::nullopt);
    HTTPCookieStorage(const HTTPCookieStorage&) = delete;
    HTTPCookieStorage& operator=(const HTTPCookieStorage&) = delete;

    const std::optional<std::filesystem::path>& file() const { return file_; }

    // Takes the Set-Cookie field values of a reply from `url`, in order. A malformed field is dropped
    // and changes nothing; a cookie already expired removes the one of the same name, origin and path.
    void setCookiesFromResponse(const std::vector<std::string>& fields, const std::string& url);
    // The value of the "Cookie" header for a request to `url`: "name=value" pairs joined by "; ",
    // longer paths first, then the older first; none when no cookie goes there.
    std::optional<std::string> cookieHeaderForURL(const std::string& url);
    // The cookies a request to `url` would carry, in that order.
    std::vector<HTTPCookie> cookiesForURL(const std::string& url);
    // Every cookie not yet expired.
    std::vector<HTTPCookie> cookies();
    void deleteAllCookies();
    // Every cookie but those of this name (of any origin): what the application keeps across a logout.
    void deleteCookiesExcept(const std::string& kept);

private:
    void load();
    void dropExpiredLocked(double now);
    // Writes the cookies with an expiry to the file (when there is one); false when it failed.
    bool saveLocked();

    std::optional<std::filesystem::path> file_;
    std::mutex mutex_;
    std::vector<HTTPCookie> cookies_;
    bool writable_ = true;
};
