#include "Services/RetryService.h"

#include "foundation/dispatch/DispatchQueue.h"

#include "Services/BaseHTTPService.h"
#include "net/AFURLResponseSerialization.h"

#include <atomic>

// One parked request. Whoever claims it first acts: the queue by replaying it, or a failed refresh by
// reporting its failure; so each caller hears exactly once.
struct RetryService::Parked {
    ReplayAction replay;
    FailAction fail;
    // The tokens to send it with, when it waits for no renewal.
    std::optional<SessionTokens> tokens;
    std::atomic<bool> claimed{false};
};

RetryService& RetryService::shared() {
    // Never destroyed: replays may still be queued when the process ends.
    static RetryService* instance = new RetryService();
    return *instance;
}

RetryService::RetryService() {
    retryQueue_.name = "RetryService.retryQueue";
    retryQueue_.setMaxConcurrentOperationCount(1);
}

void RetryService::retry(ReplayAction replay, FailAction fail) {
    retry(AuthenticationContext::shared().oAuthToken(), std::move(replay), std::move(fail));
}

void RetryService::retry(const std::optional<std::string>& refused, ReplayAction replay, FailAction fail) {
    pruneParked();
    auto parked = std::make_shared<Parked>();
    parked->replay = std::move(replay);
    parked->fail = std::move(fail);
    if (!refreshing_) {
        // Tokens renewed since the request left answer its refusal: it goes again with them.
        const SessionTokens held = AuthenticationContext::shared().tokens();
        if (held.accessToken && held.refreshToken && held.accessToken != refused)
            parked->tokens = held;
        else
            startRefresh();
    }
    parked_.push_back(parked);
    retryQueue_.addOperation([this, parked]() mutable {
        if (!parked->claimed.exchange(true) && parked->replay)
            parked->replay(parked->tokens ? *parked->tokens : replayTokens());
        // What the replay captured (the caller's callbacks, which own screens) is let go on the
        // main thread, never on the retry queue's.
        DispatchQueue::main().async([parked = std::move(parked)] {});
    });
}

void RetryService::abandon() {
    if (refreshing_ && refreshOperation_) refreshOperation_->cancel();
    refreshing_ = false;
    // Claimed here, so that a replay the queue has just taken up does not run either.
    for (const auto& request : parked_)
        request->claimed.store(true);
    parked_.clear();
    retryQueue_.cancelAllOperations();
    retryQueue_.setSuspended(false);
}

void RetryService::startRefresh() {
    refreshing_ = true;
    retryQueue_.setSuspended(true);
    BaseHTTPService service("tokens");
    // Sent once: a refused renewal is never parked itself. Its answer, like every reply, is dropped
    // once its session has ended.
    Task task = service.postOnce(
        "", JSON(), [this](const Task&, const std::optional<JSON>& reply) { refreshSucceeded(reply); },
        [this](const Task& failed, const NSError& error) { refreshFailed(failed, error); });
    refreshOperation_ = task;
    if (task) task->resume();
}

void RetryService::refreshSucceeded(const std::optional<JSON>& reply) {
    refreshing_ = false;
    auto& session = AuthenticationContext::shared();
    if (reply && reply->dictionary()) {
        JSON wrapper = JSON(JSON::dictionary_t{});
        wrapper.set("tokens", *reply);
        session.updateTokens(wrapper);
    }
    {
        std::lock_guard lock(tokensMutex_);
        replayTokens_ = session.tokens();
    }
    retryQueue_.setSuspended(false);
}

void RetryService::refreshFailed(const Task& task, const NSError& error) {
    refreshing_ = false;
    retryQueue_.cancelAllOperations();
    // Nothing waits for a renewal any more: a later replay that needs none is not held up.
    retryQueue_.setSuspended(false);
    auto parked = std::move(parked_);
    parked_.clear();

    // A renewal the server refused (a client error status, a reply that is no JSON, one refused as
    // too large, a redirect to another server) ends the session: the tokens held are not going to be
    // renewed, and the requests parked behind it end with the session, unheard. One that never got
    // an answer (no connection, time-out) or met the server's own failure (a 5xx status) says nothing
    // about the tokens, so the member stays signed in and only the parked requests fail.
    std::shared_ptr<const NSHTTPURLResponse> response = task ? task->response() : nullptr;
    if (!response) response = cw::failingResponse(error);
    const bool serverFailed = response && response->statusCode() >= 500 && response->statusCode() <= 599;
    if (response && !serverFailed) {
        for (const auto& request : parked)
            request->claimed.store(true);
        AuthenticationContext::shared().logout();
        return;
    }

    for (const auto& request : parked)
        if (!request->claimed.exchange(true) && request->fail) request->fail();
}

SessionTokens RetryService::replayTokens() const {
    std::lock_guard lock(tokensMutex_);
    return replayTokens_;
}

void RetryService::pruneParked() {
    std::erase_if(parked_, [](const std::shared_ptr<Parked>& request) { return request->claimed.load(); });
}
