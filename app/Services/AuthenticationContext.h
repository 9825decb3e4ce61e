#pragma once

#include "Models/BabyData.h"
#include "Models/FilterSelection.h"
#include "Models/UserData.h"
#include "foundation/json/JSON.h"
#include "foundation/json/NSError.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class AuthenticationContext;

// Told when a session starts (the application delegate, which then shows the main interface) and
// when it ends (by logout(), whoever calls it: the side menu, a refused token refresh).
class AuthenticationContextDelegate {
public:
    virtual ~AuthenticationContextDelegate() = default;
    virtual void authenticationContextDidStartSession(AuthenticationContext& context) = 0;
    virtual void authenticationContextDidEndSession(AuthenticationContext& context) = 0;
};

// The two tokens of a session, copied out of it (for work that runs off the main thread).
struct SessionTokens {
    std::optional<std::string> accessToken;
    std::optional<std::string> refreshToken;
    bool operator==(const SessionTokens&) const = default;
};

// The signed-in member, the tokens, the babies and the feed filter, kept across launches in the
// user defaults ("userKey", "babyKey", "token", "refreshToken", "filterSelectionKey").
//
// Every request belongs to the session that made it, told by the session's generation: logout ends
// the generation, and so does every sign-in or sign-up as it is sent (beginSignIn), so whatever
// answers for an ended one (a reply, a token renewal, a replay, a sign-in or sign-up reply that an
// earlier sign-in overtook) is dropped where replies are delivered, and nothing of one member
// reaches the next.
//
// Main thread only: every operation reads or writes the session without a lock, except
// sessionGeneration(), which any thread may read. Work that runs elsewhere takes what it needs on
// the main thread first (see tokens()).
class AuthenticationContext {
public:
    // Where the e-mail of the last member who signed in is kept; logout() keeps it.
    static constexpr const char* kUsernameKey = "usernameKey";

    // What code that needs a signed-in member reports when nobody is signed in; the session itself
    // never reports it.
    enum class Error { notAuthenticated };
    // The error object of `error`: domain "Cradleway.AuthenticationContext.Error", code 0.
    static NSError errorObject(Error error);

    // The one session of the process, made on first use (safe against concurrent first use).
    static AuthenticationContext& shared();

    // A session with nothing loaded: every field none. The program uses shared(); tests make their own.
    AuthenticationContext() = default;
    virtual ~AuthenticationContext() = default;
    AuthenticationContext(const AuthenticationContext&) = delete;
    AuthenticationContext& operator=(const AuthenticationContext&) = delete;

    virtual std::weak_ptr<AuthenticationContextDelegate> delegate() const { return delegate_; }
    virtual void setDelegate(std::weak_ptr<AuthenticationContextDelegate> delegate) {
        delegate_ = std::move(delegate);
    }
    virtual std::shared_ptr<UserData> user() const { return user_; }
    virtual void setUser(std::shared_ptr<UserData> user) { user_ = std::move(user); }
    // The baby the member is looking at; never stored.
    virtual std::optional<std::int64_t> selectedBabyId() const { return selectedBabyId_; }
    virtual void setSelectedBabyId(std::optional<std::int64_t> id) { selectedBabyId_ = id; }
    virtual std::optional<std::string> oAuthToken() const { return oAuthToken_; }
    virtual void setOAuthToken(std::optional<std::string> token) { oAuthToken_ = std::move(token); }
    virtual std::optional<std::string> oAuthRefreshToken() const { return oAuthRefreshToken_; }
    virtual void setOAuthRefreshToken(std::optional<std::string> token) {
        oAuthRefreshToken_ = std::move(token);
    }

    // Both tokens as held now.
    SessionTokens tokens() const { return {oAuthToken(), oAuthRefreshToken()}; }

    // The session's generation: the same from one logout or sign-in sent to the next. Any thread.
    std::uint64_t sessionGeneration() const { return generation_.load(); }

    // A sign-in or sign-up is being sent: a session in force (a member and an access token) ends
    // first, as logout() ends it, and the generation moves on either way. Only the reply of the
    // request sent now, in the generation returned, may then start the next session: the reply of
    // any earlier sign-in or sign-up, and every answer to what was sent before, finds its
    // generation over and changes nothing.
    std::uint64_t beginSignIn();

    // The query that opens one of the server's pages as the member: "?user_id=<id>", then
    // "&access_token=<token>" escaped, since the server marks an article read only for the member
    // whose token comes with the page. None without a member.
    std::optional<std::string> memberPageQuery() const;

    // Makes the record the signed-in member and stores it under "userKey".
    virtual void save(const std::shared_ptr<UserData>& user);
    // Ends the session: its generation ends first (so a renewal on its way, the requests parked
    // behind it and every reply still to come for it change nothing; the shared session also
    // abandons the renewal and the parked requests at once, and lets go of the callbacks of its
    // requests on their way, with the screens they hold); the member, the selected baby and both
    // tokens are cleared, as are the cookies of the HTTP session (all but "cw_device", the server's
    // name for the phone) and every stored key of the application except "touchIDKey" and
    // "usernameKey" (kept as they were; an absent "touchIDKey" is written back as false);
    // "hasSeenTutorialKey" is set. Then the delegate hears that the session ended.
    virtual void logout();
    // Reads "refreshToken" and "token"; a missing key leaves its token as it was.
    virtual void loadTokens();
    // Reads "userKey"; a missing or unreadable archive leaves `user` as it was.
    virtual void loadUser();
    // Starts a session from a sign-in, sign-up or baby-save reply (a JSON object): its "tokens", its
    // "user" and its "babies" list. A reply of another shape changes nothing. Tells the delegate when
    // a member and an access token are then held.
    virtual void login(const std::optional<JSON>& response);
    // Takes "tokens" {"access_token", "refresh_token"} (both texts) from a reply and stores them under
    // "token" and "refreshToken"; a reply of another shape changes nothing.
    virtual void updateTokens(const std::optional<JSON>& response);
    // Whether a sign-in reply holds a session of its own: a member record under "user" and both
    // tokens. A reply without one would leave whoever was held before (login keeps the member it
    // had when the reply names none).
    static bool holdsSession(const std::optional<JSON>& response);

    // The stored babies in stored order; empty when nothing readable is stored.
    std::vector<std::shared_ptr<BabyData>> babies() const;
    // Gives each baby its colour (boys alternate between two blues, girls and babies of unknown
    // gender between two pinks, each group starting again at every save) and stores the list.
    void save(const std::vector<std::shared_ptr<BabyData>>& babies);

    // The stored feed filter, or the default one (every card) when nothing readable is stored.
    FilterSelection loadFilterSelection() const;
    void saveFilterSelection(const FilterSelection& selection);

    // The selection that applies when none is stored.
    static FilterSelection defaultFilterSelection();

    // What Touch ID signs in with next time: the e-mail under "usernameKey" and the password in the
    // keychain item of that e-mail (an existing item is updated). A keychain error is printed and
    // dropped: the sign-in or registration that called it has succeeded all the same.
    static void rememberMember(const std::string& email, const std::string& password);

private:
    std::weak_ptr<AuthenticationContextDelegate> delegate_;
    std::shared_ptr<UserData> user_;
    std::optional<std::int64_t> selectedBabyId_;
    std::optional<std::string> oAuthToken_;
    std::optional<std::string> oAuthRefreshToken_;
    std::atomic<std::uint64_t> generation_{0};
};
