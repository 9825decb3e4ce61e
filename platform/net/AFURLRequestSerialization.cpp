#include "net/AFURLRequestSerialization.h"

#include "net/detail/HeaderText.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <random>

namespace {

using cw::detail::equalsIgnoringCase;

std::string scalarText(const nlohmann::json& value) {
    switch (value.type()) {
    case nlohmann::json::value_t::boolean:
        return value.get<bool>() ? "1" : "0";
    case nlohmann::json::value_t::string:
        return value.get<std::string>();
    case nlohmann::json::value_t::number_integer:
        return std::to_string(value.get<std::int64_t>());
    case nlohmann::json::value_t::number_unsigned:
        return std::to_string(value.get<std::uint64_t>());
    default:
        return JSON(value).stringValue();
    }
}

void flatten(const std::string& key, const nlohmann::json& value, std::vector<AFQueryStringPair>& out) {
    if (value.is_object()) {
        // nlohmann keeps object members sorted by their bytes.
        for (const auto& [member, nested] : value.items())
            flatten(key.empty() ? member : key + "[" + member + "]", nested, out);
    } else if (value.is_array()) {
        for (const auto& element : value)
            flatten(key + "[]", element, out);
    } else if (value.is_null()) {
        out.push_back({key, std::nullopt});
    } else {
        out.push_back({key, scalarText(value)});
    }
}

std::string makeBoundary() {
    thread_local std::mt19937_64 random{std::random_device{}()};
    char text[40];
    std::snprintf(text, sizeof text, "Boundary+%016llX", static_cast<unsigned long long>(random()));
    return text;
}

void appendText(Data& data, std::string_view text) {
    data.insert(data.end(), text.begin(), text.end());
}

// Quotes in a field name or file name would end the header's quoted text early.
std::string quotedSafe(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '"')
            out += "%22";
        else if (c == '\r' || c == '\n')
            out += ' ';
        else
            out += c;
    }
    return out;
}

} // namespace

namespace cw {

std::vector<AFQueryStringPair> queryStringPairs(const JSON& parameters) {
    std::vector<AFQueryStringPair> out;
    if (!parameters.exists() || parameters.isNull()) return out;
    flatten("", parameters.json(), out);
    return out;
}

std::string percentEscapeQueryComponent(std::string_view text) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (unsigned char c : text) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
            c == '.' || c == '_' || c == '~' || c == '/' || c == '?') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

std::string queryString(const JSON& parameters) {
    std::string out;
    for (const auto& pair : queryStringPairs(parameters)) {
        if (!out.empty()) out += '&';
        out += percentEscapeQueryComponent(pair.field);
        if (pair.value) {
            out += '=';
            out += percentEscapeQueryComponent(*pair.value);
        }
    }
    return out;
}

} // namespace cw

AFMultipartFormData::AFMultipartFormData(std::string boundary) : boundary_(std::move(boundary)) {}

void AFMultipartFormData::appendPart(const std::string& headers, const Data& data) {
    appendText(body_, "--" + boundary_ + "\r\n" + headers + "\r\n");
    body_.insert(body_.end(), data.begin(), data.end());
    appendText(body_, "\r\n");
    ++parts_;
}

void AFMultipartFormData::appendPartWithFormData(const Data& data, const std::string& name) {
    appendPart("Content-Disposition: form-data; name=\"" + quotedSafe(name) + "\"\r\n", data);
}

void AFMultipartFormData::appendPartWithFileData(const Data& data, const std::string& name,
                                                 const std::string& fileName, const std::string& mimeType) {
    appendPart("Content-Disposition: form-data; name=\"" + quotedSafe(name) + "\"; filename=\"" +
                   quotedSafe(fileName) + "\"\r\nContent-Type: " + quotedSafe(mimeType) + "\r\n",
               data);
}

Data AFMultipartFormData::finishedBody() const {
    Data body = body_;
    appendText(body, "--" + boundary_ + "--\r\n");
    return body;
}

