#include "net/NSURLSessionDataTask.h"

#include "net/detail/HeaderText.h"
#include "net/detail/NetworkEngine.h"

#include <algorithm>
#include <cmath>

namespace {

std::optional<std::string> headerValue(const std::vector<std::pair<std::string, std::string>>& headers,
                                       std::string_view name) {
    for (const auto& [field, value] : headers)
        if (cw::detail::equalsIgnoringCase(field, name)) return value;
    return std::nullopt;
}

std::atomic<std::uint64_t> nextIdentifier{1};
std::atomic<std::size_t> resumedUnfinished{0};

} // namespace

NSHTTPURLResponse::NSHTTPURLResponse(std::string url, int statusCode,
                                     std::vector<std::pair<std::string, std::string>> headers)
    : url_(std::move(url)), statusCode_(statusCode), headers_(std::move(headers)) {}

std::optional<std::string> NSHTTPURLResponse::valueForHTTPHeaderField(std::string_view name) const {
    return headerValue(headers_, name);
}

std::optional<std::string> NSHTTPURLResponse::MIMEType() const {
    auto type = valueForHTTPHeaderField("Content-Type");
    if (!type) return std::nullopt;
    std::string mime =
        cw::detail::lowercased(cw::detail::trimmed(std::string_view(*type).substr(0, type->find(';'))));
    if (mime.empty()) return std::nullopt;
    return mime;
}

std::optional<std::string> NSURLRequest::valueForHTTPHeaderField(std::string_view name) const {
    return headerValue(headers, name);
}

std::shared_ptr<NSURLSessionDataTask> NSURLSessionDataTask::make(NSURLRequest request,
                                                                 CompletionHandler completion) {
    return std::shared_ptr<NSURLSessionDataTask>(
        new NSURLSessionDataTask(std::move(request), std::move(completion)));
}

NSURLSessionDataTask::NSURLSessionDataTask(NSURLRequest request, CompletionHandler completion)
    : identifier_(nextIdentifier.fetch_add(1)), request_(std::move(request)),
      completion_(std::move(completion)) {}

std::shared_ptr<const NSHTTPURLResponse> NSURLSessionDataTask::response() const {
    std::lock_guard lock(mutex_);
    return response_;
}

NSProgress NSURLSessionDataTask::uploadProgress() const {
    std::lock_guard lock(mutex_);
    return upload_;
}

NSProgress NSURLSessionDataTask::downloadProgress() const {
    std::lock_guard lock(mutex_);
    return download_;
}

void NSURLSessionDataTask::setPriority(float priority) {
    priority_ = std::isnan(priority) ? NSURLSessionTaskPriorityDefault : std::clamp(priority, 0.0f, 1.0f);
}

void NSURLSessionDataTask::resume() {
    auto expected = NSURLSessionTaskState::suspended;
    if (state_.compare_exchange_strong(expected, NSURLSessionTaskState::running)) {
        resumedUnfinished.fetch_add(1);
        counted_ = true;
        cw::detail::NetworkEngine::shared().start(shared_from_this());
    }
}

void NSURLSessionDataTask::cancel() {
    auto expected = NSURLSessionTaskState::suspended;
    if (state_.compare_exchange_strong(expected, NSURLSessionTaskState::canceling)) {
        // Never handed to the network thread: end it here.
        finish({nullptr, {}, cw::makeURLError(NSURLErrorCancelled, request_.url)});
        return;
    }
    expected = NSURLSessionTaskState::running;
    if (state_.compare_exchange_strong(expected, NSURLSessionTaskState::canceling))
        cw::detail::NetworkEngine::shared().cancel(shared_from_this());
}

void NSURLSessionDataTask::finish(Outcome outcome) {
    if (finished_.exchange(true)) return;
    {
        std::lock_guard lock(mutex_);
        response_ = outcome.response;
    }
    state_ = NSURLSessionTaskState::completed;
    auto completion = std::move(completion_);
    completion_ = nullptr;
    progressHandler_ = nullptr;
    if (completion) completion(shared_from_this(), std::move(outcome));
    // Counted out once its handler has run (and handed its result on), not before.
    if (counted_) resumedUnfinished.fetch_sub(1);
}

std::size_t NSURLSessionDataTask::tasksInFlight() {
    return resumedUnfinished.load();
}

void NSURLSessionDataTask::reportProgress(std::int64_t sentTotal, std::int64_t sent,
                                          std::int64_t receivedTotal, std::int64_t received) {
    {
        std::lock_guard lock(mutex_);
        NSProgress up{sentTotal > 0 ? sentTotal : -1, sent};
        NSProgress down{receivedTotal > 0 ? receivedTotal : -1, received};
        if (up.totalUnitCount == upload_.totalUnitCount &&
            up.completedUnitCount == upload_.completedUnitCount &&
            down.totalUnitCount == download_.totalUnitCount &&
            down.completedUnitCount == download_.completedUnitCount)
            return;
        upload_ = up;
        download_ = down;
    }
    if (progressHandler_) progressHandler_(shared_from_this());
}

namespace cw {

NSError makeURLError(std::int64_t code, const std::string& url, std::string debugDescription) {
    std::string text;
    switch (code) {
    case NSURLErrorCancelled:
        text = "cancelled";
        break;
    case NSURLErrorBadURL:
        text = "unsupported URL";
        break;
    case NSURLErrorUnsupportedURL:
        text = "unsupported URL";
        break;
    case NSURLErrorTimedOut:
        text = "The request timed out.";
        break;
    case NSURLErrorCannotFindHost:
        text = "A server with the specified hostname could not be found.";
        break;
    case NSURLErrorCannotConnectToHost:
        text = "Could not connect to the server.";
        break;
    case NSURLErrorNetworkConnectionLost:
        text = "The network connection was lost.";
        break;
    case NSURLErrorHTTPTooManyRedirects:
        text = "too many HTTP redirects";
        break;
    case NSURLErrorDataLengthExceedsMaximum:
        text = "resource exceeds maximum size";
        break;
    case URLErrorRedirectToAnotherOrigin:
        text = "The server redirected the request to another server, which it was not sent to.";
        break;
    case NSURLErrorSecureConnectionFailed:
        text = "An SSL error has occurred and a secure connection to the server cannot be made.";
        break;
    case NSURLErrorServerCertificateUntrusted:
        text = "The certificate for this server is invalid.";
        break;
    case NSURLErrorServerCertificateHasUnknownRoot:
        text = "The store of certificate authorities is missing or unreadable, so no secure "
               "connection can be checked. Install the ca-certificates package.";
        break;
    default:
        text = "An unknown error occurred.";
        break;
    }
    std::map<std::string, std::any> info{
        {std::string(NSLocalizedDescriptionKey), text},
        {std::string(NSURLErrorFailingURLStringErrorKey), detail::withoutQuery(url)}};
    if (!debugDescription.empty())
        info.emplace(std::string(NSDebugDescriptionErrorKey), std::move(debugDescription));
    return NSError(std::string(NSURLErrorDomain), code, std::move(info));
}

} // namespace cw
