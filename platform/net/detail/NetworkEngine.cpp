#include "net/detail/NetworkEngine.h"

#include "net/HTTPCookieStorage.h"
#include "net/detail/HeaderText.h"

#include "foundation/dispatch/DispatchQueue.h"
#include "foundation/dispatch/RunLoop.h"
#include "foundation/url/URL.h"

#include <curl/curl.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <deque>
#include <limits>
#include <mutex>
#include <string>

namespace cw::detail {

namespace {

constexpr long kConnectTimeoutMs = 15'000;

std::int64_t urlErrorCode(CURLcode code) {
    switch (code) {
    case CURLE_UNSUPPORTED_PROTOCOL:
    case CURLE_URL_MALFORMAT:
        return NSURLErrorUnsupportedURL;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
        return NSURLErrorCannotFindHost;
    case CURLE_COULDNT_CONNECT:
        return NSURLErrorCannotConnectToHost;
    case CURLE_OPERATION_TIMEDOUT:
        return NSURLErrorTimedOut;
    case CURLE_GOT_NOTHING:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_PARTIAL_FILE:
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM:
        return NSURLErrorNetworkConnectionLost;
    case CURLE_TOO_MANY_REDIRECTS:
        return NSURLErrorHTTPTooManyRedirects;
    case CURLE_PEER_FAILED_VERIFICATION:
        return NSURLErrorServerCertificateUntrusted;
    case CURLE_SSL_CACERT_BADFILE:
        return NSURLErrorServerCertificateHasUnknownRoot;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_USE_SSL_FAILED:
        return NSURLErrorSecureConnectionFailed;
    default:
        return NSURLErrorUnknown;
    }
}

} // namespace

// What a request's time-out and least pace watch, from its first hop to its last: a redirect chain is
// one request with one clock.
struct RequestClock {
    using Moment = std::chrono::steady_clock::time_point;
    using Span = std::chrono::nanoseconds;

    // When a byte last went either way, or the request went on the wire: the time-out counts from it.
    Moment lastActivity;
    // The least pace measures replies as they come, their heads as much as their bodies. Its clock
    // stands while the request waits for the server (until a reply's first byte, and from a complete
    // head to what follows it), which the time-out alone bounds: a server at work on its answer is not
    // a slow link.
    bool running = false;
    Moment runningSince;
    Span ranBefore{};
    std::uint64_t received = 0; // bytes of every reply so far, heads included
    Span lastCame{};            // when the last of them came, on the pace's clock
    // (time on the pace's clock, bytes received before then), oldest first, back to one window ago.
    std::deque<std::pair<Span, std::uint64_t>> marks;

    Span ran(Moment now) const { return ranBefore + (running ? now - runningSince : Span{}); }

    void came(std::uint64_t bytes, Moment now, Span window) {
        lastActivity = now;
        if (!running) running = true, runningSince = now;
        const Span at = ran(now);
        // Bytes that come close together share a mark: at most some twenty marks a window.
        if (marks.empty() || at - marks.back().first >= window / 16) marks.emplace_back(at, received);
        received += bytes;
        lastCame = at;
        while (marks.size() >= 2 && marks[1].first <= at - window)
            marks.pop_front();
    }

    void waits(Moment now) {
        if (!running) return;
        ranBefore = ran(now);
        running = false;
    }

    // When the pace cuts the request if nothing more comes: once a whole window of its clock has
    // brought fewer bytes than the pace asks of it. None while its clock stands.
    std::optional<Moment> slowerThan(const NSURLRequest::Pace& pace, Span window, Moment now) const {
        if (!running) return std::nullopt;
        const double least = static_cast<double>(pace.bytesPerSecond) * pace.seconds;
        const Span at = ran(now);
        auto cutAt = [&](Span mark) { return now + (std::max(window, mark + window) - at); };
        for (const auto& [mark, before] : marks)
            if (static_cast<double>(received - before) < least) return cutAt(mark);
        return cutAt(lastCame);
    }
};

// One request on the wire: the task's own, or one that a redirect leads to.
struct Hop {
    std::string url;
    std::string method;
    std::vector<std::pair<std::string, std::string>> headers;
    const Data* body = nullptr; // inside the task's request, which the transfer keeps alive
    int redirects = 0;
};

// The libcurl side of one task; lives on the network thread.
struct Transfer {
    using Moment = std::chrono::steady_clock::time_point;

