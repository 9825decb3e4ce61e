#pragma once

#include "foundation/json/JSON.h"
#include "net/NSURLSessionDataTask.h"

#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>

// Errors of reply validation and decoding.
inline constexpr std::string_view AFURLResponseSerializationErrorDomain =
    "com.alamofire.error.serialization.response";
// User-info key of the reply body of a failed request (a `Data`).
inline constexpr std::string_view AFNetworkingOperationFailingURLResponseDataErrorKey =
    "com.alamofire.serialization.response.error.data";
// User-info key of the HTTP reply of a failed request (a `std::shared_ptr<const NSHTTPURLResponse>`).
inline constexpr std::string_view AFNetworkingOperationFailingURLResponseErrorKey =
    "com.alamofire.serialization.response.error.response";

namespace cw {
// The reply body of a failed request, when the error carries one.
const Data* failingResponseData(const NSError& error);
// The HTTP reply of a failed request, when the error carries one.
std::shared_ptr<const NSHTTPURLResponse> failingResponse(const NSError& error);
// Status 200–299 and, when `acceptableContentTypes` is given, a content type among them; otherwise
// false with `error` set as described for AFJSONResponseSerializer.
bool validateHTTPResponse(const NSHTTPURLResponse& response, const Data& body,
                          const std::set<std::string>* acceptableContentTypes, NSError* error);
} // namespace cw

// Reads replies as JSON. A reply is accepted when its status is 200–299 and its content type is one of
// the acceptable ones (an empty body without a content type is accepted too); an accepted empty body
// gives no value. A rejected reply, or one that is not JSON, gives an error carrying the body under
// AFNetworkingOperationFailingURLResponseDataErrorKey and the reply under
// AFNetworkingOperationFailingURLResponseErrorKey.
class AFJSONResponseSerializer {
public:
    AFJSONResponseSerializer();

    // "application/json", "text/json" and "text/javascript" at first; compared lower-case.
    std::set<std::string> acceptableContentTypes() const;
    void setAcceptableContentTypes(std::set<std::string> types);

    // Whether the reply passes; otherwise `error` says why.
    bool validateResponse(const NSHTTPURLResponse& response, const Data& body, NSError* error) const;
    // Validates and decodes: true with `object` set (none for an empty body), or false with `error` set.
    bool responseObjectForResponse(const NSHTTPURLResponse& response, const Data& body,
                                   std::optional<JSON>& object, NSError& error) const;

private:
    mutable std::mutex mutex_;
    std::set<std::string> types_;
};
