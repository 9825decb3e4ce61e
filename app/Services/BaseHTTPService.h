#pragma once

#include "Services/ActionKey.h"
#include "Services/AuthenticationContext.h"
#include "foundation/json/JSON.h"
#include "foundation/json/NSError.h"
#include "foundation/url/URL.h"
#include "net/AFHTTPSessionManager.h"

#include <cstdint>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// The error that services hand to their callers' failure callbacks. Services may also throw it from
// the success callback of a JSON POST; the caller's failure callback then gets its error object.
// Where a service tells no more than the kind of a failed request, a reply the server sent with
// success that could not be read is serializationError and any other failure networkError
// (cw::requestFailure); what() describes each kind truly for every failure it is given to.
class RequestError : public std::exception {
public:
    enum class Kind { erroResponse, networkError, serializationError, parseError, nilData };

    // The server answered with an error object (kept as decoded).
    static RequestError erroResponse(JSON::dictionary_t object) {
        return RequestError(Kind::erroResponse, std::move(object));
    }
    static RequestError networkError() { return RequestError(Kind::networkError); }
    static RequestError serializationError() { return RequestError(Kind::serializationError); }
    static RequestError parseError() { return RequestError(Kind::parseError); }
    static RequestError nilData() { return RequestError(Kind::nilData); }

    Kind kind() const { return kind_; }
    // The server's error object of erroResponse; empty for the other kinds.
    const JSON::dictionary_t& object() const { return object_; }

    // The error object handed on through NSError-typed callbacks: domain "Cradleway.RequestError",
    // code the kind's position (erroResponse 0 ... nilData 4), and this error itself in the user
    // info, so that fromErrorObject gives it back.
    NSError errorObject() const;
    // The RequestError carried by an error object made by errorObject(); none for any other error.
    static std::optional<RequestError> fromErrorObject(const NSError& error);

    const char* what() const noexcept override;
    bool operator==(const RequestError& other) const {
        return kind_ == other.kind_ && object_ == other.object_;
    }

    static constexpr std::string_view domain = "Cradleway.RequestError";

private:
    explicit RequestError(Kind kind, JSON::dictionary_t object = {})
        : kind_(kind), object_(std::move(object)) {}
    Kind kind_;
    JSON::dictionary_t object_;
};

// The base of every service that talks to the server. A service is made for a call with the base path
// of its server area; its requests go to SERVER_URL + "/m/api/" + that path + "/" + the relative path,
// with the client headers and the session's two token headers.
//
// A request sent in a session (with both tokens) that the server refused with 401 is not reported
// at once: it is parked with RetryService, which renews the tokens once and then sends every parked
// request again (one refused for tokens the session has renewed since it left goes again with the
// tokens held, renewing nothing); a replay that fails again reaches the failure callback. So is a
// GET that failed without any HTTP reply (no connection, no request built), unless it timed out. A
// request that got no reply may have been done: a POST (which changes data), and any request that
// timed out, is not sent again after such a failure; its caller hears of it at once. If the renewal fails
// while the session stays (no connection, the server's own failure), every parked request's failure callback
// gets its original task and error; a renewal the server refuses logs the session out. A request
// sent without a session (signed out, or with one token only) is never parked: nothing can renew
// it. A request the caller cancels is never parked: its failure callback hears NSURLErrorCancelled
// once. A request that the server redirects to another origin is not sent there (it carries the
// client's fields and the tokens): its caller hears cw::URLErrorRedirectToAnotherOrigin at once,
// with the redirect as the task's reply.
//
// Every request belongs to the session it was sent in (AuthenticationContext::sessionGeneration(),
// taken on the main thread with the tokens). Once that session has ended (logout, or a sign-in or
// sign-up sent) nothing of the request reaches its caller, neither callback, and it is not sent
// again: whoever is signed in by then gets nothing of hers.
//
// Callbacks run on the main queue. A service object may be dropped as soon as a send returns: pending
// callbacks and replays keep its manager alive, never the object itself.
class BaseHTTPService {
public:
    using Task = AFHTTPSessionManager::Task;
    // The task and the reply decoded from JSON (none when the body was empty).
    using Success = AFHTTPSessionManager::Success;
    // The task (null when no request could be built) and the error.
    using Failure = AFHTTPSessionManager::Failure;
    using Progress = AFHTTPSessionManager::Progress;
    using ConstructingBody = AFHTTPSessionManager::ConstructingBody;