    std::shared_ptr<NSURLSessionDataTask> task;
    Hop hop;
    std::string server; // the origin whose connections it counts against
    bool low = false, background = false;
    std::uint64_t order = 0;
    RequestClock clock;
    std::optional<std::chrono::nanoseconds> idleLimit;
    std::optional<NSURLRequest::Pace> pace;
    std::chrono::nanoseconds paceWindow{};
    curl_off_t sent = 0, received = 0;
    curl_slist* headers = nullptr;
    std::vector<std::pair<std::string, std::string>> responseHeaders;
    std::vector<std::string> setCookies; // each field apart: a cookie's date holds a comma
    Data body;
    bool tooLarge = false;
    char errorBuffer[CURL_ERROR_SIZE] = {};

    ~Transfer() { curl_slist_free_all(headers); }

    std::size_t limit() const { return task->originalRequest().maximumReplyLength; }

    void moved() { clock.lastActivity = std::chrono::steady_clock::now(); }
    // Bytes of a reply: its head's lines as they come, its body as it comes on the wire.
    void came(std::uint64_t bytes) {
        if (pace)
            clock.came(bytes, std::chrono::steady_clock::now(), paceWindow);
        else
            moved();
    }

    static size_t onBody(char* data, size_t size, size_t count, void* user) {
        auto* self = static_cast<Transfer*>(user);
        self->moved();
        size_t bytes = size * count;
        // Stopped where it grows past the limit, whatever it declared (or did not).
        if (bytes > self->limit() - self->body.size()) {
            self->tooLarge = true;
            return 0;
        }
        self->body.insert(self->body.end(), data, data + bytes);
        return bytes;
    }

    // The body length the reply's headers declare: none when they declare none (or the reply has no
    // body), more than any limit when the number is too large to read.
    std::optional<unsigned long long> declaredLength() const {
        if (hop.method == "HEAD") return std::nullopt;
        auto declared = std::find_if(responseHeaders.begin(), responseHeaders.end(),
                                     [](const auto& h) { return equalsIgnoringCase(h.first, "Content-Length"); });
        if (declared == responseHeaders.end()) return std::nullopt;
        const std::string& text = declared->second;
        unsigned long long length = 0;
        auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), length);
        if (error == std::errc::result_out_of_range) return std::numeric_limits<unsigned long long>::max();
        if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
        return length;
    }

    static size_t onHeader(char* data, size_t size, size_t count, void* user) {
        auto* self = static_cast<Transfer*>(user);
        self->came(size * count);
        std::string_view line(data, size * count);
        if (line.starts_with("HTTP/")) {
            // A new status line (a redirect or an interim reply): headers start again.
            self->responseHeaders.clear();
            self->setCookies.clear();
        } else if (trimmed(line).empty()) {
            // Until the next byte, the server may be at work on what follows its head.
            self->clock.waits(std::chrono::steady_clock::now());
            // The headers are complete: a body declared too large is refused before it is read, and
            // one within the limit gets its room at once, instead of growing by doubling with each
            // step's copy (a body sent compressed declares its compressed length: it still grows).
            const auto declared = self->declaredLength();
            if (declared && *declared > self->limit()) {
                self->tooLarge = true;
                return 0;
            }
            if (declared) self->body.reserve(static_cast<std::size_t>(*declared));
        } else if (auto colon = line.find(':'); colon != std::string_view::npos) {
            std::string name = trimmed(line.substr(0, colon));
            std::string value = trimmed(line.substr(colon + 1));
            if (equalsIgnoringCase(name, "Set-Cookie")) self->setCookies.push_back(value);
            auto same = std::find_if(self->responseHeaders.begin(), self->responseHeaders.end(),
                                     [&](const auto& h) { return equalsIgnoringCase(h.first, name); });
            if (same != self->responseHeaders.end())
                same->second += ", " + value;
            else if (!name.empty())
                self->responseHeaders.emplace_back(std::move(name), std::move(value));
        }
        return size * count;
    }

    // Called as bytes move, and now and then when none do: what was sent counts as activity here, and
    // the body's bytes as they came on the wire (before they are unpacked) count for the pace.
    static int onProgress(void* user, curl_off_t downTotal, curl_off_t down, curl_off_t upTotal,
                          curl_off_t up) {
        auto* self = static_cast<Transfer*>(user);
        if (down > self->received) self->came(static_cast<std::uint64_t>(down - self->received));
        if (up != self->sent || down != self->received) {
            self->sent = up, self->received = down;
            self->moved();
        }
        if (self->task->wantsProgress()) self->task->reportProgress(upTotal, up, downTotal, down);
        return 0;
    }
};

