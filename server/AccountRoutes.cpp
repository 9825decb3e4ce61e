// Accounts: sign-in and sign-up, tokens, invitations, e-mail verification, and the member's own area.

#include "server/Auth.h"
#include "server/Connections.h"
#include "server/Guards.h"
#include "server/Records.h"
#include "server/Server.h"

#include <algorithm>

namespace cw::server {

namespace {

// A text of at most `limit` characters.
std::string boundedText(const RequestContext& ctx, const char* key, size_t limit = 200) {
    std::string value = ctx.text(key);
    if (characterCount(value) > limit)
        throw HttpError(400, std::string("\"") + key + "\" is longer than " + std::to_string(limit) +
                                 " characters.");
    return value;
}

std::string nonEmpty(const RequestContext& ctx, const char* key, size_t limit = 200) {
    std::string value = boundedText(ctx, key, limit);
    if (value.find_first_not_of(" \t\r\n") == std::string::npos)
        throw HttpError(400, std::string("\"") + key + "\" must not be empty.");
    return value;
}

std::string requireEmail(const RequestContext& ctx, const char* key = "email") {
    std::string email = boundedText(ctx, key, 254);
    if (!plausibleEmail(email)) throw HttpError(400, "Please enter a valid e-mail address.");
    return email;
}

std::string requireRelationship(const RequestContext& ctx) {
    std::string canonical;
    if (!validRelationship(ctx.text("relationship"), &canonical))
        throw HttpError(
            400, "\"relationship\" must be one of Mother, Father, Grand Parent, Relative, Friend, Others.");
    return canonical;
}

void requirePassword(const std::string& password) {
    if (characterCount(password) < kShortestPassword)
        throw HttpError(400, "The password must have at least " + std::to_string(kShortestPassword) +
                                 " characters.");
    // What a hash costs goes by bytes.
    if (password.size() > 1024) throw HttpError(400, "The password is too long.");
}

std::optional<int64_t> memberByEmail(Connection& db, const std::string& email) {
    return db.queryInteger("SELECT id FROM members WHERE email = ?", email);
}

// `member` shares a baby with `other`; with `asParent`, a baby of which `member` is a parent (a
// family in which `member` has a parent's say).
bool sharesBaby(Connection& db, int64_t member, int64_t other, bool asParent = false) {
    auto st = db.prepare("SELECT 1 FROM member_babies x JOIN member_babies y ON x.baby_id = y.baby_id "
                         "WHERE x.member_id = ? AND y.member_id = ? AND (x.parent = 1 OR NOT ?)");
    st.with(member, other, int64_t{asParent});
    return st.step();
}

// The last picture part of that name: a request that repeats a part means its last.
const UploadedFile* lastFile(const RequestContext& ctx, const std::string& field) {
    const UploadedFile* found = nullptr;
    for (const auto& file : ctx.files())
        if (file.field == field) found = &file;
    return found;
}

constexpr const char* kOnlyParents = "Only a baby's mother or father can invite or remove family members.";

// Only a parent manages a family (invites and removals), and only the families she is a parent in.
void requireParent(RequestContext& ctx, int64_t memberId) {
    if (!ctx.db.queryInteger("SELECT 1 FROM member_babies WHERE member_id = ? AND parent = 1 LIMIT 1",
                             memberId))
        throw HttpError(403, kOnlyParents);
}

// The open invitations to the address whose own codes this member proved bring her into the
// inviting parents' families, in the role each invitation names: the code of one family's invitation
// carries no other family's invitation to the same address.
void joinInvitingFamilies(RequestContext& ctx, int64_t memberId, const std::string& email) {
    struct Open {
        int64_t id;
        int64_t inviter;
        bool parent;
    };
    std::vector<Open> open;
    {
        auto invitations = ctx.db.prepare("SELECT id, inviter_id, relationship FROM invitations "
                                          "WHERE email = ? AND accepted_member_id IS NULL ORDER BY id");
        invitations.with(email);
        while (invitations.step())
            open.push_back(
                {invitations.integer(0), invitations.integer(1), isParentRelationship(invitations.text(2))});
    }
    const ProofHolders holders = proofHolders(ctx, memberId);
    for (const Open& invitation : open) {
        if (!invitationProven(ctx.db, holders, invitation.id, ctx.now())) continue;
        ctx.db.prepare("UPDATE invitations SET accepted_member_id = ? WHERE id = ?")
            .with(memberId, invitation.id)
            .run();
        ctx.db
            .prepare("INSERT OR IGNORE INTO member_babies (member_id, baby_id, parent) "
                     "SELECT ?, baby_id, ? FROM member_babies WHERE member_id = ? AND parent = 1")
            .with(memberId, int64_t{invitation.parent}, invitation.inviter)
            .run();
        if (invitation.parent)
            for (auto [member, spouse] :
                 {std::pair{memberId, invitation.inviter}, std::pair{invitation.inviter, memberId}})
                ctx.db.prepare("UPDATE members SET spouse_id = ? WHERE id = ? AND spouse_id IS NULL")
                    .with(spouse, member)
                    .run();
    }
}

// The first of the hashes that the password is; a check the server was too busy to make (429) was no
// guess, and its count is taken back. Made against every hash at once, so that a guess is never
// judged against one and then taken back for want of a place to check the next.
std::optional<size_t> matchedOrNotJudged(RequestContext& ctx, Attempt& attempt,
                                         const std::vector<std::string>& hashes,
                                         const std::string& password) {
    try {
        return matchingPassword(hashes, password, ctx.claimant());
    } catch (const HttpError&) {
        attempt.notJudged();
        throw;
    }
}

json signIn(RequestContext& ctx) {
    std::string email = boundedText(ctx, "email", 254);
    std::string password = boundedText(ctx, "password", 1024);
    const std::string refusal = "The e-mail address or password is not correct.";
    int64_t memberId = 0;
    std::string hash;
    std::optional<std::string> resetHash;
    {
        // Read and finished before the hash: a write on a read's stale snapshot (taking the count back
        // when the server is too busy to judge) would fail once another member's write had landed.
        auto st = ctx.db.prepare(
            "SELECT id, password_hash, reset_password_hash, reset_expires_at FROM members WHERE email = ?");
        st.with(email);
        if (st.step()) {
            memberId = st.integer(0);
            hash = st.text(1);
            // A temporary password from a reset works once, within its hour, and then becomes the password.
            if (st.optionalInteger(3).value_or(0) >= ctx.now()) resetHash = st.optionalText(2);
        }
    }
    if (!memberId) {
        // No account to guess at: what is tried here is counted against the address alone.
        Attempt(ctx, {{&throttle::kSignInClient, ctx.client()}}).keep();
        throw HttpError(403, refusal);
    }
    Attempt attempt(ctx, passwordKeys(ctx.db, memberId, ctx.client(), requestingPhone(ctx), ctx.now()));
    // Hashes are checked outside any transaction: Argon2 takes a while and writers would wait on it.
    std::vector<std::string> hashes = {hash};
    if (resetHash) hashes.push_back(*resetHash);
    const std::optional<size_t> matched = matchedOrNotJudged(ctx, attempt, hashes, password);
    if (!matched) throw HttpError(403, refusal);
    const bool temporary = *matched > 0;
    Transaction tx(ctx.db);
    if (temporary) {
        ctx.db
            .prepare("UPDATE members SET password_hash = reset_password_hash, reset_password_hash = NULL, "
                     "reset_expires_at = NULL WHERE id = ?")
            .with(memberId)
            .run();
        // The reset is complete: whoever held a session of the old password holds it no longer.
        endSessions(ctx.db, memberId, std::nullopt);
    }
    attempt.succeeded(true);
    signedInFrom(ctx, memberId);
    // The invitations this application proved for the account's own address now count for it: an
    // invitee who had an account takes the invitation up so. Nothing else the phone proved passes.
    handProofsTo(ctx, memberId, email, AccountArrival::SignIn);
    joinInvitingFamilies(ctx, memberId, email);
    json reply = sessionReply(ctx.db, ctx.state, memberId);
    tx.commit();
    return reply;
}

// An invitation waits for the address, and the application neither gave back its code within the hour
// nor proved the address by an e-mailed code: the account would be made outside the family that invited
// her, and shown as a success. She is asked for her code again, and no account is made.
void requireWaitingInvitationProven(RequestContext& ctx, const std::string& email) {
    if (!ctx.db.prepare("SELECT 1 FROM invitations WHERE email = ? AND accepted_member_id IS NULL LIMIT 1")
             .with(email)
             .step() ||
        invitationToAddressProven(ctx, email))
        return;
    if (const auto application = proofHolders(ctx, std::nullopt).client) {
        auto verified = ctx.db.prepare("SELECT 1 FROM email_verifications WHERE email = ? AND application = ? "
                                       "AND verified = 1 AND expires_at >= ?");
        verified.with(email, *application, ctx.now());
        if (verified.step()) return;
    }
    throw HttpError(403, "An invitation is waiting for this e-mail address. Please enter your invitation code "
                         "again to join your family.");
}

// The account a sign-up made, with the tokens of its first session.
json signUpAnswer(RequestContext& ctx, const json& made) {
    const int64_t memberId = made.value("member", int64_t{0});
    json user = memberJson(ctx.db, memberId);
    const std::string status = "Welcome to Cradleway, " + user.value("full_name", std::string()) + ".";
    return {{"user", std::move(user)},
            {"babies", babiesOfMember(ctx.db, memberId)},
            {"tokens", made.value("tokens", json::object())},
            {"status", status}};
}

json signUp(RequestContext& ctx) {
    std::string fullName = nonEmpty(ctx, "full_name");
    std::string email = requireEmail(ctx);
    // What the member says of herself is shown as hers; her rights in a family come from how she
    // entered it.
    std::string relationship = requireRelationship(ctx);
    std::string password = ctx.text("password");
    requirePassword(password);
    // The babies are read before anything is stored.
    json babies = babyList(ctx, false);
    // An address already taken is refused before anything costs: the allowance counts accounts made.
    if (memberByEmail(ctx.db, email))
        throw HttpError(409, "An account already exists for this e-mail address.");
    requireWaitingInvitationProven(ctx, email);
    // Taken before the pictures' decoding and the password's hash, given back if refused after all. A
    // sign-up that proved what it takes up (an invitation's code, a baby's record number) is not
    // counted by its address, so that a neighbour who makes accounts keeps no family out.
    std::vector<RateKey> network;
    if (!signUpProven(ctx, email, namedBabies(ctx, babies)))
        network.push_back({"signup", ctx.client(), ctx.state.options.rates.signUpsByAddress});
    TakenAllowance allowance(ctx.state, std::move(network), "Too many accounts were made from this network.");
    MemberStorage storage(ctx, std::nullopt, pictureBytes(ctx), 0);

    // One picture is the member's: only the part the sign-up names is stored.
    std::optional<std::string> picture;
    BabyPictures babyPictures;
    try {
        if (const UploadedFile* file = lastFile(ctx, "user_picture"))
            picture = uploadPath(savePicture(ctx, *file));
        babyPictures = storeBabyPictures(ctx, babies);
    } catch (const HttpError& refused) {
        // A picture refused (too large or too slow to read, not a picture) took the server's work
        // all the same: the sign-up counts, so that refused pictures keep no one decoding for free.
        if (refused.status() == 413 || refused.status() == 415) allowance.keep("signup");
        throw;
    }

    std::string hash = hashPassword(password, ctx.state.options.cheapPasswordHashing, ctx.claimant());
    Transaction tx(ctx.db);
    if (memberByEmail(ctx.db, email))
        throw HttpError(409, "An account already exists for this e-mail address.");
    // Her proof may have lapsed while the picture was read and the password hashed.
    requireWaitingInvitationProven(ctx, email);
    ctx.db
        .prepare(
            "INSERT INTO members (email, full_name, relationship, password_hash, security_code, file_name, "
            "created_at, created_network) VALUES (?, ?, ?, ?, ?, ?, ?, ?)")
        .with(email, fullName, relationship, hash, randomNumber(100000, 999999), picture, ctx.now(),
              ctx.client())
        .run();
    int64_t memberId = ctx.db.lastInsertId();
    signedInFrom(ctx, memberId);
    // An invitation to the address is taken up only when this application gave back its own code
    // shortly before; otherwise it stays open. The proofs are the new account's from now on.
    handProofsTo(ctx, memberId, email, AccountArrival::SignUp);
    joinInvitingFamilies(ctx, memberId, email);
    saveBabies(ctx, memberId, babies, BabyEdits::SignUp, babyPictures);
    const TokenPair tokens = issueTokens(ctx.db, ctx.state, memberId);
    ctx.made = {{"member", memberId},
                {"tokens", {{"access_token", tokens.accessToken}, {"refresh_token", tokens.refreshToken}}}};
    ctx.commit(tx);
    allowance.keep("signup");
    storage.keep();
    return signUpAnswer(ctx, ctx.made);
}

json refreshTokens(RequestContext& ctx) {
    std::string refresh = ctx.request.get_header_value("X-Refresh-Token");
    if (refresh.empty()) refresh = ctx.optionalText("refresh_token").value_or("");
    auto pair = rotateTokens(ctx.db, ctx.state, refresh);
    if (!pair) throw HttpError(401, "The refresh token is not valid. Please sign in again.");
    return {{"access_token", pair->accessToken}, {"refresh_token", pair->refreshToken}};
}

// An invitation's code is eight digits, so that the wrong codes that renew it are many more than an
// address's free failures, while an invitee still types it from her mail.
std::string firstCode() {
    return std::to_string(randomNumber(10'000'000, 99'999'999));
}

json inviteAnswer(RequestContext& ctx, const json& made) {
    auto st = ctx.db.prepare("SELECT email FROM invitations WHERE id = ? AND inviter_id = ?");
    st.with(made.value("invitation", int64_t{0}), ctx.member());
    if (!st.step()) throw HttpError(404, "The invitation this request made is no longer there.");
    const std::string status = "An invitation has been sent to " + st.text(0) + ".";
    return {{"status", status}, {"message", status}};
}

json invite(RequestContext& ctx) {
    int64_t me = ctx.memberMatchingUserId();
    requireParent(ctx, me);
    std::string name = nonEmpty(ctx, "full_name");
    std::string relationship = requireRelationship(ctx);
    std::string email = requireEmail(ctx);
    auto myEmail = memberJson(ctx.db, me);
    // Someone with an account may be invited (a member once removed from the family comes back only
    // so), but not someone already in the family.
    if (auto member = memberByEmail(ctx.db, email); member && sharesBaby(ctx.db, me, *member, true))
        throw HttpError(409, "This person already has a Cradleway account.");
    // Each invitation is a row that stays until it is taken up, and a mail.
    TakenAllowance allowance(
        ctx.state, {{"invitations", std::to_string(me), ctx.state.options.rates.invitationsByMember}},
        "Too many invitations were sent from this account.");
    // And each family's: the invitee joins every baby the inviter is a parent of, so the invitation
    // counts in each of those babies' families, whichever of their parents sends it.
    std::vector<RateKey> families;
    {
        auto babies = ctx.db.prepare("SELECT baby_id FROM member_babies WHERE member_id = ? AND parent = 1");
        babies.with(me);
        while (babies.step())
            families.push_back({"invitations", "family of baby " + std::to_string(babies.integer(0)),
                                ctx.state.options.rates.invitationsByFamily});
    }
    TakenAllowance familyAllowance(ctx.state, std::move(families), "Too many invitations were sent from this family.");
    std::string code = firstCode();
    Transaction tx(ctx.db);
    // The family's list is answered whole, so its members and waiting invitations are bounded;
    // counted within the write, so that invitations sent together cannot pass it.
    if (ctx.db
            .queryInteger(kFamilyOf +
                              "SELECT (SELECT COUNT(*) FROM family) + (SELECT COUNT(*) FROM invitations "
                              "WHERE inviter_id IN family AND accepted_member_id IS NULL)",
                          me)
            .value_or(0) >= kMostInFamily)
        throw HttpError(403, "This family holds " + std::to_string(kMostInFamily) +
                                 " members and invitations, as many as it may.");
    ctx.db
        .prepare("INSERT INTO invitations (inviter_id, full_name, relationship, email, code, created_at) "
                 "VALUES (?, ?, ?, ?, ?, ?)")
        .with(me, name, relationship, email, code, ctx.now())
        .run();
    ctx.made = {{"invitation", ctx.db.lastInsertId()}};
    ctx.commit(tx);
    allowance.keep("invitations");
    familyAllowance.keep("invitations");
    ctx.console("invitation: " + name + " <" + email + "> (" + relationship + ") invited by " +
                myEmail["full_name"].get<std::string>() + " <" + myEmail["email"].get<std::string>() +
                ">: invitation code " + code);
    return inviteAnswer(ctx, ctx.made);
}

// The wrong codes one code takes, from every address together, before it is renewed: a ten-thousandth
// of the codes of its length, so that whoever sends them has one chance in ten thousand of finding it.
constexpr int64_t kCodeChances = 10'000;
int64_t wrongCodesAllowed(const std::string& code) {
    int64_t space = 9;
    for (size_t digit = 1; digit < std::min<size_t>(code.size(), 18); ++digit)
        space *= 10;
    return std::max<int64_t>(1, space / kCodeChances);
}
const int64_t kFewestWrongCodes = wrongCodesAllowed("100000");

// A renewed code is longer (ten digits, each taking 900,000 wrong codes), so that the guesses that
// spent one code do not go on at the next as fast, and its invitee is not mailed again and again.
std::string renewedCode() {
    return std::to_string(randomNumber(1'000'000'000, 9'999'999'999));
}

// A wrong code is a guess at every open invitation the address sent with it names, from any network.
// A code that has taken its share is renewed and mailed to its invitee (the console stands in for the
// mail), so that no number of addresses finds a code, and no one's guesses keep its invitee out.
void countWrongCode(RequestContext& ctx, const std::string& email) {
    const char* const named = "i.accepted_member_id IS NULL AND "
                              "(i.email = ?1 OR i.inviter_id IN (SELECT id FROM members WHERE email = ?1))";
    ctx.db.prepare(std::string("UPDATE invitations AS i SET wrong_codes = wrong_codes + 1 WHERE ") + named)
        .with(email)
        .run();
    struct Spent {
        int64_t id;
        std::string line;
    };
    std::vector<Spent> spent;
    {
        auto st = ctx.db.prepare(
            std::string(
                "SELECT i.id, i.code, i.wrong_codes, i.full_name, i.email, m.full_name, m.email "
                "FROM invitations i JOIN members m ON m.id = i.inviter_id WHERE i.wrong_codes >= ?2 AND ") +
            named);
        st.with(email, kFewestWrongCodes);
        while (st.step())
            if (st.integer(2) >= wrongCodesAllowed(st.text(1)))
                spent.push_back({st.integer(0),
                                 "invitation: a new code for " + st.text(3) + " <" + st.text(4) + "> from " +
                                     st.text(5) + " <" + st.text(6) + ">, since the last took " +
                                     std::to_string(st.integer(2)) + " wrong codes: invitation code "});
    }
    for (Spent& invitation : spent) {
        const std::string code = renewedCode();
        ctx.db.prepare("UPDATE invitations SET replaced_code = code, code = ?, wrong_codes = 0 WHERE id = ?")
            .with(code, invitation.id)
            .run();
        ctx.console(invitation.line + code);
    }
}

json checkInvitation(RequestContext& ctx) {
    std::string email = boundedText(ctx, "email", 254);
    std::string code = boundedText(ctx, "invitation_code", 32);
    // Checks sent together are counted one after another, so that parallel guesses cannot all pass
    // the count before any failure is recorded, nor a code take more wrong codes than its share.
    Transaction tx(ctx.db);
    Attempt attempt(ctx, {{&throttle::kInvitationClient, ctx.client()}});
    auto st =
        ctx.db.prepare("SELECT i.full_name, i.relationship, i.email, i.id FROM invitations i "
                       "JOIN members m ON m.id = i.inviter_id "
                       "WHERE i.code = ? AND i.accepted_member_id IS NULL AND (m.email = ?2 OR i.email = ?2) "
                       "ORDER BY i.created_at DESC LIMIT 1");
    st.bind(1, code).bind(2, email);
    if (!st.step()) {
        st.reset();
        // The code its invitee was mailed before others' wrong codes renewed it: she is told where the
        // new one went. It is no guess at the new code, which it leaves as it is.
        auto replaced = ctx.db.prepare(
            "SELECT i.email FROM invitations i JOIN members m ON m.id = i.inviter_id "
            "WHERE i.replaced_code = ? AND i.accepted_member_id IS NULL AND (m.email = ?2 OR i.email = ?2) "
            "ORDER BY i.created_at DESC LIMIT 1");
        replaced.bind(1, code).bind(2, email);
        if (replaced.step()) {
            const std::string invitee = replaced.text(0);
            replaced.reset();
            tx.commit();
            throw HttpError(404, "This invitation's code was replaced: a new code was sent to " + invitee +
                                     ". Please enter the new code.");
        }
        replaced.reset();
        countWrongCode(ctx, email);
        tx.commit();
        throw HttpError(404, "These details do not match any open invitation.");
    }
    json invited = {{"full_name", st.text(0)}, {"relationship", st.text(1)}, {"email", st.text(2)}};
    int64_t invitation = st.integer(3);
    st.reset();
    // Only this attempt's own count is taken back: the wrong codes the address sent before may have
    // been guesses at another invitation, which a right code of this one does not forgive.
    attempt.succeeded();
    // Knowing the mailed code proves this invitation (no other), for this application and the account
    // with the invited address; a member signed in with another address gains nothing by it.
    std::string invitedEmail = invited["email"];
    const bool inviteeSignedIn =
        ctx.memberId && lowerCase(memberJson(ctx.db, *ctx.memberId)["email"]) == lowerCase(invitedEmail);
    if (!ctx.memberId || inviteeSignedIn) recordProof(ctx, Proof::Invitation, invitedEmail, invitation);
    if (inviteeSignedIn) {
        // Signed in to the invited account, she needs no other: her code brings her into the family now.
        joinInvitingFamilies(ctx, *ctx.memberId, invitedEmail);
        invited["babies"] = babiesOfMember(ctx.db, *ctx.memberId);
        tx.commit();
        return invited;
    }
    if (memberByEmail(ctx.db, invitedEmail)) {
        // The address has an account already: its owner takes the invitation up by signing in to it
        // here, and no one else gains by it. Whoever typed the code learns nothing of the family.
        tx.commit();
        throw HttpError(409, "An account already exists for " + invitedEmail +
                                 ". If it is yours, sign in to it to accept the invitation.");
    }
    // The invited road goes on to look up the inviting family's babies by their record numbers.
    tx.commit();
    return invited;
}

json requestEmailCode(RequestContext& ctx) {
    std::string email = requireEmail(ctx);
    if (memberByEmail(ctx.db, email))
        throw HttpError(409, "An account already exists for this e-mail address.");
    // Each code is a row and a mail: paced per address asked for from each network, and per network
    // unless the application proved an invitation to the address, so a neighbour keeps no invitee out.
    const auto& rates = ctx.state.options.rates;
    std::vector<RateKey> keys = {{"code", lowerCase(email) + " " + ctx.client(), rates.codesByEmail}};
    if (!invitationToAddressProven(ctx, email))
        keys.push_back({"code-address", ctx.client(), rates.codesByAddress});
    TakenAllowance allowance(ctx.state, std::move(keys), "Too many verification codes were asked for.");
    // The code is the asking application's: another's request neither replaces it nor may guess at it.
    RequestingApplication application(ctx);
    int64_t code = randomNumber(1000, 9999);
    Transaction tx(ctx.db);
    ctx.db
        .prepare("INSERT INTO email_verifications (email, application, code, attempts, expires_at, verified) "
                 "VALUES (?, ?, ?, 0, ?, 0) "
                 "ON CONFLICT(email, application) DO UPDATE SET code = excluded.code, attempts = 0, "
                 "expires_at = excluded.expires_at, verified = 0")
        .with(email, application.name(), code, ctx.now() + 30 * 60)
        .run();
    removeExpired(ctx.db, "email_verifications", "expires_at", ctx.now());
    application.issue();
    tx.commit();
    allowance.keep("code");
    allowance.keep("code-address");
    ctx.console("e-mail verification: code " + std::to_string(code) + " for " + email);
    return {{"status", "A verification code has been sent to " + email + "."}};
}

json verifyEmailCode(RequestContext& ctx) {
    std::string email = boundedText(ctx, "email", 254);
    int64_t code = ctx.id("code");
    const std::string noCode =
        "No verification is waiting for this e-mail address. Please ask for a new code.";
    // Only the application that asked for a code may give it back: another (a stranger's, from any
    // address) has none of hers to guess at, and its guesses spend its own count and code.
    const std::optional<std::string> application = proofHolders(ctx, std::nullopt).client;
    if (!application) throw HttpError(404, noCode);
    // Guesses sent together are judged one after another, so that a code takes no more than its five
    // wrong codes. A code that is not waiting, or is spent, is no guess: she asks for a new one.
    Transaction tx(ctx.db);
    bool right = false;
    {
        auto st = ctx.db.prepare(
            "SELECT code, attempts, expires_at FROM email_verifications WHERE email = ? AND application = ?");
        st.with(email, *application);
        if (!st.step() || st.integer(2) < ctx.now()) throw HttpError(404, noCode);
        if (st.integer(1) >= 5) throw HttpError(429, "Too many wrong codes. Please ask for a new code.");
        right = st.integer(0) == code;
    }
    Attempt attempt(ctx, {{&throttle::kEmailCodeClient, ctx.client()}});
    if (!right) {
        ctx.db
            .prepare(
                "UPDATE email_verifications SET attempts = attempts + 1 WHERE email = ? AND application = ?")
            .with(email, *application)
            .run();
        tx.commit();
        throw HttpError(400, "The verification code is not correct.");
    }
    ctx.db.prepare("UPDATE email_verifications SET verified = 1 WHERE email = ? AND application = ?")
        .with(email, *application)
        .run();
    attempt.succeeded();
    tx.commit();
    return {{"status", "Your e-mail address is verified."}};
}

const char* const kSettingFlags[] = {"recommended_notifications", "post_notifications",
                                     "comment_notifications", "daily_update_notifications", "scheduled"};

json settingsOf(Connection& db, int64_t memberId) {
    auto st = db.prepare("SELECT recommended_notifications, post_notifications, comment_notifications, "
                         "daily_update_notifications, scheduled, scheduled_from, scheduled_to FROM members "
                         "WHERE id = ?");
    st.with(memberId);
    st.step();
    json out = {{"user_id", memberId}};
    for (int i = 0; i < 5; ++i)
        out[kSettingFlags[i]] = st.integer(i) != 0;
    out["scheduled_from"] = st.text(5);
    out["scheduled_to"] = st.text(6);
    return out;
}

bool validClockTime(const std::string& t) {
    if (t.size() != 8 || t[2] != ':' || t[5] != ':') return false;
    for (int i : {0, 1, 3, 4, 6, 7})
        if (!std::isdigit(static_cast<unsigned char>(t[static_cast<size_t>(i)]))) return false;
    return std::stoi(t.substr(0, 2)) < 24 && std::stoi(t.substr(3, 2)) < 60 && std::stoi(t.substr(6, 2)) < 60;
}

json fetchSettings(RequestContext& ctx) {
    return settingsOf(ctx.db, ctx.memberMatchingUserId());
}

json saveSettings(RequestContext& ctx) {
    int64_t me = ctx.memberMatchingUserId();
    Transaction tx(ctx.db);
    for (const char* key : kSettingFlags)
        if (auto value = ctx.optionalFlag(key))
            ctx.db.prepare(std::string("UPDATE members SET ") + key + " = ? WHERE id = ?")
                .with(*value, me)
                .run();
    for (const char* key : {"scheduled_from", "scheduled_to"})
        if (auto value = ctx.optionalText(key)) {
            if (!validClockTime(*value))
                throw HttpError(400, std::string("\"") + key + "\" must be a time written HH:mm:ss.");
            ctx.db.prepare(std::string("UPDATE members SET ") + key + " = ? WHERE id = ?")
                .with(*value, me)
                .run();
        }
    tx.commit();
    json out = settingsOf(ctx.db, me);
    out["status"] = "Your notification settings are saved.";
    return out;
}

// The member's family, and then the invitations she sent that wait to be taken up: written a row at a
// time (the family holds at most `kMostInFamily`, see `invite`).
void writeFamily(Connection& db, int64_t me, ReplyText& out) {
    auto st =
        db.prepare("SELECT DISTINCT m.id, m.full_name, m.email, m.relationship, m.file_name "
                   "FROM members m JOIN member_babies mine ON mine.member_id = ?1 "
                   "JOIN member_babies theirs ON theirs.baby_id = mine.baby_id AND theirs.member_id = m.id "
                   "WHERE m.id != ?1 ORDER BY m.id");
    st.bind(1, me);
    out.write("[");
    bool first = true;
    auto next = [&] {
        if (!first) out.write(",");
        first = false;
    };
    while (st.step()) {
        json partner = {{"id", st.integer(0)},
                        {"name", st.text(1)},
                        {"email", st.text(2)},
                        {"relationship", st.text(3)},
                        {"connected", true}};
        if (auto file = st.optionalText(4)) partner["file_name"] = *file;
        next();
        writeJsonText(partner, out);
    }
    auto pending = db.prepare("SELECT full_name, email, relationship FROM invitations "
                              "WHERE inviter_id = ? AND accepted_member_id IS NULL ORDER BY created_at");
    pending.with(me);
    while (pending.step()) {
        next();
        writeJsonText({{"name", pending.text(0)},
                       {"email", pending.text(1)},
                       {"relationship", pending.text(2)},
                       {"connected", false}},
                      out);
    }
    out.write("]");
}

json familyMembers(RequestContext& ctx) {
    int64_t me = ctx.memberMatchingUserId();
    ctx.rowsReply = [&ctx, me](ReplyText& out) {
        writeFieldsThenList(
            json::object(), "members", [&](ReplyText& list) { writeFamily(ctx.db, me, list); }, out);
    };
    return nullptr;
}

json removeFamilyMember(RequestContext& ctx) {
    int64_t me = ctx.memberMatchingUserId();
    ctx.checkSecurityCode("security_code");
    requireParent(ctx, me);
    int64_t other = ctx.id("family_member_id");
    if (other == me) throw HttpError(400, "You cannot remove yourself from your family.");
    Transaction tx(ctx.db);
    if (!sharesBaby(ctx.db, me, other)) throw HttpError(404, "This person is not in your family.");
    // A parent in her own family is a member like any other in a family she joined on invitation.
    if (!sharesBaby(ctx.db, me, other, true)) throw HttpError(403, kOnlyParents);
    // Removal is for good: the invitations of this parent's families that brought the member in, or
    // still wait for her address, admit no more; only a new invitation, proven anew, does.
    ctx.db
        .prepare("DELETE FROM invitations WHERE (accepted_member_id = ?2 OR (accepted_member_id IS NULL AND "
                 "email = (SELECT email FROM members WHERE id = ?2))) AND inviter_id IN "
                 "(SELECT b.member_id FROM member_babies a JOIN member_babies b ON b.baby_id = a.baby_id "
                 "WHERE a.member_id = ?1 AND a.parent = 1)")
        .with(me, other)
        .run();
    ctx.db
        .prepare("DELETE FROM member_babies WHERE member_id = ? AND baby_id IN "
                 "(SELECT baby_id FROM member_babies WHERE member_id = ? AND parent = 1)")
        .with(other, me)
        .run();
    ctx.db
        .prepare("UPDATE members SET spouse_id = NULL WHERE (id = ?1 AND spouse_id = ?2) OR (id = ?2 AND "
                 "spouse_id = ?1)")
        .with(me, other)
        .run();
    tx.commit();
    std::string status = "The family member has been removed.";
    return {{"status", status}, {"message", status}};
}

// A change sent again with its key after its answer was lost is answered as it was: checked again,
// the password it set would no longer be the current one, and she would read that hers is wrong.
json passwordAnswer(RequestContext&, const json&) {
    std::string message = "Your password has been updated.";
    return {{"message", message}, {"status", message}};
}

json updatePassword(RequestContext& ctx) {
    int64_t me = ctx.memberMatchingUserId();
    std::string current = ctx.text("current_password");
    std::string next = ctx.text("new_password");
    requirePassword(next);
    // The current password is guessed no faster here than at the sign-in.
    Attempt attempt(ctx, passwordKeys(ctx.db, me, ctx.client(), requestingPhone(ctx), ctx.now()));
    std::string stored;
    {
        // Read and finished before the hash, as at the sign-in.
        auto st = ctx.db.prepare("SELECT password_hash FROM members WHERE id = ?");
        st.with(me);
        st.step();
        stored = st.text(0);
    }
    if (!matchedOrNotJudged(ctx, attempt, {stored}, current))
        throw HttpError(400, "The current password is not correct.");
    std::string hash = hashPassword(next, ctx.state.options.cheapPasswordHashing, ctx.claimant());
    Transaction tx(ctx.db);
    ctx.db.prepare("UPDATE members SET password_hash = ?, reset_password_hash = NULL WHERE id = ?")
        .with(hash, me)
        .run();
    // Every other session of the member ends. Hers is the one the request was let in with: its token
    // may have ended during the hashes, and looked up now it would name none, ending hers too.
    endSessions(ctx.db, me, ctx.session);
    attempt.succeeded(true);
    ctx.commit(tx);
    return passwordAnswer(ctx, ctx.made);
}

json savePushToken(RequestContext& ctx) {
    int64_t me = ctx.memberMatchingUserId();
    std::string token = boundedText(ctx, "push_token", 512);
    Transaction tx(ctx.db);
    // A device's token belongs to the member who registered it last: whoever signed out on that phone
    // before has her notifications sent there no more.
    if (!token.empty())
        ctx.db.prepare("UPDATE members SET push_token = NULL WHERE push_token = ? AND id != ?")
            .with(token, me)
            .run();
    ctx.db.prepare("UPDATE members SET push_token = ? WHERE id = ?").with(token, me).run();
    tx.commit();
    return {{"status", "ok"}};
}

json checkEmail(RequestContext& ctx) {
    std::string email = boundedText(ctx, "email", 254);
    if (!plausibleEmail(email)) return {{"message", "Please enter a valid e-mail address."}};
    if (memberByEmail(ctx.db, email))
        return {{"message", "An account already exists for this e-mail address."}};
    return {{"message", ""}};
}

json resetPassword(RequestContext& ctx) {
    std::string email = boundedText(ctx, "email", 254);
    // Counted per e-mail address asked for from each network, account or not, so that a refusal
    // tells nothing; the network's allowance counts only the temporary passwords made (each a hash
    // and a mail). A reset from a phone that signed in to the account is counted by that phone alone,
    // so that a neighbour on the ward's network keeps none of her phones waiting.
    const auto& rates = ctx.state.options.rates;
    const auto member = memberByEmail(ctx.db, email);
    std::vector<RateKey> keys;
    if (member && fromPhoneOf(ctx, *member))
        keys.push_back({"reset", lowerCase(email) + " phone " + *requestingPhone(ctx), rates.resetsByEmail});
    else
        keys = {{"reset", lowerCase(email) + " " + ctx.client(), rates.resetsByEmail},
                {"reset-address", ctx.client(), rates.resetsByAddress}};
    TakenAllowance allowance(ctx.state, std::move(keys), "Too many password resets were asked for.");
    if (member) {
        // A temporary password already sent stays the one that works until it is used or expires:
        // anybody may ask for anybody's reset, and a new one must not undo the member's.
        const char* const pending = "reset_password_hash IS NOT NULL AND COALESCE(reset_expires_at, 0) > ?";
        if (ctx.db.prepare(std::string("SELECT 1 FROM members WHERE id = ? AND ") + pending)
                .with(*member, ctx.now())
                .step()) {
            ctx.console("password reset: the temporary password sent to " + email + " earlier still holds");
        } else {
            std::string temporary = randomHex(5);
            std::string hash = hashPassword(temporary, ctx.state.options.cheapPasswordHashing, ctx.claimant());
            // Two resets at once: the first to store its password wins.
            ctx.db
                .prepare(std::string("UPDATE members SET reset_password_hash = ?, reset_expires_at = ? "
                                     "WHERE id = ? AND NOT (") +
                         pending + ")")
                .with(hash, ctx.now() + 3600, *member, ctx.now())
                .run();
            if (ctx.db.changes() > 0) {
                ctx.console("password reset: temporary password " + temporary + " for " + email +
                            " (valid for one hour)");
                allowance.keep("reset-address");
            }
        }
    }
    allowance.keep("reset");
    // The same answer either way, so that the reply does not tell who has an account.
    return {{"message", "If an account exists for " + email + ", a temporary password has been sent to it."}};
}

json memberUpdateAnswer(RequestContext& ctx, const json&) {
    json user = memberJson(ctx.db, ctx.member());
    std::string status = "Your details have been saved.";
    json reply = {{"status", status}, {"message", status}, {"user", user}};
    if (user.contains("file_name")) reply["file_name"] = user["file_name"];
    return reply;
}

json updateMember(RequestContext& ctx) {
    int64_t me = ctx.memberMatchingUserId();
    std::string name = nonEmpty(ctx, "full_name");
    // The member's picture is the part named after the member; other parts are not stored.
    const UploadedFile* file = lastFile(ctx, "user_picture_" + std::to_string(me));
    MemberStorage storage(ctx, me, name.size() + (file ? file->content->size() : 0), 0);
    std::optional<std::string> picture;
    if (file) picture = uploadPath(savePicture(ctx, *file));
    std::optional<std::string> replaced;
    Transaction tx(ctx.db);
    ctx.db.prepare("UPDATE members SET full_name = ? WHERE id = ?").with(name, me).run();
    if (picture) {
        replaced = memberJson(ctx.db, me).value("file_name", std::string());
        ctx.db.prepare("UPDATE members SET file_name = ? WHERE id = ?").with(*picture, me).run();
    }
    ctx.commit(tx);
    storage.keep();
    if (replaced) removeUnnamedPictures(ctx.db, ctx.state.uploadDirectory, {*replaced});
    return memberUpdateAnswer(ctx, ctx.made);
}

} // namespace

void addAccountRoutes(std::vector<Route>& routes) {
    routes.push_back({"POST", "signin", Access::Public, signIn, nullptr, true});
    routes.push_back({"POST", "signup", Access::Public, signUp, signUpAnswer, true});
    routes.push_back({"POST", "tokens", Access::Refresh, refreshTokens});
    routes.push_back({"POST", "invite", Access::Member, invite, inviteAnswer});
    routes.push_back({"POST", "invite/check", Access::Public, checkInvitation});
    routes.push_back({"GET", "invite/data", Access::Member, familyMembers});
    routes.push_back({"POST", "validate/email", Access::Public, requestEmailCode});
    routes.push_back({"POST", "verify/email", Access::Public, verifyEmailCode});
    routes.push_back({"GET", "member/notification/settings", Access::Member, fetchSettings});
    routes.push_back({"POST", "member/notification/settings", Access::Member, saveSettings});
    routes.push_back({"POST", "member/delete", Access::Member, removeFamilyMember});
    routes.push_back({"POST", "member/update_pass", Access::Member, updatePassword, passwordAnswer, true});
    routes.push_back({"POST", "member/push_notif_token", Access::Member, savePushToken});
    routes.push_back({"POST", "member/check", Access::Public, checkEmail});
    routes.push_back({"POST", "member/password/reset", Access::Public, resetPassword, nullptr, true});
    routes.push_back({"POST", "member/update", Access::Member, updateMember, memberUpdateAnswer, false, true});
}

} // namespace cw::server
