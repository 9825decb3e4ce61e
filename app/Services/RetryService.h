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

// Refreshes the tokens once for every request that the server refused with 401 (or that got no
// reply), then sends those requests again, one at a time, in the order they were parked.
//
// retry, refreshSucceeded and refreshFailed run on the main thread (they are called from reply
// callbacks). Replays run on retryQueue's thread with the tokens the session held on the main thread
// when the refresh ended.
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

    // Parks a request: starts a refresh at the root of "tokens" unless one is in flight, and queues
    // the replay behind it.
    void retry(ReplayAction replay, FailAction fail = nullptr);
    // The refresh reply: a JSON object with "access_token" and "refresh_token" gives the session new
    // tokens; in every case the parked requests are then sent again.
    void refreshSucceeded(const std::optional<JSON>& reply);
    // The refresh failed: every parked request's failure callback is called. When the server
    // refused it (an error status below 500, a reply that is no JSON) the session is logged out, which
    // tells the session's delegate; an outage or a server error (5xx) keeps the session.
    void refreshFailed(const Task& task, const NSError& error);

    // The last refresh started (kept after it ended).
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