void AFJSONRequestSerializer::setValue(std::optional<std::string> value, const std::string& field) {
    std::lock_guard lock(mutex_);
    auto it = std::find_if(headers_.begin(), headers_.end(),
                           [&](const auto& h) { return equalsIgnoringCase(h.first, field); });
    if (!value) {
        if (it != headers_.end()) headers_.erase(it);
        return;
    }
    // A line break in a value would start a header of its own.
    std::string clean;
    for (char c : *value)
        if (c != '\r' && c != '\n') clean += c;
    if (it != headers_.end())
        it->second = std::move(clean);
    else
        headers_.emplace_back(field, std::move(clean));
}

std::optional<std::string> AFJSONRequestSerializer::valueForHTTPHeaderField(std::string_view field) const {
    std::lock_guard lock(mutex_);
    for (const auto& [name, value] : headers_)
        if (equalsIgnoringCase(name, field)) return value;
    return std::nullopt;
}

std::vector<std::pair<std::string, std::string>> AFJSONRequestSerializer::HTTPRequestHeaders() const {
    std::lock_guard lock(mutex_);
    return headers_;
}

namespace {
std::atomic<double> defaultTimeout{60};
} // namespace

double AFJSONRequestSerializer::defaultTimeoutInterval() {
    return defaultTimeout.load();
}

void AFJSONRequestSerializer::setDefaultTimeoutInterval(double seconds) {
    defaultTimeout.store(seconds);
}

double AFJSONRequestSerializer::timeoutInterval() const {
    std::lock_guard lock(mutex_);
    return timeout_;
}

void AFJSONRequestSerializer::setTimeoutInterval(double seconds) {
    std::lock_guard lock(mutex_);
    timeout_ = seconds;
}

NSURLRequestNetworkServiceType AFJSONRequestSerializer::networkServiceType() const {
    std::lock_guard lock(mutex_);
    return serviceType_;
}

void AFJSONRequestSerializer::setNetworkServiceType(NSURLRequestNetworkServiceType type) {
    std::lock_guard lock(mutex_);
    serviceType_ = type;
}

std::optional<NSURLRequest> AFJSONRequestSerializer::requestWithMethod(const std::string& method,
                                                                       const std::string& url,
                                                                       const JSON& parameters,
                                                                       NSError* error) const {
    NSURLRequest request;
    request.HTTPMethod = method;
    request.url = url;
    request.headers = HTTPRequestHeaders();
    request.timeoutInterval = timeoutInterval();
    request.networkServiceType = networkServiceType();
    bool hasParameters = parameters.exists() && !parameters.isNull();
    if (method == "GET" || method == "HEAD" || method == "DELETE") {
        if (hasParameters) {
            std::string query = cw::queryString(parameters);
            if (!query.empty()) request.url += (url.find('?') == std::string::npos ? "?" : "&") + query;
        }
        return request;
    }
    if (!hasParameters) return request;
    auto type = parameters.type();
    if (type != JSON::Type::dictionary && type != JSON::Type::array) {
        if (error)
            *error = NSError(std::string(NSCocoaErrorDomain), NSPropertyListReadCorruptError,
                             {{std::string(NSDebugDescriptionErrorKey),
                               std::string("The parameters are not a JSON object or array.")}});
        return std::nullopt;
    }
    if (!request.valueForHTTPHeaderField("Content-Type"))
        request.headers.emplace_back("Content-Type", "application/json");
    std::string text = parameters.serialize();
    request.HTTPBody = Data(text.begin(), text.end());
    return request;
}

NSURLRequest AFJSONRequestSerializer::multipartFormRequestWithMethod(
    const std::string& method, const std::string& url, const JSON& parameters,
    const std::function<void(AFMultipartFormData&)>& constructingBody) const {
    NSURLRequest request;
    request.HTTPMethod = method;
    request.url = url;
    request.timeoutInterval = timeoutInterval();
    request.networkServiceType = networkServiceType();
    for (auto& header : HTTPRequestHeaders())
        if (!equalsIgnoringCase(header.first, "Content-Type")) request.headers.push_back(std::move(header));

    AFMultipartFormData form(makeBoundary());
    for (const auto& pair : cw::queryStringPairs(parameters)) {
        std::string value = pair.value.value_or("");
        form.appendPartWithFormData(Data(value.begin(), value.end()), pair.field);
    }
    if (constructingBody) constructingBody(form);
    request.headers.emplace_back("Content-Type", "multipart/form-data; boundary=" + form.boundary());
    request.HTTPBody = form.finishedBody();
    return request;
}
