// Limits on what members write, counted as they are told: in characters, and never by quietly
// storing something else than what was sent.

#include "ServerFixture.h"

#include "server/Records.h"

#include <functional>

namespace cw::server::testing {
namespace {

using TextLimitTest = ServerTest;

std::string repeated(const std::string& unit, size_t times) {
    std::string text;
    for (size_t i = 0; i < times; ++i) text += unit;
    return text;
}

TEST_F(TextLimitTest, CommentsAndPostsAreCountedInCharactersNotBytes) {
    Session s = demoMother();
    const std::string hebrew = repeated("\xD7\xA9", 5000); // 5,000 characters, 10,000 bytes
    Reply kept = post("comments/new", {{"comment_text", hebrew}, {"post_id", 29}, {"user_id", s.userId}}, s.access);
    ASSERT_EQ(kept.status, 200) << kept.raw;
    Reply refused = post("comments/new", {{"comment_text", hebrew + "x"}, {"post_id", 29}, {"user_id", s.userId}},
                         s.access);
    EXPECT_EQ(refused.status, 400);
    EXPECT_NE(refused.raw.find("longer than 5000 characters"), std::string::npos) << refused.raw;

    const std::string emoji = repeated("\xF0\x9F\x91\xB6", 5000); // baby faces, 20,000 bytes
    Reply posted = multipart("post/", {{"user_id", std::to_string(s.userId), "", ""},
                                       {"post_text", emoji, "", ""}, {"no_of_images", "0", "", ""}},
                             s.access);
    EXPECT_EQ(posted.status, 200) << posted.raw;
}

TEST_F(TextLimitTest, AMilestoneTitleTooLongIsRefusedNotReplacedByItsKind) {
    Session s = demoMother();
    auto add = [&](const std::string& title) {
        return multipart("baby/nicu_journey_add", {{"baby_id", "1", "", ""},
                                                   {"user_id", std::to_string(s.userId), "", ""},
                                                   {"date", "2026-12-01", "", ""},
                                                   {"type", "other", "", ""},
                                                   {"input_text", title, "", ""}},
                         s.access);
    };
    Reply tooLong = add(repeated("a", 201));
    EXPECT_EQ(tooLong.status, 400) << tooLong.raw;
    Reply arabic = add(repeated("\xD8\xB3", 200)); // 200 characters, 400 bytes: kept as written
    ASSERT_EQ(arabic.status, 200) << arabic.raw;
    EXPECT_EQ(arabic.body["nicu_journey_add"]["label"], repeated("\xD8\xB3", 200));
}

// Every bound told in characters counts code points, as the application counts them before it sends:
// a text of letters of two, three and four bytes, or of letters each with a mark, is taken at the
// bound and refused, for being longer, one past it; a password at its least length is taken, and one
// character shorter refused, though its bytes are more than enough.
TEST_F(TextLimitTest, EveryBoundToldInCharactersCountsCodePointsAsTheApplicationDoes) {
    Session s = demoMother();
    int invited = 0;
    const json baby = s.reply["babies"][0];
    struct Bound {
        const char* what;
        size_t limit;
        std::function<Reply(const std::string&)> send;
    };
    const Bound bounds[] = {
        {"a comment", kLongestComment,
         [&](const std::string& text) {
             return post("comments/new", {{"comment_text", text}, {"post_id", 29}, {"user_id", s.userId}}, s.access);
         }},
        {"a post", kLongestPost,
         [&](const std::string& text) {
             return multipart("post/", {{"user_id", std::to_string(s.userId), "", ""}, {"post_text", text, "", ""}},
                              s.access);
         }},
        {"an invitee's name", 200,
         [&](const std::string& text) {
             return post("invite",
                         {{"full_name", text}, {"relationship", "Friend"},
                          {"email", "friend" + std::to_string(++invited) + "@cradleway.test"}, {"user_id", s.userId}},
                         s.access);
         }},
        {"a baby's name", 200,
         [&](const std::string& text) {
             return post("baby/update",
                         {{"user_id", s.userId},
                          {"babies",
                           {{{"id", baby["id"]}, {"full_name", text}, {"birthday", baby["birthday"]},
                             {"expected_birthday", baby["expected_birthday"]}, {"gender", "Female"}}}}},
                         s.access);
         }},
    };
    const std::pair<const char*, std::string> letters[] = {
        {"Hebrew", "\xD7\xA9"}, {"Chinese", "\xE4\xBB\x8A"}, {"emoji", "\xF0\x9F\x91\xB6"},
        {"Arabic with a vowel mark", "\xD8\xA8\xD9\x90"}};
    for (const auto& [script, letter] : letters) {
        const size_t length = characterCount(letter);
        for (const Bound& bound : bounds) {
            SCOPED_TRACE(std::string(bound.what) + " in " + script);
            const std::string most = repeated(letter, bound.limit / length) + repeated("a", bound.limit % length);
            Reply kept = bound.send(most);
            EXPECT_EQ(kept.status, 200) << kept.raw.substr(0, 300);
            Reply refused = bound.send(most + letter);
            EXPECT_EQ(refused.status, 400);
            EXPECT_NE(refused.raw.find("longer than " + std::to_string(bound.limit) + " characters"), std::string::npos)
                << refused.raw.substr(0, 300);
        }
        SCOPED_TRACE(std::string("a password in ") + script);
        const std::string password = repeated(letter, kShortestPassword / length);
        auto change = [&](const std::string& from, const std::string& to) {
            return post("member/update_pass/",
                        {{"user_id", s.userId}, {"security_code", s.code}, {"current_password", from}, {"new_password", to}},
                        s.access);
        };
        Reply shorter = change("cradleway-demo", password.substr(0, password.size() - letter.size()));
        EXPECT_EQ(shorter.status, 400) << shorter.raw;
        ASSERT_EQ(change("cradleway-demo", password).status, 200);
        ASSERT_EQ(change(password, "cradleway-demo").status, 200);
    }
}

TEST_F(TextLimitTest, AnInvitationAddressWithControlCharactersIsRefused) {
    Session s = demoMother();
    Reply invite = post("invite",
                        {{"full_name", "Grace"}, {"relationship", "Friend"}, {"email", "grace\x01@cradleway.test"},
                         {"user_id", s.userId}},
                        s.access);
    EXPECT_EQ(invite.status, 400) << invite.raw;
    EXPECT_TRUE(consoleLines().empty() || consoleCapture("grace", "invitation code ").empty());
}

} // namespace
} // namespace cw::server::testing
