#pragma once

#include "Models/BabyData.h"
#include "Services/BaseHTTPService.h"
#include "foundation/json/JSON.h"
#include "foundation/json/NSError.h"

#include <functional>
#include <memory>
#include <optional>
#include <vector>

// What the account, baby and member services hand their callers: the reply when it is a JSON object,
// or a RequestError.
using ObjectSuccess = std::function<void(const JSON& object)>;
using RequestFailure = std::function<void(const RequestError& error)>;

namespace cw {

// Reads the body of a failed reply: a JSON object gives erroResponse with that object, other JSON
// (an array) parseError, a body that is not JSON erroResponse {"message": "Server error " followed by
// the decoder's error domain}. A failure without a body (no connection, a refresh that failed)
// gives networkError, so that the caller always learns of it.
RequestError readServerError(const NSError* error);

// The failure of a request whose caller hears no more than what kind of failure it was: a reply the
// server answered with success but that could not be read (no JSON, cut short, of another type, too
// large) gives serializationError, so that it is not described as a request that never arrived;
// every other failure (no answer, an error status, a redirect elsewhere, a cancel) networkError.
RequestError requestFailure(const BaseHTTPService::Task& task, const NSError& error);

// A failure callback that gives `failure` (when given) the server's error read as above.
BaseHTTPService::Failure serverErrorFailure(RequestFailure failure);

// Hands a reply that is a JSON object to `success`; anything else (no reply, an array, a text)
// reaches `failure` as parseError. Absent callbacks are not called.
void handleDictionaryResponse(const std::optional<JSON>& reply, const ObjectSuccess& success,
                              const RequestFailure& failure);

// The babies' request forms (BabyData::arrayToJson) as a JSON array of objects of texts.
JSON babiesJSON(const std::vector<std::shared_ptr<BabyData>>& babies);

} // namespace cw
