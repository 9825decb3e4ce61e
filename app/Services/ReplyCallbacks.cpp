#include "Services/ReplyCallbacks.h"

#include "net/AFURLResponseSerialization.h"

#include <utility>

namespace cw {

BaseHTTPService::Success objectReply(ObjectSuccess success, RequestFailure failure) {
    return [success = std::move(success), failure = std::move(failure)](const BaseHTTPService::Task&,
                                                                        const std::optional<JSON>& reply) {
        handleDictionaryResponse(reply, success, failure);
    };
}

BaseHTTPService::Failure networkFailure(RequestFailure failure) {
    return [failure = std::move(failure)](const BaseHTTPService::Task& task, const NSError& error) {
        if (failure) failure(requestFailure(task, error));
    };
}

BaseHTTPService::Failure refusalOrNetworkFailure(RequestFailure failure) {
    return [failure = std::move(failure)](const BaseHTTPService::Task& task, const NSError& error) {
        if (!failure) return;
        std::shared_ptr<const NSHTTPURLResponse> response = task ? task->response() : nullptr;
        if (!response) response = failingResponse(error);
        const long status = response ? response->statusCode() : 0;
        const bool refused = status >= 400 && status <= 499 && status != 408 && status != 429;
        failure(refused ? readServerError(&error) : requestFailure(task, error));
    };
}

std::optional<std::string> refusalMessage(const RequestError& error) {
    if (error.kind() != RequestError::Kind::erroResponse) return std::nullopt;
    auto message = error.object().find("message");
    if (message == error.object().end()) return std::nullopt;
    return message->second.string();
}

} // namespace cw