namespace {

constexpr int kMaxRedirects = 10;
// Connections to one server at once, as the platform opens them; of them, the most that tasks of low
// priority (pictures) may hold, and the most that background traffic may hold. A launch sends a
// dozen requests the member did not ask for and, once the feed is in, its pictures: held by a server
// that stalls, they leave two connections at least for the screens she opens.
constexpr int kConnectionsPerServer = 6;
constexpr int kLowPriorityConnections = 4;
constexpr int kBackgroundConnections = 2;

// The server whose connections a hop uses: scheme, host and port.
std::string serverOf(const std::string& url) {
    auto parsed = URL::fromString(url);
    if (!parsed) return url;
    return parsed->scheme().value_or("") + "://" + parsed->host().value_or("") + ":" +
           (parsed->port() ? std::to_string(*parsed->port()) : std::string());
}

bool isBackground(const NSURLSessionDataTask& task) {
    return task.originalRequest().networkServiceType == NSURLNetworkServiceTypeBackground;
}

// Background traffic waits behind everything else, whatever priority its task has.
float rankOf(const NSURLSessionDataTask& task) {
    const float priority = task.priority();
    return isBackground(task) ? std::min(priority, NSURLSessionTaskPriorityLow) : priority;
}

// The request a redirect leads to, as the platform makes it: 303 (and 301 or 302 after a POST) turns
// into a GET without body; 307 and 308 repeat the method, header fields and body.
Hop redirected(const Hop& from, long status, std::string to) {
    Hop next;
    next.url = std::move(to);
    next.redirects = from.redirects + 1;
    bool becomesGet = (status == 303 && from.method != "HEAD") ||
                      ((status == 301 || status == 302) && from.method == "POST");
    next.method = becomesGet ? "GET" : from.method;
    next.body = becomesGet ? nullptr : from.body;
    for (const auto& header : from.headers)
        if (!(becomesGet && equalsIgnoringCase(header.first, "Content-Type"))) next.headers.push_back(header);
    return next;
}

// Header fields that say only what the client can take, nothing of the member.
bool isNegotiationField(std::string_view name) {
    for (std::string_view field : {"Accept", "Accept-Language", "User-Agent", "Content-Type"})
        if (equalsIgnoringCase(name, field)) return true;
    return false;
}

// Whether the next hop may be sent. Within one origin always; to another origin only a request that
// carries nothing of its own: a password in a body, or a token or cookie in a header field, is never
// handed to a server the caller did not address, so such a request fails instead of following.
bool mayFollow(const Hop& from, const Hop& next) {
    auto a = URL::fromString(from.url), b = URL::fromString(next.url);
    if (a && b && a->isSameOrigin(*b)) return true;
    if (next.body && !next.body->empty()) return false;
    return std::all_of(next.headers.begin(), next.headers.end(),
                       [](const auto& header) { return isNegotiationField(header.first); });
}

// The reply as read so far: its status and headers, for a reply that is refused.
std::shared_ptr<const NSHTTPURLResponse> replyHead(const std::string& url, long status, Transfer& t) {
    if (status <= 0) return nullptr;
    return std::make_shared<NSHTTPURLResponse>(url, static_cast<int>(status), std::move(t.responseHeaders));
}

Hop firstHop(const NSURLSessionDataTask& task) {
    const NSURLRequest& request = task.originalRequest();
    return {request.url, request.HTTPMethod, request.headers, request.HTTPBody ? &*request.HTTPBody : nullptr,
            0};
}

} // namespace

