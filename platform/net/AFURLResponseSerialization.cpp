#include "net/AFURLResponseSerialization.h"

#include "net/detail/HeaderText.h"

#include <algorithm>

namespace {

std::string statusReason(int status) {
    switch (status) {
    case 400:
        return "bad request";
    case 401:
        return "unauthorized";
    case 403:
        return "forbidden";
    case 404:
        return "not found";
    case 405:
        return "method not allowed";
    case 409:
        return "conflict";
    case 413:
        return "request too large";
    case 422:
        return "unprocessable entity";
    case 429:
        return "too many requests";
    case 500:
        return "internal server error";
    case 502:
        return "bad gateway";
    case 503:
        return "service unavailable";
    case 504:
        return "gateway timed out";
    default:
        break;
    }
    if (status >= 300 && status < 400) return "redirected";
    if (status >= 400 && status < 500) return "client error";
    if (status >= 500 && status < 600) return "server error";
    return "unexpected status";
}

NSError failure(std::int64_t code, std::string description,
                const std::shared_ptr<const NSHTTPURLResponse>& response, const Data& body) {
    std::map<std::string, std::any> info{
        {std::string(NSLocalizedDescriptionKey), std::move(description)},
        {std::string(AFNetworkingOperationFailingURLResponseDataErrorKey), body},
        {std::string(AFNetworkingOperationFailingURLResponseErrorKey), response},
    };
    if (response)
        info.emplace(std::string(NSURLErrorFailingURLStringErrorKey),
                     cw::detail::withoutQuery(response->url()));
    return NSError(std::string(AFURLResponseSerializationErrorDomain), code, std::move(info));
}

bool onlySpace(const Data& body) {
    return std::all_of(body.begin(), body.end(),
                       [](std::uint8_t c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; });
}

} // namespace

namespace cw {

const Data* failingResponseData(const NSError& error) {
    auto it = error.userInfo.find(std::string(AFNetworkingOperationFailingURLResponseDataErrorKey));
    return it == error.userInfo.end() ? nullptr : std::any_cast<Data>(&it->second);
}

std::shared_ptr<const NSHTTPURLResponse> failingResponse(const NSError& error) {
    auto it = error.userInfo.find(std::string(AFNetworkingOperationFailingURLResponseErrorKey));
    if (it == error.userInfo.end()) return nullptr;
    auto* response = std::any_cast<std::shared_ptr<const NSHTTPURLResponse>>(&it->second);
    return response ? *response : nullptr;
}

bool validateHTTPResponse(const NSHTTPURLResponse& response, const Data& body,
                          const std::set<std::string>* acceptableContentTypes, NSError* error) {
    auto keep = std::make_shared<const NSHTTPURLResponse>(response);
    int status = response.statusCode();
    if (status < 200 || status > 299) {
        if (error)
            *error = failure(NSURLErrorBadServerResponse,
                             "Request failed: " + statusReason(status) + " (" + std::to_string(status) + ")",
                             keep, body);
        return false;
    }
    auto mime = response.MIMEType();
    if (acceptableContentTypes && !(mime ? acceptableContentTypes->contains(*mime) : body.empty())) {
        if (error)
            *error =
                failure(NSURLErrorCannotDecodeContentData,
                        "Request failed: unacceptable content-type: " + mime.value_or("(none)"), keep, body);
        return false;
    }
    return true;
}

} // namespace cw

AFJSONResponseSerializer::AFJSONResponseSerializer()
    : types_{"application/json", "text/json", "text/javascript"} {}

std::set<std::string> AFJSONResponseSerializer::acceptableContentTypes() const {
    std::lock_guard lock(mutex_);
    return types_;
}

void AFJSONResponseSerializer::setAcceptableContentTypes(std::set<std::string> types) {
    std::set<std::string> lower;
    for (const auto& type : types)
        lower.insert(cw::detail::lowercased(type));
    std::lock_guard lock(mutex_);
    types_ = std::move(lower);
}

bool AFJSONResponseSerializer::validateResponse(const NSHTTPURLResponse& response, const Data& body,
                                                NSError* error) const {
    auto types = acceptableContentTypes();
    return cw::validateHTTPResponse(response, body, &types, error);
}

bool AFJSONResponseSerializer::responseObjectForResponse(const NSHTTPURLResponse& response, const Data& body,
                                                         std::optional<JSON>& object, NSError& error) const {
    object.reset();
    if (!validateResponse(response, body, &error)) return false;
    if (onlySpace(body)) return true;
    auto parsed = JSON::parse(std::string_view(reinterpret_cast<const char*>(body.data()), body.size()));
    if (!parsed) {
        error = parsed.error();
        error.userInfo[std::string(AFNetworkingOperationFailingURLResponseDataErrorKey)] = body;
        error.userInfo[std::string(AFNetworkingOperationFailingURLResponseErrorKey)] =
            std::make_shared<const NSHTTPURLResponse>(response);
        return false;
    }
    object = parsed.value();
    return true;
}
