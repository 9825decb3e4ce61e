#include "Forwarding.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string_view>

#include <nlohmann/json.hpp>

namespace cw::test {

void nameManyBabiesInSignIn(const std::string& path, std::string& body, int count) {
    if (path != "/m/api/signin" && path != "/m/api/signin/") return;
    auto reply = nlohmann::json::parse(body, nullptr, false);
    if (!reply.is_object() || !reply["babies"].is_array() || reply["babies"].empty()) return;
    auto& babies = reply["babies"];
    const auto model = babies.front();
    for (int i = static_cast<int>(babies.size()); i < count; ++i) {
        auto baby = model;
        baby["id"] = 900'000 + i;
        baby["full_name"] = "Baby " + std::to_string(i);
        babies.push_back(std::move(baby));
    }
    body = reply.dump();
}

namespace {

// Fields that describe one hop rather than the request or its answer: the client library writes
// its own, and the answer's body arrives here already decoded.
constexpr std::array<std::string_view, 7> kHopFields = {
    "Content-Length", "Transfer-Encoding", "Connection", "Content-Encoding",
    "Accept-Encoding", "Keep-Alive",       "Content-Type",
};

bool isHopField(const std::string& name) {
    // httplib also files the connection's own addresses among a request's fields.
    if (name.starts_with("REMOTE_") || name.starts_with("LOCAL_")) return true;
    return std::any_of(kHopFields.begin(), kHopFields.end(), [&](std::string_view field) {
        return std::equal(field.begin(), field.end(), name.begin(), name.end(),
                          [](char a, char b) { return std::tolower(a) == std::tolower(b); });
    });
}

} // namespace

void forwardRequest(const std::string& upstream, const RecordedRequest& request, httplib::Response& response) {
    httplib::Client client(upstream);
    client.set_read_timeout(60, 0);
    httplib::Headers headers;
    for (const auto& [name, value] : request.headers)
        if (!isHopField(name)) headers.emplace(name, value);
    const std::string target = request.query.empty() ? request.path : request.path + "?" + request.query;
    const std::string type = request.header("Content-Type").value_or("application/json");

    httplib::Result result = request.method == "GET"  ? client.Get(target, headers)
                             : !request.parts.empty() ? client.Post(target, headers, request.parts)
                                                      : client.Post(target, headers, request.body, type);
    if (!result) {
        response.status = 502;
        return;
    }
    response.status = result->status;
    response.headers.clear();
    for (const auto& [name, value] : result->headers)
        if (!isHopField(name)) response.headers.emplace(name, value);
    response.set_content(result->body, result->get_header_value("Content-Type"));
}

} // namespace cw::test
