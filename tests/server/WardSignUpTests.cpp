// New mothers on a ward sign up from its one address, each from her own phone: what one of them sends
// is read in her own turn, not in the turn of everybody behind the address.

#include "ServerFixture.h"

#include "server/Pictures.h"

#include <string>
#include <thread>
#include <vector>

namespace cw::server::testing {
namespace {

// What a sign-up's application sends of itself.
enum class SignUpCookie {
    Given,  // the cookie the server gave it when it asked for her e-mail code
    None,   // none
    MadeUp, // a well-formed one the server never gave
};

// Every decoding holds its place until the test has seen where each sign-up's picture stands.
class WardSignUpTest : public HeldDecodingTest {
protected:
    void adjust(ServerOptions& options) override {
        HeldDecodingTest::adjust(options);
        options.threads = 32;
    }

    // `count` sign-ups, each with her picture and her baby's, sent at one moment from this one address,
    // each from an application that sends `cookie`. Their replies once every picture is decoding,
    // waiting or refused.
    std::vector<Reply> signUpAtOnce(int count, SignUpCookie cookie) {
        holdAgain();
        // A new hour: the address's allowances of codes and sign-ups are whole again.
        now_ += 2 * 3600;
        std::vector<CookieJar> phones(static_cast<size_t>(count));
        std::vector<std::string> emails;
        for (int i = 0; i < count; ++i) {
            emails.push_back("ward" + std::to_string(signUps_++) + "@cradleway.test");
            CookieJar& phone = phones[static_cast<size_t>(i)];
            if (cookie == SignUpCookie::Given) {
                EXPECT_EQ(post(phone, "validate/email", {{"email", emails.back()}}).status, 200);
                EXPECT_EQ(phone.cookies.count("cw_client"), 1u);
            } else if (cookie == SignUpCookie::MadeUp) {
                phone.cookies["cw_client"] = std::string(31, 'a') + static_cast<char>('0' + i % 10);
            }
        }
        std::vector<Reply> replies(static_cast<size_t>(count));
        std::atomic<int> answered{0};
        std::vector<std::thread> mothers;
        for (size_t i = 0; i < replies.size(); ++i)
            mothers.emplace_back([&, i] {
                httplib::Client client("127.0.0.1", server_->port());
                client.set_read_timeout(120, 0);
                const json baby = {{"id", -1},
                                   {"full_name", "Baby"},
                                   {"birthday", "2026-12-01"},
                                   {"expected_birthday", "2027-01-20"},
                                   {"gender", "Female"}};
                auto result = client.Post("/m/api/signup", phones[i].headers(""),
                                          httplib::MultipartFormDataItems{
                                              {"full_name", "Ward Mother", "", ""},
                                              {"email", emails[i], "", ""},
                                              {"relationship", "Mother", "", ""},
                                              {"password", "ward-password", "", ""},
                                              {"babies", json::array({baby}).dump(), "", ""},
                                              {"user_picture", jpegBytes(900 + i), "photo.jpg", "image/jpeg"},
                                              {"baby_picture_-1", jpegBytes(1900 + i), "photo_-1.jpg", "image/jpeg"}});
                replies[i] = toReply(result);
                ++answered;
            });
        // Each sign-up's first picture is being decoded, waits for a place or for its sender's turn, or
        // was refused. Read in the order a picture moves, so that one moving meanwhile is missed, never
        // counted twice.
        const auto settled = [&] {
            const int began = this->began();
            const size_t atPlaces = pictureDecodingGate().waiting();
            const size_t forSenders = picturesWaitingForTheirSenders();
            return began + static_cast<int>(atPlaces + forSenders) + answered == count;
        };
        EXPECT_TRUE(eventually(settled)) << "the sign-ups' pictures never all came to the decoding";
        release();
        for (auto& mother : mothers)
            mother.join();
        return replies;
    }

    int signUps_ = 0;
};

TEST_F(WardSignUpTest, EachMothersPicturesAreReadInHerOwnTurnNotHerWardsAddresss) {
    const std::string hers = "Your other pictures are still being read. Please try again in a moment.";
    const std::string network = "Too many pictures from this network are being read. Please try again in a moment.";
    struct Case {
        const char* who;
        int count;
        SignUpCookie cookie;
        int taken;
        std::string refusal; // what the others are told
    };
    const std::vector<Case> cases = {
        // As found: one to three of eight were refused for the others' pictures.
        {"eight mothers, each from her own application", 8, SignUpCookie::Given, 8, ""},
        {"thirteen applications on one network", 13, SignUpCookie::Given, kPicturesPerSenderGroup, network},
        // Named by nothing but the address: one at a time, four more waiting.
        {"eight sign-ups with no cookie", 8, SignUpCookie::None, 1 + kPictureWaitsPerSender, hers},
        {"eight sign-ups with cookies the server never gave", 8, SignUpCookie::MadeUp, 1 + kPictureWaitsPerSender, hers},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.who);
        int taken = 0;
        for (const Reply& reply : signUpAtOnce(c.count, c.cookie)) {
            if (reply.status == 200) {
                ++taken;
                EXPECT_TRUE(reply.body["user"].contains("file_name")) << reply.raw;
                ASSERT_EQ(reply.body["babies"].size(), 1u) << reply.raw;
                EXPECT_TRUE(reply.body["babies"][0].contains("file_name")) << reply.raw;
            } else {
                EXPECT_EQ(reply.status, 429) << reply.raw;
                EXPECT_EQ(reply.body.value("message", ""), c.refusal) << reply.raw;
            }
        }
        EXPECT_EQ(taken, c.taken);
    }
}

} // namespace
} // namespace cw::server::testing
