#include "net/AFHTTPSessionManager.h"

#include "foundation/dispatch/DispatchQueue.h"
#include "net/detail/HeaderText.h"

#include <atomic>

namespace {

using Task = AFHTTPSessionManager::Task;

NSError badURLError(const std::string& text) {
    return NSError(std::string(NSURLErrorDomain), NSURLErrorBadURL,
                   {{std::string(NSLocalizedDescriptionKey), std::string("unsupported URL")},
                    {std::string(NSURLErrorFailingURLStringErrorKey), cw::detail::withoutQuery(text)}});
}

void failLater(const AFHTTPSessionManager::Failure& failure, NSError error) {
    if (!failure) return;
    DispatchQueue::main().async([failure, error = std::move(error)] { failure(nullptr, error); });
}

// Calls exactly one of the two callbacks on the main queue. The callbacks are moved there: what they
// capture (screens, records) must not be destroyed on the network thread.
template <class Value, class SuccessCallback>
void report(const Task& task, bool ok, Value value, NSError error, SuccessCallback success,
            AFHTTPSessionManager::Failure failure) {
    DispatchQueue::main().async([task, ok, value = std::move(value), error = std::move(error),
                                 success = std::move(success), failure = std::move(failure)] {
        if (ok) {
            if (success) success(task, value);
        } else if (failure) {
            failure(task, error);
        }
    });
}

// Decodes on the network thread, then reports on the main queue.
std::function<void(const Task&, NSURLSessionDataTask::Outcome)>
jsonDelivery(std::shared_ptr<AFJSONResponseSerializer> serializer, AFHTTPSessionManager::Success success,
             AFHTTPSessionManager::Failure failure) {
    return [serializer = std::move(serializer), success = std::move(success),
            failure = std::move(failure)](const Task& task, NSURLSessionDataTask::Outcome outcome) mutable {
        NSError error;
        std::optional<JSON> object;
        bool ok = false;
        if (outcome.error)
            error = std::move(*outcome.error);
        else
            ok = serializer->responseObjectForResponse(*outcome.response, outcome.body, object, error);
        report(task, ok, std::move(object), std::move(error), std::move(success), std::move(failure));
    };
}

} // namespace

AFHTTPSessionManager::AFHTTPSessionManager(std::optional<URL> baseURL)
    : requestSerializer_(std::make_shared<AFJSONRequestSerializer>()),
      responseSerializer_(std::make_shared<AFJSONResponseSerializer>()) {
    if (baseURL && !baseURL->path().empty() && !baseURL->absoluteString().ends_with("/"))
        baseURL = baseURL->appendingPathComponent("");
    baseURL_ = std::move(baseURL);
}

std::shared_ptr<AFJSONRequestSerializer> AFHTTPSessionManager::requestSerializer() const {
    std::lock_guard lock(mutex_);
    return requestSerializer_;
}

void AFHTTPSessionManager::setRequestSerializer(std::shared_ptr<AFJSONRequestSerializer> serializer) {
    if (!serializer) return;
    std::lock_guard lock(mutex_);
    requestSerializer_ = std::move(serializer);
}

std::shared_ptr<AFJSONResponseSerializer> AFHTTPSessionManager::responseSerializer() const {
    std::lock_guard lock(mutex_);
    return responseSerializer_;
}

void AFHTTPSessionManager::setResponseSerializer(std::shared_ptr<AFJSONResponseSerializer> serializer) {
    if (!serializer) return;
    std::lock_guard lock(mutex_);
    responseSerializer_ = std::move(serializer);
}

std::optional<std::string> AFHTTPSessionManager::resolve(const std::string& URLString) const {
    auto url = baseURL_ ? URL::fromString(URLString, *baseURL_) : URL::fromString(URLString);
    if (!url) return std::nullopt;
    return url->absoluteString();
}

