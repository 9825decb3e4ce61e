#pragma once

#include "Services/BaseHTTPService.h"
#include "Services/ServiceSupport.h"

#include <functional>
#include <optional>
#include <string>
#include <utility>

// Request-layer callbacks for the services whose callers hear only of a JSON-object reply or of a
// RequestError.
namespace cw {

// A success callback that gives `success` a reply that is a JSON object and `failure` parseError for
// anything else, an empty reply included (absent callbacks are not called).
BaseHTTPService::Success objectReply(ObjectSuccess success, RequestFailure failure);
// A success callback that gives `success` what `parse` makes of the reply, and `failure` parseError
// when it makes nothing (absent callbacks are not called).
template <class Result>
BaseHTTPService::Success parsedReply(std::optional<Result> (*parse)(const std::optional<JSON>&),
                                     std::function<void(const Result&)> success, RequestFailure failure) {
    return [parse, success = std::move(success),
            failure = std::move(failure)](const BaseHTTPService::Task&, const std::optional<JSON>& reply) {
        if (auto result = parse(reply)) {
            if (success) success(*result);
        } else if (failure) {
            failure(RequestError::parseError());
        }
    };
}
// A failure callback that gives `failure` (when given) the request's failure as requestFailure reads
// it: serializationError for a reply that came but could not be read, networkError for any other.
BaseHTTPService::Failure networkFailure(RequestFailure failure);
// As networkFailure, except for the server's refusal of the request itself (a status of 400 to 499
// other than 408 and 429, which say to come again later): that gives erroResponse with the server's
// error object (readServerError), whose "message" says what was refused. Sending the same request
// again meets the same refusal, so the screen says what the server said and waits for a change.
BaseHTTPService::Failure refusalOrNetworkFailure(RequestFailure failure);
// The server's words of a refusal (the "message" text of erroResponse's object); none for any other
// failure.
std::optional<std::string> refusalMessage(const RequestError& error);

} // namespace cw