    // `init(url:)`: the base path of the service ("signin", "member/check", ...), appended as it is.
    // Stops the program when the bundle has no SERVER_URL text. A base address that is no valid URL
    // gives a manager without a base, whose requests fail.
    explicit BaseHTTPService(const std::string& url);
    BaseHTTPService() = delete;
    virtual ~BaseHTTPService() = default;

    const std::shared_ptr<AFHTTPSessionManager>& manager() const { return manager_; }

    // JSON POST: the parameters as a JSON body (none for null). When `success` throws, `failure` gets
    // the task and the thrown error (a RequestError as its errorObject(), an NSError as it is, any
    // other exception as an error of domain "Cradleway.Error").
    Task post(const std::string& path, const JSON& parameters, Success success, Failure failure);
    // GET with the parameters in the query.
    Task get(const std::string& path, const JSON& parameters, Progress progress, Success success,
             Failure failure);
    // Multipart POST: the parameters as text parts, then what `constructingBodyWith` appends (run
    // again for a replay). Every multipart request carries pictures, and creates or replaces what they
    // show: it carries its action's key, as `create` does.
    Task post(const std::string& path, const JSON& parameters, ConstructingBody constructingBodyWith,
              Progress progress, Success success, Failure failure, const ActionKey& action = ActionKey());
    // JSON POST of a request that creates or changes something (a comment, an invitation, a password):
    // it carries `action`'s key in "Idempotency-Key" (Services/ActionKey.h), and so does its resend
    // after a token renewal, so that the server does it once. Without an action it is one of its own.
    Task create(const std::string& path, const JSON& parameters, Success success, Failure failure,
                const ActionKey& action = ActionKey());

    // JSON POST sent once and never parked: every failure, a 401 included, reaches `failure` (for the
    // token renewal itself). Like every request it belongs to its session.
    Task postOnce(const std::string& path, const JSON& parameters, Success success, Failure failure);

    // Puts the session's tokens into "X-Access-Token" and "X-Refresh-Token" when it holds both;
    // otherwise sets and removes nothing. Either way the requests sent afterwards belong to the
    // session held now. The session is read only on the main thread: called from another thread
    // this leaves the headers, and the session requests belong to, as they were last set there.
    void updateHeaderWithTokens();
    // The same with tokens taken earlier on the main thread.
    void updateHeaderWithTokens(const SessionTokens& tokens);

    // The signed-in member's "user_id" and, when the member has one, "security_code", both as decimal
    // texts; empty when nobody is signed in. Main thread.
    std::map<std::string, std::string> userAuthData() const;
    // `userAuthData` as a JSON object, to merge into request parameters.
    JSON userAuthDataJSON() const;

    // Requests this service sends from now on are background traffic: what the member did not ask
    // for (usage events, bookkeeping). They never hold every connection to the server, so a screen
    // she opens is not kept waiting behind them when the server stalls.
    void sendAsBackgroundTraffic();

    // A failure callback that hands its task and error to `failure` (when given).
    static Failure handleFailure(Failure failure);

