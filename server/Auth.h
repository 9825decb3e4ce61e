#pragma once

#include "server/Database.h"

#include <cstdint>
#include <optional>
#include <string>

namespace cw::server {

struct ServerState;

// Argon2id password hashes in libsodium's self-describing text form.
std::string hashPassword(const std::string& password, bool cheap);
bool verifyPassword(const std::string& hash, const std::string& password);

struct TokenPair {
    std::string accessToken;
    std::string refreshToken;
};

// Issues a new access and refresh token for the member. Only their hashes are stored.
TokenPair issueTokens(Connection& db, const ServerState& state, int64_t memberId);
// The member whose unexpired, unrevoked access token this is.
std::optional<int64_t> memberForAccessToken(Connection& db, const ServerState& state,
                                            const std::string& token);
// Spends a refresh token: revokes it and issues a fresh pair. None when it is unknown, spent or expired.
std::optional<TokenPair> rotateTokens(Connection& db, const ServerState& state,
                                      const std::string& refreshToken);

} // namespace cw::server
