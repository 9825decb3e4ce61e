#include "tests/support/session/SessionReset.h"

#include "Services/AuthenticationContext.h"

namespace cw::test {

void forgetSession() {
    auto& session = AuthenticationContext::shared();
    session.setUser(nullptr);
    session.setOAuthToken(std::nullopt);
    session.setOAuthRefreshToken(std::nullopt);
    session.setSelectedBabyId(std::nullopt);
    session.setDelegate({});
}

std::weak_ptr<const void> screenThatStays() {
    static const auto screen = std::make_shared<int>(0);
    return screen;
}

} // namespace cw::test
