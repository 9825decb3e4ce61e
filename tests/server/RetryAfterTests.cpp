// A client told to wait is told how long in `Retry-After` as well as in words, whatever refused it:
// a guess, an allowance of requests, or what its account may store and write.

#include "ServerFixture.h"

#include <functional>
#include <string>
#include <vector>

namespace cw::server::testing {
namespace {

class RetryAfterTest : public ServerTest {
protected:
    void adjust(ServerOptions& options) override {
        options.rates.storedBytesByMember = {64 * 1024, 3600};
        options.rates.itemsByMember = {100'000, 3600};
    }
};

TEST_F(RetryAfterTest, EveryRefusalThatSaysHowLongToWaitSaysItInRetryAfter) {
    struct Kind {
        const char* name;
        std::function<Reply(int)> send; // the i-th request of a flood of this kind
    };
    const Session mother = demoMother();
    const std::vector<Kind> kinds = {
        {"record numbers that find nothing",
         [this](int i) {
             return postFrom("127.0.2.1", "baby/verify_mrn", {{"mrn", "CW9" + std::to_string(10000 + i)}});
         }},
        {"wrong passwords",
         [this](int i) {
             return postFrom("127.0.2.2", "signin",
                             {{"email", "demo@cradleway.test"}, {"password", "guess-" + std::to_string(i)}});
         }},
        {"verification codes asked for one address",
         [this](int) {
             return postFrom("127.0.2.3", "validate/email", {{"email", "asked@cradleway.test"}});
         }},
        // As found: one account's flood of updates was refused with its wait in words alone.
        {"an account's writes past what it may store",
         [this, &mother](int i) {
             return post("member/update",
                         {{"user_id", mother.userId}, {"full_name", "Emma " + std::to_string(i)}},
                         mother.access);
         }},
    };
    for (const Kind& kind : kinds) {
        SCOPED_TRACE(kind.name);
        Reply refused;
        for (int i = 0; i < 1000 && refused.status != 429; ++i) {
            refused = kind.send(i);
            ASSERT_LT(refused.status, 500) << refused.raw;
        }
        expectWaitTold(refused);
        // Refused again while it waits, and told the same way.
        expectWaitTold(kind.send(1000));
    }
}

} // namespace
} // namespace cw::server::testing
