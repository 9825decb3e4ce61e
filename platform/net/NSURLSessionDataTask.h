#pragma once

#include "foundation/json/NSError.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Foundation's byte buffer (the same alias as foundation/defaults/Data.h).
using Data = std::vector<std::uint8_t>;

// The platform's domain of transport errors and the codes this layer gives.
inline constexpr std::string_view NSURLErrorDomain = "NSURLErrorDomain";
inline constexpr std::int64_t NSURLErrorUnknown = -1;
inline constexpr std::int64_t NSURLErrorCancelled = -999;
inline constexpr std::int64_t NSURLErrorBadURL = -1000;
inline constexpr std::int64_t NSURLErrorTimedOut = -1001;
inline constexpr std::int64_t NSURLErrorUnsupportedURL = -1002;
inline constexpr std::int64_t NSURLErrorCannotFindHost = -1003;
inline constexpr std::int64_t NSURLErrorCannotConnectToHost = -1004;
inline constexpr std::int64_t NSURLErrorNetworkConnectionLost = -1005;
inline constexpr std::int64_t NSURLErrorHTTPTooManyRedirects = -1007;
inline constexpr std::int64_t NSURLErrorBadServerResponse = -1011;
inline constexpr std::int64_t NSURLErrorCannotDecodeContentData = -1016;
inline constexpr std::int64_t NSURLErrorDataLengthExceedsMaximum = -1103;
inline constexpr std::int64_t NSURLErrorSecureConnectionFailed = -1200;
inline constexpr std::int64_t NSURLErrorServerCertificateUntrusted = -1202;
// No certificate authority could vouch for the server: here, because the machine's store of
// certificate authorities is missing or unreadable, so no secure connection can be checked at all.
inline constexpr std::int64_t NSURLErrorServerCertificateHasUnknownRoot = -1203;

// User-info key of the address a failed request went to (a text, without its query).
inline constexpr std::string_view NSURLErrorFailingURLStringErrorKey = "NSErrorFailingURLStringKey";

namespace cw {
// Our own code in NSURLErrorDomain, which has none for it: the server redirected a request that
// carries something of its own (a body the redirect would send again, or header fields beyond
// content negotiation: tokens, cookies, the client's own fields) to another origin, and the request
// did not follow. The task's response is the redirect.
inline constexpr std::int64_t URLErrorRedirectToAnotherOrigin = -1050;

// The most bytes a reply may hold before its request fails with NSURLErrorDataLengthExceedsMaximum.
// A JSON reply is held whole and decoded in memory, so it gets the smaller limit; pictures, pages and
// videos get the larger one.
inline constexpr std::size_t kJSONReplyLimit = std::size_t{32} << 20;
inline constexpr std::size_t kMediaReplyLimit = std::size_t{128} << 20;
} // namespace cw

namespace cw {
// Which file of certificate authorities secure connections are checked against: libcurl's default
// (the system's store) unless set. Tests point it at a file that is not there; requests started
// afterwards use it.
void setCertificateAuthorityFile(std::optional<std::string> path);
std::optional<std::string> certificateAuthorityFile();
} // namespace cw

// The reply's status line and headers.
class NSHTTPURLResponse {
public:
    NSHTTPURLResponse(std::string url, int statusCode,
                      std::vector<std::pair<std::string, std::string>> headers);

    const std::string& url() const { return url_; }
    int statusCode() const { return statusCode_; }
    // Header fields as received; a field sent several times is joined with ", ".
    const std::vector<std::pair<std::string, std::string>>& allHeaderFields() const { return headers_; }
    // The value of a field, its name compared without letter case.
    std::optional<std::string> valueForHTTPHeaderField(std::string_view name) const;
    // The content type without parameters, lower-cased ("application/json"); none when not sent.
    std::optional<std::string> MIMEType() const;

private:
    std::string url_;
    int statusCode_;
    std::vector<std::pair<std::string, std::string>> headers_;
};

// How far a transfer went, in bytes. `totalUnitCount` is -1 while the size is unknown.
struct NSProgress {
    std::int64_t totalUnitCount = -1;
    std::int64_t completedUnitCount = 0;
    double fractionCompleted() const {
        return totalUnitCount > 0
                   ? static_cast<double>(completedUnitCount) / static_cast<double>(totalUnitCount)
                   : 0.0;
    }
};

// What kind of traffic a request is. Background traffic is what the member did not ask for (usage
// events, bookkeeping): it waits behind everything else and holds few connections to a server, so
// what she opens meanwhile goes out at once (see NSURLSessionDataTask).
enum class NSURLRequestNetworkServiceType { NSURLNetworkServiceTypeDefault, NSURLNetworkServiceTypeBackground };
inline constexpr auto NSURLNetworkServiceTypeDefault = NSURLRequestNetworkServiceType::NSURLNetworkServiceTypeDefault;
inline constexpr auto NSURLNetworkServiceTypeBackground =
    NSURLRequestNetworkServiceType::NSURLNetworkServiceTypeBackground;