NetworkEngine& NetworkEngine::shared() {
    // The main run loop and queue, the cookie store and the certificate file's name must outlive the
    // engine, whose thread hands work to the first two and reads the others until it is stopped at
    // exit: statics made first are destroyed last.
    RunLoop::main();
    DispatchQueue::main();
    HTTPCookieStorage::shared();
    certificateAuthorityFile();
    static NetworkEngine engine;
    return engine;
}

struct NetworkEngine::Waiting {
    std::shared_ptr<NSURLSessionDataTask> task;
    Hop hop;
    std::uint64_t order;
    // A redirect's next hop goes on with its request's clock.
    std::optional<RequestClock> clock;
};

NetworkEngine::NetworkEngine() {
    curl_global_init(CURL_GLOBAL_DEFAULT);
    multi_ = curl_multi_init();
    curl_multi_setopt(multi_, CURLMOPT_MAXCONNECTS, 32L);
    // As many parallel connections to one host as the platform opens; further requests wait their turn.
    curl_multi_setopt(multi_, CURLMOPT_MAX_HOST_CONNECTIONS, 6L);
    thread_ = std::thread([this] { run(); });
}

NetworkEngine::~NetworkEngine() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    curl_multi_wakeup(multi_);
    if (thread_.joinable()) thread_.join();
    curl_multi_cleanup(multi_);
}

void NetworkEngine::start(std::shared_ptr<NSURLSessionDataTask> task) {
    {
        std::lock_guard lock(mutex_);
        starts_.push_back(std::move(task));
    }
    curl_multi_wakeup(multi_);
}

void NetworkEngine::cancel(std::shared_ptr<NSURLSessionDataTask> task) {
    {
        std::lock_guard lock(mutex_);
        cancels_.push_back(std::move(task));
    }
    curl_multi_wakeup(multi_);
}

void NetworkEngine::run() {
    for (;;) {
        std::deque<std::shared_ptr<NSURLSessionDataTask>> starts, cancels;
        {
            std::lock_guard lock(mutex_);
            if (stopping_) break;
            starts.swap(starts_);
            cancels.swap(cancels_);
        }
        for (auto& task : starts) {
            if (task->state() == NSURLSessionTaskState::canceling)
                task->finish({nullptr, {}, makeURLError(NSURLErrorCancelled, task->originalRequest().url)});
            else
                enqueue(task, firstHop(*task), nextOrder_++, std::nullopt);
        }
        for (auto& task : cancels) {
            auto it = std::find_if(transfers_.begin(), transfers_.end(),
                                   [&](const auto& entry) { return entry.second->task == task; });
            if (it != transfers_.end()) removeTransfer(it->first);
            std::erase_if(waiting_, [&](const Waiting& w) { return w.task == task; });
            task->finish({nullptr, {}, makeURLError(NSURLErrorCancelled, task->originalRequest().url)});
        }
        startWaiting();

        int running = 0;
        curl_multi_perform(multi_, &running);
        int queued = 0;
        while (CURLMsg* message = curl_multi_info_read(multi_, &queued)) {
            if (message->msg == CURLMSG_DONE) completeTransfer(message->easy_handle, message->data.result);
        }
        const auto untilIdle = expireIdle();
        startWaiting();
        // Woken by new work and by the transfers' own sockets; otherwise no later than the next
        // request that would have been idle too long.
        const auto wait = std::clamp<long long>(untilIdle.count(), 0, 1000);
        curl_multi_poll(multi_, nullptr, 0, static_cast<int>(wait), nullptr);
    }
    // Shutting down: transfers still running, and those waiting, are dropped without a report.
    while (!transfers_.empty())
        removeTransfer(transfers_.begin()->first);
    waiting_.clear();
}

