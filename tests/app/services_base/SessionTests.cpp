#include "ServiceFixture.h"

#include "Extensions/UIColor+Palette.h"
#include "Services/SignInService.h"
#include "foundation/defaults/UserDefaults.h"
#include "foundation/dispatch/RunLoop.h"
#include "tests/support/Gate.h"
#include "tests/support/session/SessionReset.h"

#include <atomic>

namespace cw::servicetest {
namespace {

using SessionTest = ServiceTest;

JSON parse(const char* text) {
    return JSON::parse(text).value();
}

nlohmann::json baby(int id, const char* gender) {
    return {{"id", id},
            {"full_name", "Baby " + std::to_string(id)},
            {"birthday", "2026-01-02"},
            {"expected_birthday", "2026-02-01"},
            {"gender", gender}};
}

TEST_F(SessionTest, LoginIsStoredAndLoadedBackByANewSession) {
    auto delegate = std::make_shared<RecordingSessionDelegate>();
    auto& session = AuthenticationContext::shared();
    session.setDelegate(delegate);
    nlohmann::json reply = {
        {"tokens", {{"access_token", "A"}, {"refresh_token", "R"}}},
        {"user",
         {{"id", 5},
          {"email", "ada@example.org"},
          {"full_name", "Ada"},
          {"relationship", "Mother"},
          {"security_code", 77}}},
        {"babies", {baby(1, "Male"), baby(2, "Female"), {{"id", 3}}, baby(4, "Male"), baby(5, "Unknown")}}};
    session.login(JSON(reply));
    EXPECT_EQ(delegate->started, 1);
    EXPECT_EQ(delegate->ended, 0);
    const FilterSelection bookmarks({}, true, false, true, false);
    session.saveFilterSelection(bookmarks);

    // The tokens live in the defaults file, which only the member may read.
    const auto mode = std::filesystem::status(UserDefaults::standard().filePath()).permissions();
    EXPECT_EQ(mode & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    UserDefaults::resetStandard(); // as a new launch would read it
    AuthenticationContext fresh;
    EXPECT_EQ(fresh.loadFilterSelection(), bookmarks);
    fresh.loadTokens();
    fresh.loadUser();
    EXPECT_EQ(fresh.tokens(), (SessionTokens{"A", "R"}));
    ASSERT_TRUE(fresh.user());
    EXPECT_EQ(fresh.user()->id(), 5);
    EXPECT_EQ(fresh.user()->code(), 77);
    const auto babies = fresh.babies();
    ASSERT_EQ(babies.size(), 4u); // the element without its required keys is dropped
    const char* colours[] = {"#86C5F4", "#EFACE1", "#96D9EA", "#F2B1C3"};
    for (std::size_t i = 0; i < babies.size(); ++i) {
        ASSERT_TRUE(babies[i]->backgroundColor());
        EXPECT_EQ(*babies[i]->backgroundColor(), UIColorWithHex(colours[i], 1.0)) << i;
    }
}

TEST_F(SessionTest, AServerPageIsOpenedAsTheMemberWithTheTokenEscaped) {
    auto& session = AuthenticationContext::shared();
    EXPECT_FALSE(session.memberPageQuery()) << "nobody signed in";
    session.login(JSON(nlohmann::json{{"tokens", {{"access_token", "a+b&c=d"}, {"refresh_token", "R"}}},
                                      {"user",
                                       {{"id", 5},
                                        {"email", "ada@example.org"},
                                        {"full_name", "Ada"},
                                        {"relationship", "Mother"},
                                        {"security_code", 77}}},
                                      {"babies", {baby(1, "Male")}}}));
    // A token holding "&" or "=" must not end its value or add a field of its own.
    EXPECT_EQ(session.memberPageQuery(), "?user_id=5&access_token=a%2Bb%26c%3Dd");
}

TEST_F(SessionTest, ColoursKeepAlternatingBeyondFourBabiesOfAGroup) {
    std::vector<std::shared_ptr<BabyData>> boys;
    for (int i = 0; i < 6; ++i)
        boys.push_back(std::make_shared<BabyData>("B", "", "", Gender::Male));
    AuthenticationContext::shared().save(boys);
    for (std::size_t i = 0; i < boys.size(); ++i)
        EXPECT_EQ(*boys[i]->backgroundColor(), UIColorWithHex(i % 2 ? "#96D9EA" : "#86C5F4", 1.0)) << i;
    EXPECT_EQ(AuthenticationContext::shared().babies().size(), 6u);
}

TEST_F(SessionTest, RepliesOfTheWrongShapeChangeNothing) {
    auto delegate = std::make_shared<RecordingSessionDelegate>();
    AuthenticationContext session;
    session.setDelegate(delegate);
    session.save(
        std::vector<std::shared_ptr<BabyData>>{std::make_shared<BabyData>("B", "", "", Gender::Female)});

    session.login(parse(R"([{"tokens":{"access_token":"A","refresh_token":"R"}}])"));
    session.login(std::nullopt);
    session.updateTokens(parse(R"({"tokens":{"access_token":"A"}})"));
    session.updateTokens(parse(R"({"tokens":{"access_token":"A","refresh_token":7}})"));
    EXPECT_EQ(session.tokens(), SessionTokens{});
    // A member without tokens is stored, but no session starts; the babies stay without "babies".
    session.login(parse(R"({"user":{"id":1,"email":"e","full_name":"F","relationship":"Father"}})"));
    EXPECT_TRUE(session.user());
    EXPECT_EQ(delegate->started, 0);
    EXPECT_EQ(session.babies().size(), 1u);
    session.setOAuthToken("held");
    session.login(parse(R"({"babies":[]})"));
    EXPECT_EQ(delegate->started, 1);
    EXPECT_TRUE(session.babies().empty());
}

TEST_F(SessionTest, LogoutKeepsOnlyTheSignInKeysAndNothingOfTheMemberInMemory) {
    auto& defaults = UserDefaults::standard();
    auto& session = AuthenticationContext::shared();
    session.login(parse(R"({"tokens":{"access_token":"A","refresh_token":"R"},
        "user":{"id":1,"email":"e","full_name":"F","relationship":"Father"}})"));
    session.setSelectedBabyId(3);
    session.saveFilterSelection(FilterSelection({}, true, false, false, true));
    defaults.setObject("ada@example.org", "usernameKey");
    defaults.setObject("x", "question");

    const auto generation = session.sessionGeneration();
    session.logout();
    EXPECT_EQ(session.tokens(), SessionTokens{});
    EXPECT_FALSE(session.user());
    EXPECT_FALSE(session.selectedBabyId());
    EXPECT_NE(session.sessionGeneration(), generation) << "what was sent in the session is of an ended one";
    const auto stored = defaults.persistentDomain();
    EXPECT_EQ(stored.size(), 3u);
    EXPECT_EQ(stored.at("touchIDKey"), PropertyListValue(false));
    EXPECT_EQ(stored.at("usernameKey"), PropertyListValue("ada@example.org"));
    EXPECT_EQ(stored.at("hasSeenTutorialKey"), PropertyListValue(true));
    EXPECT_EQ(session.loadFilterSelection(), AuthenticationContext::defaultFilterSelection());

    defaults.removeObjectForKey("usernameKey");
    defaults.setBool(true, "touchIDKey");
    session.logout();
    EXPECT_FALSE(defaults.stringForKey("usernameKey"));
    EXPECT_TRUE(defaults.boolForKey("touchIDKey"));
}

// A sign-in ends the session in force as it leaves. Its answer, held, is overtaken by a second
// sign-in: whether it comes after the second's or a screen that has gone asked for it, it reaches
// nobody, and the session is the second's.
TEST_F(SessionTest, ASignInOvertakenByAnotherOrLeftByItsScreenReachesNobody) {
    auto held = std::make_shared<cw::test::Gate>();
    cw::test::OpenOnExit opened{held};
    auto heldAnswered = std::make_shared<std::atomic<int>>(0);
    setReply([held, heldAnswered](const Arrival& arrival, httplib::Response& response) {
        if (arrival.path != "/m/api/signin/") return;
        const auto email = arrival.json().value("email", "");
        if (email != "james@example.org") held->wait();
        response.set_content(nlohmann::json{{"tokens", {{"access_token", "T-" + email}, {"refresh_token", "R"}}},
                                            {"user", {{"id", email.size()}, {"email", email}, {"full_name", email},
                                                      {"relationship", "Mother"}}}}
                                 .dump(),
                             "application/json");
        if (email != "james@example.org") ++*heldAnswered;
    });
    auto delegate = std::make_shared<RecordingSessionDelegate>();
    auto& session = AuthenticationContext::shared();
    session.setDelegate(delegate);
    signIn("access", "refresh");

    int heard = 0;
    auto login = [&](const BaseHTTPService::Task&, const std::optional<JSON>& reply) {
        ++heard;
        session.login(reply);
    };
    auto failed = [](const BaseHTTPService::Task&, const NSError&) { ADD_FAILURE() << "failed"; };
    auto screen = std::make_shared<int>(0);
    SignInService().signin("sarah@example.org", "pw", screen, login, failed);
    EXPECT_FALSE(session.oAuthToken()) << "the session in force stays while another member signs in";
    EXPECT_EQ(delegate->ended, 1);
    auto gone = std::make_shared<int>(0);
    SignInService().signin("ruth@example.org", "pw", gone, login, failed);
    gone.reset();
    SignInService().signin("james@example.org", "pw", cw::test::screenThatStays(), login, failed);
    runUntil([&] { return heard == 1; });

    held->open();
    runUntil([&] { return heldAnswered->load() == 2; });
    BaseHTTPService("sentinel").post("", JSON(), nullptr, nullptr);
    runUntil([&] { return !arrivalsAt("/m/api/sentinel/").empty(); });
    RunLoop::main().runFor(0.1);
    EXPECT_EQ(heard, 1);
    ASSERT_TRUE(session.user());
    EXPECT_EQ(session.user()->email(), "james@example.org");
    EXPECT_EQ(session.oAuthToken(), "T-james@example.org");
}

TEST_F(SessionTest, UnreadableStoredValuesCountAsAbsent) {
    auto& defaults = UserDefaults::standard();
    AuthenticationContext session;
    defaults.setObject(Data{'n', 'o', 't'}, "filterSelectionKey");
    defaults.setObject(NSKeyedArchiver::archivedDataWithRootObject(std::string("text")), "babyKey");
    defaults.setObject(Data{}, "userKey");
    defaults.setObject("only-access", "token");
    EXPECT_EQ(session.loadFilterSelection(), FilterSelection({}, false, true, false, false));
    EXPECT_TRUE(session.babies().empty());
    session.setOAuthRefreshToken("kept");
    session.loadTokens();
    session.loadUser();
    EXPECT_EQ(session.tokens(), (SessionTokens{"only-access", "kept"}));
    EXPECT_FALSE(session.user());

    // An archive whose baby list holds something else than integers is unreadable too.
    const auto good =
        NSKeyedArchiver::archivedDataWithRootObject(FilterSelection({4}, true, false, false, true));
    std::string text(good.begin(), good.end());
    text.replace(text.find("[4]"), 3, "[\"4\"]");
    defaults.setObject(Data(text.begin(), text.end()), "filterSelectionKey");
    EXPECT_EQ(session.loadFilterSelection(), AuthenticationContext::defaultFilterSelection());
}

} // namespace
} // namespace cw::servicetest
