#include "Services/ReplyCallbacks.h"

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

} // namespace cw