void NetworkEngine::enqueue(const std::shared_ptr<NSURLSessionDataTask>& task, Hop hop, std::uint64_t order,
                            std::optional<RequestClock> clock) {
    waiting_.push_back({task, std::move(hop), order, std::move(clock)});
}

void NetworkEngine::startWaiting() {
    if (waiting_.empty()) return;
    // Higher priority first, then in the order the requests were resumed. Priorities are read now:
    // a task may have been given another while it waited.
    std::vector<std::pair<float, std::size_t>> ranked;
    ranked.reserve(waiting_.size());
    for (std::size_t i = 0; i < waiting_.size(); ++i)
        ranked.emplace_back(rankOf(*waiting_[i].task), i);
    std::stable_sort(ranked.begin(), ranked.end(), [&](const auto& a, const auto& b) {
        if (a.first != b.first) return a.first > b.first;
        return waiting_[a.second].order < waiting_[b.second].order;
    });
    std::vector<Waiting> waiting = std::move(waiting_);
    waiting_.clear();
    std::vector<bool> started(waiting.size(), false);
    for (const auto& [rank, index] : ranked) {
        Waiting& w = waiting[index];
        const Connections& open = connections_[serverOf(w.hop.url)];
        if (open.all >= kConnectionsPerServer) continue;
        if (rank < NSURLSessionTaskPriorityDefault && open.low >= kLowPriorityConnections) continue;
        if (isBackground(*w.task) && open.background >= kBackgroundConnections) continue;
        started[index] = true;
        RequestClock clock;
        if (w.clock)
            clock = std::move(*w.clock);
        else
            clock.lastActivity = std::chrono::steady_clock::now();
        addTransfer(w.task, std::move(w.hop), w.order, std::move(clock));
    }
    for (std::size_t i = 0; i < waiting.size(); ++i)
        if (!started[i]) waiting_.push_back(std::move(waiting[i]));
}

std::chrono::milliseconds NetworkEngine::expireIdle() {
    const Moment now = std::chrono::steady_clock::now();
    auto next = std::chrono::milliseconds::max();
    std::vector<std::pair<void*, const char*>> expired;
    for (const auto& [easy, transfer] : transfers_) {
        std::optional<Moment> deadline;
        const char* why = nullptr;
        if (transfer->idleLimit) {
            deadline = transfer->clock.lastActivity + *transfer->idleLimit;
            why = "no byte came or went for as long as the request's time-out";
        }
        if (transfer->pace)
            if (auto slow = transfer->clock.slowerThan(*transfer->pace, transfer->paceWindow, now);
                slow && (!deadline || *slow < *deadline))
                deadline = slow, why = "the reply came slower than the request's least pace";
        if (!deadline) continue;
        if (*deadline <= now)
            expired.emplace_back(easy, why);
        else
            next = std::min(next, std::chrono::ceil<std::chrono::milliseconds>(*deadline - now));
    }
    for (const auto& [easy, why] : expired) {
        auto task = transfers_[easy]->task;
        removeTransfer(easy);
        task->finish({nullptr, {}, makeURLError(NSURLErrorTimedOut, task->originalRequest().url, why)});
    }
    return next;
}

