// Limits on what members write, counted as they are told: in characters, and never by quietly
// storing something else than what was sent.

#include "ServerFixture.h"

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
