#pragma once

#include "server/Database.h"
#include "server/Gate.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace cw::server {

struct ServerState;

// Argon2id password hashes in libsodium's text form, as many at once as the machine has cores, in fair
// turns among their senders (the claimant); one that cannot start within a few seconds is a 429.
std::string hashPassword(const std::string& password, bool cheap, const Claimant& claimant = {});
bool verifyPassword(const std::string& hash, const std::string& password, const Claimant& claimant = {});
// The first of `hashes` that the password matches, each checked at the one place it takes: the
// password is judged against all of them, or (429) against none.
std::optional<size_t> matchingPassword(const std::vector<std::string>& hashes, const std::string& password,
                                       const Claimant& claimant = {});
// The places hashes take turns for, and how many hashes wait for one at the moment: a test holds
// every place to see what a busy server answers.
Gate& passwordHashGate();
int passwordHashesWaiting();

struct TokenPair {
    std::string accessToken;
    std::string refreshToken;
};

// Issues a new access and refresh token for the member: a new session, or the given one (a refresh).
// Only their hashes are stored. The access token is known as hers at once, so that her first request
// with it takes its turn as hers, not as her address's.
TokenPair issueTokens(Connection& db, const ServerState& state, int64_t memberId,
                      const std::string& session = {});
// Whose an unexpired, unrevoked access token is: the member, and the session it belongs to (a
// sign-in and the tokens refreshed from it; none for a token stored before sessions were kept).
struct AccessHolder {
    int64_t memberId = 0;
    std::optional<std::string> session;
    int64_t expiresAt = 0;
};
std::optional<AccessHolder> holderOfAccessToken(Connection& db, const ServerState& state,
                                                const std::string& token);
// The access token is known as its holder's (server/KnownClaimants.h) until it expires, counted among its
// session's, with her `family` (`familyOf`) where she has one.
void learnAccessToken(const ServerState& state, const std::string& token, const AccessHolder& holder,
                      std::optional<int64_t> family);
// The family the member proved her place in, named by her first baby with a record number (claimed
// only with that number or its family's invitation); none for an account that proved nothing.
std::optional<int64_t> familyOf(Connection& db, int64_t memberId);
// The group the turns of a member's family are taken in (see `Claimant`); none where she proved none.
std::string turnGroupOf(Connection& db, int64_t memberId);
// Ends the member's sessions: every one but `keep` (a password change), or all (a password reset).
void endSessions(Connection& db, int64_t memberId, const std::optional<std::string>& keep);
// Spends a refresh token: revokes it and issues a fresh pair. None when it is unknown, spent or expired.
std::optional<TokenPair> rotateTokens(Connection& db, const ServerState& state,
                                      const std::string& refreshToken);

} // namespace cw::server