void NetworkEngine::addTransfer(const std::shared_ptr<NSURLSessionDataTask>& task, Hop hop, std::uint64_t order,
                                RequestClock clock) {
    const NSURLRequest& request = task->originalRequest();
    CURL* easy = curl_easy_init();
    if (!easy) {
        task->finish({nullptr, {}, makeURLError(NSURLErrorUnknown, request.url)});
        return;
    }
    auto transfer = std::make_unique<Transfer>();
    transfer->task = task;
    transfer->hop = std::move(hop);
    transfer->server = serverOf(transfer->hop.url);
    transfer->low = rankOf(*task) < NSURLSessionTaskPriorityDefault;
    transfer->background = isBackground(*task);
    transfer->order = order;
    transfer->clock = std::move(clock);
    // A hop on its way waits for its server: the pace's clock stands until its reply's first byte.
    transfer->clock.waits(std::chrono::steady_clock::now());
    if (request.timeoutInterval > 0 && std::isfinite(request.timeoutInterval))
        transfer->idleLimit = std::chrono::duration_cast<std::chrono::nanoseconds>(
            std::chrono::duration<double>(std::min(request.timeoutInterval, 1e9)));
    if (const auto& pace = request.leastPace;
        pace && pace->bytesPerSecond > 0 && pace->seconds > 0 && std::isfinite(pace->seconds)) {
        transfer->pace = pace;
        transfer->paceWindow = std::chrono::duration_cast<std::chrono::nanoseconds>(
            std::chrono::duration<double>(std::min(pace->seconds, 1e9)));
    }
    const Hop& h = transfer->hop;
    Transfer* t = transfer.get();

    curl_easy_setopt(easy, CURLOPT_URL, h.url.c_str());
    curl_easy_setopt(easy, CURLOPT_PRIVATE, t);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, t->errorBuffer);
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    // Redirects are followed here, one hop at a time (see redirected()).
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
    // Certificates and host names are always checked; nothing older than TLS 1.2 is spoken.
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(easy, CURLOPT_SSLVERSION, static_cast<long>(CURL_SSLVERSION_TLSv1_2));
    if (auto store = certificateAuthorityFile()) {
        curl_easy_setopt(easy, CURLOPT_CAINFO, store->c_str());
        curl_easy_setopt(easy, CURLOPT_CAPATH, nullptr);
    }
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, kConnectTimeoutMs);
    // Neither the request's time-out nor its least pace is libcurl's (a bound on the whole transfer,
    // and a pace that counts body bytes alone and runs while the server is still at work): the
    // time-out bounds the time without a byte, the pace counts every byte of the replies, and
    // expireIdle() keeps both.
    curl_easy_setopt(easy, CURLOPT_ACCEPT_ENCODING, "");
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Transfer::onBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, t);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &Transfer::onHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, t);
    // Bytes received show in onHeader and onBody; bytes sent, and the body's bytes on the wire, only here.
    if (task->wantsProgress() || (h.body && !h.body->empty()) || t->pace) {
        curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, &Transfer::onProgress);
        curl_easy_setopt(easy, CURLOPT_XFERINFODATA, t);
        curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
    }

    bool hasContentType = false, hasCookie = false;
    for (const auto& [field, value] : h.headers) {
        t->headers = curl_slist_append(t->headers, (field + ": " + value).c_str());
        hasContentType = hasContentType || equalsIgnoringCase(field, "Content-Type");
        hasCookie = hasCookie || equalsIgnoringCase(field, "Cookie");
    }
    // The session's cookies of this hop's origin, unless the caller set the header itself.
    if (auto cookies = HTTPCookieStorage::shared()->cookieHeaderForURL(h.url); cookies && !hasCookie)
        t->headers = curl_slist_append(t->headers, ("Cookie: " + *cookies).c_str());
    // libcurl's own defaults that the caller did not ask for.
    if (!hasContentType) t->headers = curl_slist_append(t->headers, "Content-Type:");
    t->headers = curl_slist_append(t->headers, "Expect:");
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, t->headers);

    if (h.method == "GET") {
        curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
    } else if (h.method == "HEAD") {
        curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
    } else {
        static const char empty[] = "";
        const Data* body = h.body && !h.body->empty() ? h.body : nullptr;
        curl_easy_setopt(easy, CURLOPT_POST, 1L);
        curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body ? body->size() : 0));
        curl_easy_setopt(easy, CURLOPT_POSTFIELDS,
                         body ? reinterpret_cast<const char*>(body->data()) : empty);
        if (h.method != "POST") curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, h.method.c_str());
    }

    Connections& open = connections_[t->server];
    ++open.all, open.low += t->low, open.background += t->background;
    transfers_.emplace(easy, std::move(transfer));
    if (curl_multi_add_handle(multi_, easy) != CURLM_OK) {
        removeTransfer(easy);
        task->finish({nullptr, {}, makeURLError(NSURLErrorUnknown, request.url)});
    }
}

