#pragma once

#include "foundation/json/JSON.h"
#include "net/NSURLSessionDataTask.h"

#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// One field of flattened parameters: `value` is none for a JSON null (written as a bare key).
struct AFQueryStringPair {
    std::string field;
    std::optional<std::string> value;
};

namespace cw {
// Flattens parameters into fields, in the order they are sent: object keys sorted by their bytes, a
// list adds "[]" to the field name of each element, an object member adds "[key]", a null gives a
// field without a value, Booleans are "1" / "0", numbers their decimal text. Empty lists and objects
// give nothing. A top-level value that is not an object is flattened under the empty name.
std::vector<AFQueryStringPair> queryStringPairs(const JSON& parameters);
// The pairs percent-escaped and joined: "a=1&b%5B%5D=x&c". Only letters, digits and "-._~/?" are left
// as they are.
std::string queryString(const JSON& parameters);
std::string percentEscapeQueryComponent(std::string_view text);
} // namespace cw

// A multipart/form-data body being built: text parts and file parts, in the order appended.
class AFMultipartFormData {
public:
    explicit AFMultipartFormData(std::string boundary);

    void appendPartWithFormData(const Data& data, const std::string& name);
    void appendPartWithFileData(const Data& data, const std::string& name, const std::string& fileName,
                                const std::string& mimeType);

    const std::string& boundary() const { return boundary_; }
    std::size_t partCount() const { return parts_; }
    // The whole body with the closing boundary.
    Data finishedBody() const;

private:
    void appendPart(const std::string& headers, const Data& data);

    std::string boundary_;
    Data body_;
    std::size_t parts_ = 0;
};

// Builds requests: the header fields set here go with every request, parameters of GET go into
// the query, parameters of other methods into a JSON body. Header fields may be set from any thread.
class AFJSONRequestSerializer {
public:
    AFJSONRequestSerializer() = default;

    // Sets a header field for every later request; `value` none removes it. Names compare without
    // letter case.
    void setValue(std::optional<std::string> value, const std::string& field);
    std::optional<std::string> valueForHTTPHeaderField(std::string_view field) const;
    std::vector<std::pair<std::string, std::string>> HTTPRequestHeaders() const;

    // The longest each request may stay without a byte sent or received (NSURLRequest::
    // timeoutInterval): the process's default (below) unless set.
    double timeoutInterval() const;
    void setTimeoutInterval(double seconds);
    // What serializers made from now on start with: 60 seconds unless changed. Tests shorten it to
    // see what a request whose answer never comes does, without waiting a minute. Any thread.
    static double defaultTimeoutInterval();
    static void setDefaultTimeoutInterval(double seconds);
    // The kind of traffic of every later request: the default unless set.
    NSURLRequestNetworkServiceType networkServiceType() const;
    void setNetworkServiceType(NSURLRequestNetworkServiceType type);

    // The request for `method` to `url`. Parameters that are null or missing add nothing: no query and
    // no body. None, with `error` set, when the parameters cannot be written as JSON.
    std::optional<NSURLRequest> requestWithMethod(const std::string& method, const std::string& url,
                                                  const JSON& parameters, NSError* error = nullptr) const;

    // A multipart/form-data request: the flattened parameters as text parts first, then the parts
    // that `constructingBody` appends.
    NSURLRequest
    multipartFormRequestWithMethod(const std::string& method, const std::string& url, const JSON& parameters,
                                   const std::function<void(AFMultipartFormData&)>& constructingBody) const;

private:
    mutable std::mutex mutex_;
    std::vector<std::pair<std::string, std::string>> headers_;
    double timeout_ = defaultTimeoutInterval();
    NSURLRequestNetworkServiceType serviceType_ = NSURLNetworkServiceTypeDefault;
};
