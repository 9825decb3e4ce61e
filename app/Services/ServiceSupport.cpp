#include "Services/ServiceSupport.h"

#include "net/AFURLResponseSerialization.h"

#include <string_view>
#include <utility>

namespace cw {

RequestError readServerError(const NSError* error) {
    const Data* body = error ? failingResponseData(*error) : nullptr;
    if (!body) return RequestError::networkError();
    auto parsed = JSON::parse(std::string_view(reinterpret_cast<const char*>(body->data()), body->size()));
    if (!parsed)
        return RequestError::erroResponse({{"message", JSON("Server error " + parsed.error().domain)}});
    if (auto object = parsed.value().asDictionary()) return RequestError::erroResponse(std::move(*object));
    return RequestError::parseError();
}

RequestError requestFailure(const BaseHTTPService::Task& task, const NSError& error) {
    std::shared_ptr<const NSHTTPURLResponse> response = task ? task->response() : nullptr;
    if (!response) response = failingResponse(error);
    const bool answered = response && response->statusCode() >= 200 && response->statusCode() <= 299;
    return answered ? RequestError::serializationError() : RequestError::networkError();
}

BaseHTTPService::Failure serverErrorFailure(RequestFailure failure) {
    return [failure = std::move(failure)](const BaseHTTPService::Task&, const NSError& error) {
        if (failure) failure(readServerError(&error));
    };
}

void handleDictionaryResponse(const std::optional<JSON>& reply, const ObjectSuccess& success,
                              const RequestFailure& failure) {
    if (reply && reply->type() == JSON::Type::dictionary) {
        if (success) success(*reply);
    } else if (failure) {
        failure(RequestError::parseError());
    }
}

JSON babiesJSON(const std::vector<std::shared_ptr<BabyData>>& babies) {
    JSON list = JSON(JSON::array_t{});
    for (const auto& form : BabyData::arrayToJson(babies)) {
        JSON object = JSON(JSON::dictionary_t{});
        for (const auto& [key, value] : form)
            object.set(key, value);
        list.append(object);
    }
    return list;
}

} // namespace cw
