#pragma once

#include "foundation/json/JSON.h"
#include "foundation/url/URL.h"
#include "net/AFURLRequestSerialization.h"
#include "net/AFURLResponseSerialization.h"
#include "net/NSURLSessionDataTask.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

// Sends requests below a base address and reports on the main queue.
//
// Each send returns its data task, already resumed, and later calls exactly one of its success or
// failure callbacks on the main queue (an absent callback is not called). When no request can be
// built (an address that does not resolve, parameters that are not JSON) it returns none and the
// failure callback gets a null task. Progress callbacks run on the main queue too, always before the
// final callback. Sends may be made from any thread; the transfers run on one network thread.
//
// Failures: a transport failure (no connection, time-out, cancelled) carries an NSURLErrorDomain error
// and the task has no response. A reply that the response serializer refuses carries its status in
// the task's response and its body under AFNetworkingOperationFailingURLResponseDataErrorKey.
//
// Reply limits: a JSON reply (GET, POST and multipart POST) may hold 32 MB (cw::kJSONReplyLimit), a
// plain GET of bytes (pictures, pages, videos) 128 MB (cw::kMediaReplyLimit). A reply whose
// Content-Length declares more is refused before its body is read, and one that grows past the limit
// is stopped there: the request fails with NSURLErrorDataLengthExceedsMaximum, and the task's
// response holds the reply's status and headers.
//
// Redirects are followed by this layer, at most ten in a row; 303 (and 301 or 302 after a POST) turns
// into a GET without body, 307 and 308 repeat the method, header fields and body. Within one origin
// (scheme, host, port) every redirect is followed. To another origin only a request that carries
// nothing of its own follows: one without a body to send again and without header fields beyond
// content negotiation (Accept, Accept-Language, User-Agent, Content-Type). Any other request (a
// password in its body, a token or cookie in its header fields) fails with
// cw::URLErrorRedirectToAnotherOrigin in NSURLErrorDomain, nothing being sent to the other origin;
// the task's response is the redirect, so the failure reads as the server's answer, not as a lost
// connection.
class AFHTTPSessionManager {
public:
    using Task = std::shared_ptr<NSURLSessionDataTask>;
    using Success = std::function<void(const Task&, const std::optional<JSON>&)>;
    using DataSuccess = std::function<void(const Task&, const Data&)>;
    using Failure = std::function<void(const Task&, const NSError&)>;
    using Progress = std::function<void(const NSProgress&)>;
    using ConstructingBody = std::function<void(AFMultipartFormData&)>;

    // `initWithBaseURL:`: a base with a non-empty path that does not end in "/" gets one, so relative
    // paths resolve below it. Without a base only absolute addresses can be sent.
    explicit AFHTTPSessionManager(std::optional<URL> baseURL = std::nullopt);
    AFHTTPSessionManager(const AFHTTPSessionManager&) = delete;
    AFHTTPSessionManager& operator=(const AFHTTPSessionManager&) = delete;

    const std::optional<URL>& baseURL() const { return baseURL_; }

    std::shared_ptr<AFJSONRequestSerializer> requestSerializer() const;
    void setRequestSerializer(std::shared_ptr<AFJSONRequestSerializer> serializer);
    std::shared_ptr<AFJSONResponseSerializer> responseSerializer() const;
    void setResponseSerializer(std::shared_ptr<AFJSONResponseSerializer> serializer);

    // GET with the parameters in the query; `downloadProgress` follows the reply.
    Task GET(const std::string& URLString, const JSON& parameters, Progress downloadProgress, Success success,
             Failure failure);
    // POST with the parameters as a JSON body (no body when they are null); `uploadProgress` follows
    // the body.
    Task POST(const std::string& URLString, const JSON& parameters, Progress uploadProgress, Success success,
              Failure failure);
    // Multipart POST: the flattened parameters as text parts, then what `constructingBody` appends.
    Task POST(const std::string& URLString, const JSON& parameters, const ConstructingBody& constructingBody,
              Progress uploadProgress, Success success, Failure failure);

    // A plain GET of bytes (pictures, pages): any content type, statuses 200–299 succeed; other
    // statuses fail as above. The serializer's header fields are sent.
    Task GETData(const std::string& URLString, Progress downloadProgress, DataSuccess success,
                 Failure failure);

private:
    std::optional<std::string> resolve(const std::string& URLString) const;
    Task send(const std::string& method, const std::string& URLString, const JSON& parameters,
              Progress progress, Success success, Failure failure);
    Task start(NSURLRequest request, Progress progress, bool uploadProgress,
               std::function<void(const Task&, NSURLSessionDataTask::Outcome)> onNetworkThread);

    std::optional<URL> baseURL_;
    mutable std::mutex mutex_;
    std::shared_ptr<AFJSONRequestSerializer> requestSerializer_;
    std::shared_ptr<AFJSONResponseSerializer> responseSerializer_;
};
