#pragma once

// What the demo server holds, seen from outside the application: its database read-only, and its
// own answers to a second client signed in as a member (which refreshes its tokens as they expire).

#include <nlohmann/json.hpp>

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct sqlite3;

namespace httplib {
class Client;
}

namespace cw::tour {

class ServerDatabase {
public:
    explicit ServerDatabase(const std::filesystem::path& file);
    ~ServerDatabase();
    ServerDatabase(const ServerDatabase&) = delete;
    ServerDatabase& operator=(const ServerDatabase&) = delete;

    // The rows of a query, each a JSON array of its columns (null, integers, reals, texts); the
    // parameters bind to ?1, ?2, ... as texts, integers as integers.
    nlohmann::json rows(const std::string& sql, const nlohmann::json& parameters = nlohmann::json::array()) const;
    // The first column of the first row, as an integer (0 when there is none).
    std::int64_t number(const std::string& sql, const nlohmann::json& parameters = nlohmann::json::array()) const;
    // The number of rows of every table but the server's own bookkeeping (tokens, throttles,
    // proofs, usage events): what a failed request must not have changed.
    std::map<std::string, std::int64_t> memberDataCounts() const;

private:
    sqlite3* db_ = nullptr;
};

class ServerClient {
public:
    // Signs in; signedIn() is false when the server refused.
    ServerClient(const std::string& baseURL, const std::string& email, const std::string& password);
    ~ServerClient();

    bool signedIn() const { return memberId_ != 0; }
    std::int64_t memberId() const { return memberId_; }
    const nlohmann::json& signIn() const { return signIn_; }

    // An API request below /m/api/ with the member's access token, refreshed once after a 401.
    // The reply's JSON, or null when there was none.
    nlohmann::json post(const std::string& path, const nlohmann::json& body);
    nlohmann::json get(const std::string& path, const std::vector<std::pair<std::string, std::string>>& query);

private:
    bool refresh();

    std::unique_ptr<httplib::Client> http_;
    std::string access_;
    std::string refresh_;
    std::int64_t memberId_ = 0;
    nlohmann::json signIn_;
};

} // namespace cw::tour
