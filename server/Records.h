#pragma once

#include "server/Http.h"

#include <cstdint>
#include <optional>
#include <string>

namespace cw::server {

// Member and baby objects in the shape the client's records read.
json memberJson(Connection& db, int64_t memberId);
json babyJson(Connection& db, int64_t babyId);
json babiesOfMember(Connection& db, int64_t memberId);
// The sign-in reply: "user", "babies", "tokens".
json sessionReply(Connection& db, const ServerState& state, int64_t memberId);

// "days_of_life_description", "gestational_age_description", "adjusted_gestational_age_description".
json ageDescriptions(Connection& db, int64_t babyId, int64_t now);

// Comments of a post (or daily update) or of an education item, oldest first.
json commentsOf(Connection& db, std::optional<int64_t> postId, std::optional<int64_t> feedId, int limit = -1);
int64_t commentCount(Connection& db, std::optional<int64_t> postId, std::optional<int64_t> feedId);

// Feed cards. "users" collects the authors of the posts for the reply's "users" map.
json contentCard(Connection& db, int64_t memberId, int64_t contentId);
json postCard(Connection& db, int64_t memberId, int64_t postId, json& users, const std::string& baseUrl);

// Pictures: stored under a fresh name, and named in replies by a path below the server root.
std::string savePicture(const RequestContext& ctx, const UploadedFile& file);
std::string uploadPath(const std::string& storedName);  // "images/upload/<name>"
std::string staticPath(const std::string& pictureName); // "/static-files/images/<name>"

// A baby as a sign-up or a baby update describes it.
struct BabyFields {
    std::string fullName;
    std::string birthday;         // yyyy-MM-dd
    std::string expectedBirthday; // yyyy-MM-dd
    std::string gender;           // Male, Female or Unknown
};
BabyFields readBabyFields(const RequestContext& entry);
// A new baby in the member's family; returns its id.
int64_t createBaby(Connection& db, int64_t memberId, const BabyFields& baby);

bool validRelationship(const std::string& text, std::string* canonical = nullptr);
bool plausibleEmail(const std::string& text);

} // namespace cw::server