Task AFHTTPSessionManager::start(
    NSURLRequest request, Progress progress, bool uploadProgress,
    std::function<void(const Task&, NSURLSessionDataTask::Outcome)> onNetworkThread) {
    // The progress callback is shared by its reports; the network thread's last reference goes back to
    // the main queue behind the final report, so what it captured is released there.
    auto shared = progress ? std::make_shared<const Progress>(std::move(progress)) : nullptr;
    auto task = NSURLSessionDataTask::make(std::move(request),
                                           [onNetworkThread = std::move(onNetworkThread), shared](
                                               const Task& t, NSURLSessionDataTask::Outcome outcome) mutable {
                                               onNetworkThread(t, std::move(outcome));
                                               if (shared)
                                                   DispatchQueue::main().async([last = std::move(shared)] {});
                                           });
    if (shared) {
        // Progress is coalesced: at most one report waits on the main queue, and it reads the latest
        // numbers when it runs, so a fast transfer does not flood the main queue.
        auto pending = std::make_shared<std::atomic<bool>>(false);
        task->setProgressHandler([progress = shared, pending, uploadProgress](const Task& t) {
            if (pending->exchange(true)) return;
            DispatchQueue::main().async([progress, pending, uploadProgress, weak = std::weak_ptr(t)] {
                pending->store(false);
                auto task = weak.lock();
                if (!task) return;
                (*progress)(uploadProgress ? task->uploadProgress() : task->downloadProgress());
            });
        });
    }
    task->resume();
    return task;
}

Task AFHTTPSessionManager::GET(const std::string& URLString, const JSON& parameters,
                               Progress downloadProgress, Success success, Failure failure) {
    return send("GET", URLString, parameters, std::move(downloadProgress), std::move(success),
                std::move(failure));
}

Task AFHTTPSessionManager::POST(const std::string& URLString, const JSON& parameters, Progress uploadProgress,
                                Success success, Failure failure) {
    return send("POST", URLString, parameters, std::move(uploadProgress), std::move(success),
                std::move(failure));
}

Task AFHTTPSessionManager::send(const std::string& method, const std::string& URLString,
                                const JSON& parameters, Progress progress, Success success, Failure failure) {
    auto url = resolve(URLString);
    if (!url) {
        failLater(failure, badURLError(URLString));
        return nullptr;
    }
    NSError error;
    auto request = requestSerializer()->requestWithMethod(method, *url, parameters, &error);
    if (!request) {
        failLater(failure, std::move(error));
        return nullptr;
    }
    request->maximumReplyLength = cw::kJSONReplyLimit;
    return start(std::move(*request), std::move(progress), method != "GET",
                 jsonDelivery(responseSerializer(), std::move(success), std::move(failure)));
}

Task AFHTTPSessionManager::POST(const std::string& URLString, const JSON& parameters,
                                const ConstructingBody& constructingBody, Progress uploadProgress,
                                Success success, Failure failure) {
    auto url = resolve(URLString);
    if (!url) {
        failLater(failure, badURLError(URLString));
        return nullptr;
    }
    auto request =
        requestSerializer()->multipartFormRequestWithMethod("POST", *url, parameters, constructingBody);
    request.maximumReplyLength = cw::kJSONReplyLimit;
    return start(std::move(request), std::move(uploadProgress), true,
                 jsonDelivery(responseSerializer(), std::move(success), std::move(failure)));
}

Task AFHTTPSessionManager::GETData(const std::string& URLString, Progress downloadProgress,
                                   DataSuccess success, Failure failure) {
    auto url = resolve(URLString);
    if (!url) {
        failLater(failure, badURLError(URLString));
        return nullptr;
    }
    auto request = requestSerializer()->requestWithMethod("GET", *url, JSON::missing());
    return start(std::move(*request), std::move(downloadProgress), false,
                 [success = std::move(success), failure = std::move(failure)](
                     const Task& task, NSURLSessionDataTask::Outcome outcome) mutable {
                     NSError error;
                     bool ok = false;
                     if (outcome.error)
                         error = std::move(*outcome.error);
                     else
                         ok = cw::validateHTTPResponse(*outcome.response, outcome.body, nullptr, &error);
                     report(task, ok, std::move(outcome.body), std::move(error), std::move(success),
                            std::move(failure));
                 });
}