// A request ready to go on the wire.
struct NSURLRequest {
    std::string HTTPMethod = "GET";
    std::string url;
    std::vector<std::pair<std::string, std::string>> headers;
    std::optional<Data> HTTPBody;
    // The longest the request may stay idle, in seconds: once it is on the wire, a time without a
    // byte sent or received, whether waiting for the reply or between two of its parts, fails it with
    // NSURLErrorTimedOut. A reply that keeps coming is never cut by it, however long it takes in all.
    // A redirect does not start it again: the request and the requests its redirects lead to are one
    // request with one clock. 0 or less: none.
    double timeoutInterval = 60;
    NSURLRequestNetworkServiceType networkServiceType = NSURLNetworkServiceTypeDefault;
    // The slowest a reply may come: fewer than `bytesPerSecond` a second over any `seconds` while it
    // comes (one that stops halfway, or trickles) fails the request with NSURLErrorTimedOut before its
    // time-out. Every byte of the replies counts, their heads' and those of its redirects too. While
    // the request waits for the server, before a reply's first byte or between a head and what
    // follows, the pace does not run: the time-out alone bounds that. None: only the time-out bounds it.
    struct Pace {
        long bytesPerSecond = 0;
        double seconds = 0;
    };
    std::optional<Pace> leastPace;
    // A reply that declares more (Content-Length) is refused before its body is read; one that grows
    // past it is stopped there.
    std::size_t maximumReplyLength = cw::kMediaReplyLimit;

    std::optional<std::string> valueForHTTPHeaderField(std::string_view name) const;
};

enum class NSURLSessionTaskState { running, suspended, canceling, completed };

// A task's priority, from 0 (lowest) to 1 (highest).
inline constexpr float NSURLSessionTaskPriorityLow = 0.25f;
inline constexpr float NSURLSessionTaskPriorityDefault = 0.5f;
inline constexpr float NSURLSessionTaskPriorityHigh = 0.75f;

namespace cw::detail {
class NetworkEngine;
struct Transfer;
} // namespace cw::detail

// One request in flight. Made suspended; `resume` starts it, `cancel` stops it. It ends exactly once:
// the outcome (a response and body, or a transport error) goes to the handler that made it, and the
// state becomes `completed`. A cancelled task ends with NSURLErrorCancelled and no response.
// Every member may be called from any thread.
//
// Connections: at most six to one server (scheme, host and port) at once; further tasks wait for
// one in order of priority, then in the order they were resumed. Tasks below the default priority
// (pictures) hold at most four of them, background traffic (NSURLRequest::networkServiceType) at
// most two of those: a screen the member opens does not wait behind pictures, usage events and
// bookkeeping held by a server that stalls. A task's idle time-out starts once it is on the wire.
class NSURLSessionDataTask : public std::enable_shared_from_this<NSURLSessionDataTask> {
public:
    struct Outcome {
        // None when no HTTP reply was read. With an error it is the reply that was refused (one too
        // large, a redirect not followed): its status and headers, never its body.
        std::shared_ptr<const NSHTTPURLResponse> response;
        Data body;
        std::optional<NSError> error; // the request failed: a transport error or a refused reply
    };
    // Runs on the network thread once the task has ended.
    using CompletionHandler = std::function<void(const std::shared_ptr<NSURLSessionDataTask>&, Outcome)>;
    // Runs on the network thread whenever the bytes sent or received moved.
    using ProgressHandler = std::function<void(const std::shared_ptr<NSURLSessionDataTask>&)>;

    static std::shared_ptr<NSURLSessionDataTask> make(NSURLRequest request, CompletionHandler completion);

    NSURLSessionDataTask(const NSURLSessionDataTask&) = delete;
    NSURLSessionDataTask& operator=(const NSURLSessionDataTask&) = delete;

    std::uint64_t taskIdentifier() const { return identifier_; }
    NSURLSessionTaskState state() const { return state_.load(); }
    // NSURLSessionTaskPriorityDefault unless set; a value outside 0...1 is taken as the nearest
    // end. A task waiting for a connection is placed by the priority it has then.
    float priority() const { return priority_.load(); }
    void setPriority(float priority);
    const NSURLRequest& originalRequest() const { return request_; }
    // The HTTP reply, once one was read; none before, and none after a transport failure. A refused
    // reply (too large, a redirect not followed) is kept here too.
    std::shared_ptr<const NSHTTPURLResponse> response() const;

    NSProgress uploadProgress() const;
    NSProgress downloadProgress() const;

    // Starts a suspended task; does nothing in any other state.
    void resume();
    // Stops a suspended or running task, which then ends with NSURLErrorCancelled. Does nothing once
    // the task has ended or is being cancelled.
    void cancel();

    // Set before `resume`: called on the network thread as bytes move.
    void setProgressHandler(ProgressHandler handler) { progressHandler_ = std::move(handler); }

    // Tasks of the process resumed and not yet ended (an ended task counts until its completion
    // handler has returned), for hosts that wait until nothing is on its way.
    static std::size_t tasksInFlight();

private:
    friend class cw::detail::NetworkEngine;
    friend struct cw::detail::Transfer;

    NSURLSessionDataTask(NSURLRequest request, CompletionHandler completion);
    // Ends the task (first call only).
    void finish(Outcome outcome);
    void reportProgress(std::int64_t sentTotal, std::int64_t sent, std::int64_t receivedTotal,
                        std::int64_t received);
    bool wantsProgress() const { return static_cast<bool>(progressHandler_); }

    const std::uint64_t identifier_;
    const NSURLRequest request_;
    std::atomic<NSURLSessionTaskState> state_{NSURLSessionTaskState::suspended};
    std::atomic<float> priority_{NSURLSessionTaskPriorityDefault};
    std::atomic<bool> finished_{false};
    std::atomic<bool> counted_{false};
    CompletionHandler completion_;
    ProgressHandler progressHandler_;

    mutable std::mutex mutex_;
    std::shared_ptr<const NSHTTPURLResponse> response_;
    NSProgress upload_, download_;
};

namespace cw {
// A transport error of NSURLErrorDomain with the platform's sentence for `code`.
NSError makeURLError(std::int64_t code, const std::string& url, std::string debugDescription = {});
} // namespace cw