void NetworkEngine::completeTransfer(void* handle, int result) {
    CURL* easy = static_cast<CURL*>(handle);
    auto it = transfers_.find(easy);
    if (it == transfers_.end()) return;
    Transfer& t = *it->second;
    auto code = static_cast<CURLcode>(result);
    NSURLSessionDataTask::Outcome outcome;
    const std::string& url = t.task->originalRequest().url;
    long status = 0;
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
    // Cookies of every reply read, a redirect's too, before the next hop asks for them.
    if (code == CURLE_OK && status > 0)
        HTTPCookieStorage::shared()->setCookiesFromResponse(t.setCookies, t.hop.url);
    char* location = nullptr;
    bool redirect = status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
    if (code == CURLE_OK && redirect &&
        curl_easy_getinfo(easy, CURLINFO_REDIRECT_URL, &location) == CURLE_OK && location) {
        auto task = t.task;
        if (t.hop.redirects >= kMaxRedirects) {
            removeTransfer(easy);
            task->finish({nullptr, {}, makeURLError(NSURLErrorHTTPTooManyRedirects, url)});
            return;
        }
        Hop next = redirected(t.hop, status, location);
        if (!mayFollow(t.hop, next)) {
            auto head = replyHead(t.hop.url, status, t);
            removeTransfer(easy);
            task->finish({std::move(head), {}, makeURLError(URLErrorRedirectToAnotherOrigin, url)});
            return;
        }
        // One request with one clock: the next hop goes on from the last byte of this one, in its
        // request's place among those waiting.
        const std::uint64_t order = t.order;
        RequestClock clock = std::move(t.clock);
        clock.waits(std::chrono::steady_clock::now());
        removeTransfer(easy);
        if (task->state() == NSURLSessionTaskState::canceling)
            task->finish({nullptr, {}, makeURLError(NSURLErrorCancelled, url)});
        else
            enqueue(task, std::move(next), order, std::move(clock));
        return;
    }
    if (code == CURLE_OK && status > 0) {
        char* effective = nullptr;
        curl_easy_getinfo(easy, CURLINFO_EFFECTIVE_URL, &effective);
        outcome.response = std::make_shared<NSHTTPURLResponse>(
            effective ? std::string(effective) : url, static_cast<int>(status), std::move(t.responseHeaders));
        outcome.body = std::move(t.body);
    } else if (t.tooLarge) {
        // The server did answer: the reply's head goes with the error, so that callers do not take it
        // for a lost connection.
        outcome.response = replyHead(t.hop.url, status, t);
        outcome.error = makeURLError(NSURLErrorDataLengthExceedsMaximum, url);
    } else {
        outcome.error =
            makeURLError(code == CURLE_OK ? NSURLErrorNetworkConnectionLost : urlErrorCode(code), url,
                         t.errorBuffer[0] ? std::string(t.errorBuffer) : curl_easy_strerror(code));
    }
    auto task = t.task;
    removeTransfer(easy);
    task->finish(std::move(outcome));
}

void NetworkEngine::removeTransfer(void* handle) {
    CURL* easy = static_cast<CURL*>(handle);
    if (auto it = transfers_.find(easy); it != transfers_.end()) {
        const Transfer& t = *it->second;
        if (auto open = connections_.find(t.server); open != connections_.end()) {
            Connections& c = open->second;
            --c.all, c.low -= t.low, c.background -= t.background;
            if (c.all <= 0) connections_.erase(open);
        }
    }
    curl_multi_remove_handle(multi_, easy);
    curl_easy_cleanup(easy);
    transfers_.erase(easy);
}

} // namespace cw::detail

namespace cw {

namespace {
std::mutex certificateStoreMutex;
std::optional<std::string>& certificateStore() {
    static std::optional<std::string> path;
    return path;
}
} // namespace

void setCertificateAuthorityFile(std::optional<std::string> path) {
    std::lock_guard lock(certificateStoreMutex);
    certificateStore() = std::move(path);
}

std::optional<std::string> certificateAuthorityFile() {
    std::lock_guard lock(certificateStoreMutex);
    return certificateStore();
}

} // namespace cw
