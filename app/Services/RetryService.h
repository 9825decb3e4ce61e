#pragma once

#include "Services/AuthenticationContext.h"
#include "foundation/dispatch/OperationQueue.h"
#include "foundation/json/JSON.h"
#include "net/AFHTTPSessionManager.h"

#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

// Renews the tokens once for every request of the session that the server refused with 401 (or
// that got no reply and may be sent again), then sends those requests again, one at a time, in the
// order they were parked.
//
// Only a refusal of the tokens the session holds renews them. A request that left with tokens the
// session has renewed since (its refusal came after that renewal, as on a slow network) is sent
// again with the tokens held, at once or behind the renewal in flight: renewing for it would spend
// the refresh token again and issue another access token each time, and the server keeps only a
// session's latest few, so the replays still on their way with the earlier one would be refused.
//
// A renewal belongs to the session it was started in, as every request does: when the session ends
// (logout calls abandon()) the renewal and everything parked behind it are abandoned: no caller
// hears of them, nothing is sent again, and the renewal's answer, whenever it comes, changes no
// token. The next session's first refusal starts a renewal of its own.
//
// retry, abandon, refreshSucceeded and refreshFailed run on the main thread (they are called from
// reply callbacks and from logout). Replays run on retryQueue's thread with the tokens the session
// held on the main thread when the renewal ended.
class RetryService {
public:
    using Task = AFHTTPSessionManager::Task;
    // Sends a parked request again with the given tokens.
    using ReplayAction = std::function<void(const SessionTokens&)>;
    // Tells a parked request's caller that it failed (its original task and error); main thread.
    using FailAction = std::function<void()>;

    static RetryService& shared();

    RetryService();
    RetryService(const RetryService&) = delete;
    RetryService& operator=(const RetryService&) = delete;

    // Parks a request of the session held now that the server refused when it carried the access
    // token `refused`: starts a renewal at the root of "tokens" unless one is in flight (one of an
    // ended session was abandoned with it) or the session holds other tokens by now, and queues the
    // replay behind it (with the tokens held, when nothing was to be renewed).
    void retry(const std::optional<std::string>& refused, ReplayAction replay, FailAction fail = nullptr);
    // The same for a refusal of the access token the session holds now.
    void retry(ReplayAction replay, FailAction fail = nullptr);
    // The session ended: the renewal in flight is cancelled and every parked request dropped without
    // a word to its caller.
    void abandon();
    // The renewal's reply: a JSON object with "access_token" and "refresh_token" gives the session new
    // tokens; in every case the parked requests are then sent again.
    void refreshSucceeded(const std::optional<JSON>& reply);
    // The renewal failed. When the server refused it (an error status below 500, a reply that is no
    // JSON) the session is logged out, which ends it with everything parked. An outage or a server
    // error (5xx) keeps the session: every parked request's failure callback is called.
    void refreshFailed(const Task& task, const NSError& error);

    // The last renewal started (kept after it ended).
    Task refreshOperation() const { return refreshOperation_; }
    bool isRefreshing() const { return refreshing_; }
    OperationQueue& retryQueue() { return retryQueue_; }

private:
    struct Parked;
    SessionTokens replayTokens() const;
    void startRefresh();
    void pruneParked();

    Task refreshOperation_;
    bool refreshing_ = false;
    std::deque<std::shared_ptr<Parked>> parked_; // main thread
    mutable std::mutex tokensMutex_;
    SessionTokens replayTokens_;
    OperationQueue retryQueue_;
};