    // SERVER_URL + "/m/api/".
    static std::string serverURL();
    // SERVER_URL of the main bundle without its closing slashes; the program stops when it is
    // missing or not a text.
    static std::string baseServerURL();
    // A picture's address: `path` percent-encoded for a query, then put below SERVER_URL's path as
    // resolveServerPath does ("images/upload/a.png" with "https://host/nicu" gives
    // "https://host/nicu/images/upload/a.png"); an address of its own (with a scheme or a host) is
    // resolved against SERVER_URL, so it stays as it is. None when the text is not UTF-8 or no address
    // can be formed.
    static std::optional<URL> imageURL(const std::string& path);
    // A picture's address as a reply gave it: one of its own (a scheme or a host) stays as it is; a
    // path ("/images/upload/…", "images/upload/…") is put below SERVER_URL's path as resolveServerPath
    // does, as the server names pictures by their path from its root. None when nothing was given or
    // no address on the server can be formed.
    static std::optional<URL> serverPictureURL(const std::optional<URL>& given);
    // A path the server gave ("/content/education/5"), put directly after SERVER_URL as text, so that
    // a path SERVER_URL has ("https://host/nicu") is kept. Taken as written when the joined text is a
    // valid address, else the path is percent-encoded first. None when no address can be formed, and
    // none when the result is not on the server's own origin (the text named another host: "@host",
    // a whole address).
    static std::optional<URL> resolveServerPath(const std::string& path);
    // Whether an address is on the server's own origin (SERVER_URL's scheme, host and port).
    static bool isServerOrigin(const URL& url);
    // The server's page at `path`, opened as the signed-in member: the resolved address followed by
    // the member's query ("?user_id=…&access_token=…"). None without a member, and none when the path
    // gives no address on the server's own origin: the member's token goes to no other host.
    static std::optional<URL> memberPageURL(const std::string& path);
    // What the reply to a page a web view asked for says, for the member's pages above: the server
    // served it (a success status from its own origin: shown, and a member page read); it refused
    // the member's token, which has ended (401 from its own origin: renew the tokens and ask again);
    // it refused the page otherwise (an error status: a page that is not there, a server that
    // cannot answer); or the page is another site's, shown as it comes.
    enum class PageReply { served, tokenEnded, refused, elsewhere };
    static PageReply pageReply(const NSHTTPURLResponse& reply);
    // For a member page the server refused with 401 when it carried the access token `refused`:
    // renews the session's tokens as a refused request's are (RetryService: not again when the
    // session holds other tokens by now), then calls `renewed` on the main queue, for the page to be
    // asked for again with the session's token. `failed` instead when the session cannot renew (it
    // holds no refresh token) or the renewal failed while the session stays. Neither once the
    // session has ended, as for every request of hers.
    static void renewTokensForPage(const std::optional<std::string>& refused, std::function<void()> renewed,
                                   std::function<void()> failed);

    // The session generation ended (logout, a sign-in sent): the callbacks of every request of an
    // ended generation still on its way, and what they hold (the screens that asked), are let go on
    // the next turn of the main loop, since none of them will run. Nothing of the member's screens
    // stays alive waiting for her replies. Main thread.
    static void releaseEndedRequests();

private:
    enum class Method { jsonPost, get, multipartPost };
    // What a request knows of the session it was sent in.
    struct SessionStamp {
        std::uint64_t generation = 0;
        // Sent with both tokens: a 401 can be answered by renewing them.
        bool renewable = false;
        // The access token it was sent with: a 401 renews the tokens only while the session holds it.
        std::optional<std::string> accessToken;
    };
    struct Request;
    Task start(Method method, const std::string& path, const JSON& parameters, ConstructingBody body,
               Progress progress, Success success, Failure failure, bool parkable,
               std::optional<ActionKey> action = std::nullopt);
    static Task send(const std::shared_ptr<Request>& request, bool replay);
    // The requests sent and not yet ended or released (main thread).
    static std::vector<std::weak_ptr<Request>>& inFlight();

    std::shared_ptr<AFHTTPSessionManager> manager_;
    SessionStamp stamp_;
};

// A screen's member page: the session it was opened in, and its renewal of the tokens
// (BaseHTTPService::renewTokensForPage): a member page the server refused for her ended token is
// renewed for once and asked for again; refused again before the server has served a page since, it
// is a failure like any other. Main thread only.
class MemberPage {
public:
    // The address of the member's page at `path` (BaseHTTPService::memberPageURL); the page belongs
    // from now on to the session held now, and carries its access token.
    std::optional<URL> open(const std::string& path);
    // Whether the session the page was opened in still holds. A page that finishes loading once it
    // has ended (her logout, the next sign-in) is nobody's read: its screen marks nothing read and
    // sends nothing, for her or for whoever is signed in by then.
    bool isCurrent() const;

    // With the reply to the page: true when it went to a renewal, after which `again` or `failed`
    // runs on the main queue (neither once the session has ended); false when the page is to be
    // taken as it came (always for a page of a session that has ended).
    bool renew(BaseHTTPService::PageReply reply, std::function<void()> again, std::function<void()> failed);
    // A renewal is under way: the page it refused fails without a word of its own.
    bool isRenewing() const { return *renewing_; }

private:
    std::uint64_t generation_ = 0;
    // The access token the page was last opened with.
    std::optional<std::string> accessToken_;
    bool renewed_ = false;
    std::shared_ptr<bool> renewing_ = std::make_shared<bool>(false);
};

namespace cw {
// The bundle's "CFBundleShortVersionString", ".", "CFBundleVersion"; none unless both are texts.
std::optional<std::string> bundleApplicationVersion();
} // namespace cw
