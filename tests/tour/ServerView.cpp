#include "tests/tour/ServerView.h"

#include <httplib.h>
#include <sqlite3.h>

#include <map>
#include <stdexcept>

namespace cw::tour {

ServerDatabase::ServerDatabase(const std::filesystem::path& file) {
    if (sqlite3_open_v2(file.c_str(), &db_, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        const std::string why = db_ ? sqlite3_errmsg(db_) : "out of memory";
        sqlite3_close(db_);
        db_ = nullptr;
        throw std::runtime_error("cannot read " + file.string() + ": " + why);
    }
    sqlite3_busy_timeout(db_, 5000);
}

ServerDatabase::~ServerDatabase() {
    sqlite3_close(db_);
}

nlohmann::json ServerDatabase::rows(const std::string& sql, const nlohmann::json& parameters) const {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &st, nullptr) != SQLITE_OK)
        throw std::runtime_error(sql + ": " + sqlite3_errmsg(db_));
    int index = 1;
    for (const auto& p : parameters) {
        if (p.is_number_integer())
            sqlite3_bind_int64(st, index, p.get<std::int64_t>());
        else if (p.is_null())
            sqlite3_bind_null(st, index);
        else {
            const std::string text = p.is_string() ? p.get<std::string>() : p.dump();
            sqlite3_bind_text(st, index, text.c_str(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
        }
        ++index;
    }
    nlohmann::json out = nlohmann::json::array();
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        nlohmann::json row = nlohmann::json::array();
        for (int c = 0; c < sqlite3_column_count(st); ++c) {
            switch (sqlite3_column_type(st, c)) {
            case SQLITE_INTEGER: row.push_back(sqlite3_column_int64(st, c)); break;
            case SQLITE_FLOAT: row.push_back(sqlite3_column_double(st, c)); break;
            case SQLITE_NULL: row.push_back(nullptr); break;
            default:
                row.push_back(std::string(reinterpret_cast<const char*>(sqlite3_column_text(st, c)),
                                          static_cast<std::size_t>(sqlite3_column_bytes(st, c))));
            }
        }
        out.push_back(std::move(row));
    }
    const std::string error = rc == SQLITE_DONE ? "" : sqlite3_errmsg(db_);
    sqlite3_finalize(st);
    if (!error.empty()) throw std::runtime_error(sql + ": " + error);
    return out;
}

std::int64_t ServerDatabase::number(const std::string& sql, const nlohmann::json& parameters) const {
    const auto r = rows(sql, parameters);
    if (r.empty() || !r[0][0].is_number_integer()) return 0;
    return r[0][0].get<std::int64_t>();
}

std::map<std::string, std::int64_t> ServerDatabase::memberDataCounts() const {
    std::map<std::string, std::int64_t> counts;
    for (const auto& t : rows("SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT IN "
                              "('tokens', 'throttles', 'proofs', 'analytics_events', 'event_owners', 'invitation_checks', "
                              "'email_verifications', 'schema_version')")) {
        const std::string name = t[0];
        counts[name] = number("SELECT COUNT(*) FROM \"" + name + "\"");
    }
    return counts;
}

ServerClient::ServerClient(const std::string& baseURL, const std::string& email, const std::string& password)
    : http_(std::make_unique<httplib::Client>(baseURL)) {
    http_->set_read_timeout(30, 0);
    auto reply = http_->Post("/m/api/signin/", nlohmann::json{{"email", email}, {"password", password}}.dump(),
                             "application/json");
    if (!reply || reply->status != 200) return;
    signIn_ = nlohmann::json::parse(reply->body, nullptr, false);
    if (!signIn_.is_object()) return;
    access_ = signIn_["tokens"].value("access_token", "");
    refresh_ = signIn_["tokens"].value("refresh_token", "");
    memberId_ = signIn_["user"].value("id", std::int64_t{0});
}

ServerClient::~ServerClient() = default;

bool ServerClient::refresh() {
    auto reply = http_->Post("/m/api/tokens/", {{"X-Refresh-Token", refresh_}}, "", "application/json");
    if (!reply || reply->status != 200) return false;
    const auto pair = nlohmann::json::parse(reply->body, nullptr, false);
    if (!pair.is_object()) return false;
    access_ = pair.value("access_token", "");
    refresh_ = pair.value("refresh_token", "");
    return true;
}

nlohmann::json ServerClient::post(const std::string& path, const nlohmann::json& body) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        auto reply = http_->Post("/m/api/" + path, {{"X-Access-Token", access_}}, body.dump(), "application/json");
        if (!reply) return nullptr;
        if (reply->status == 401 && attempt == 0 && refresh()) continue;
        return nlohmann::json::parse(reply->body, nullptr, false);
    }
    return nullptr;
}

nlohmann::json ServerClient::get(const std::string& path,
                                 const std::vector<std::pair<std::string, std::string>>& query) {
    httplib::Params params(query.begin(), query.end());
    for (int attempt = 0; attempt < 2; ++attempt) {
        auto reply = http_->Get("/m/api/" + path, params, {{"X-Access-Token", access_}});
        if (!reply) return nullptr;
        if (reply->status == 401 && attempt == 0 && refresh()) continue;
        return nlohmann::json::parse(reply->body, nullptr, false);
    }
    return nullptr;
}

} // namespace cw::tour
