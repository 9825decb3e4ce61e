#include "AccountsFixture.h"

#include "Services/AuthenticationContext.h"
#include "foundation/dispatch/RunLoop.h"
#include "tests/support/session/SessionReset.h"

#include <cairo.h>

namespace cw::accountstest {

ObjectSuccess Outcome::success() {
    return [this](const JSON& object) {
        ++calls;
        reply = object;
    };
}

RequestFailure Outcome::failure() {
    return [this](const RequestError& requestError) {
        ++calls;
        error = requestError;
    };
}

BaseHTTPService::Success Outcome::taskSuccess() {
    return [this](const BaseHTTPService::Task&, const std::optional<JSON>& object) {
        ++calls;
        reply = object;
    };
}

BaseHTTPService::Failure Outcome::taskFailure() {
    return [this](const BaseHTTPService::Task&, const NSError& failed) {
        ++calls;
        errorObject = failed;
        error = RequestError::fromErrorObject(failed);
    };
}

void AccountServiceTest::SetUp() {
    environment = std::make_unique<cw::test::AppEnvironment>("cw-accounts");
    server_ = std::make_unique<cw::test::RecordingServer>();
    setServerURL(base());
    signOut();
}

void AccountServiceTest::TearDown() {
    RunLoop::main().runUntilIdle();
    server_.reset();
    signOut();
    environment.reset();
}

void AccountServiceTest::setServerURL(const std::string& url) {
    environment->writeInfo({{"CFBundleIdentifier", "org.cradleway.accounts-tests"},
                            {"CFBundleShortVersionString", "1.4"},
                            {"CFBundleVersion", "7"},
                            {"SERVER_URL", url}});
}

Arrival AccountServiceTest::onlyArrival() const {
    auto all = arrivals();
    EXPECT_EQ(all.size(), 1u);
    return all.empty() ? Arrival{} : all.front();
}

void AccountServiceTest::runUntil(const std::function<bool()>& done) {
    ASSERT_TRUE(RunLoop::main().runUntil(done, 10.0)) << "timed out";
}

void AccountServiceTest::expectNothingElseSent() {
    const std::size_t before = arrivals().size();
    Outcome sentinel;
    BaseHTTPService("sentinel").post("", JSON(), sentinel.taskSuccess(), sentinel.taskFailure());
    wait(sentinel);
    // Replies of requests answered just before the sentinel's are delivered by now.
    RunLoop::main().runFor(0.05);
    auto all = arrivals();
    ASSERT_EQ(all.size(), before + 1);
    EXPECT_EQ(all.back().path, "/m/api/sentinel/");
}

std::shared_ptr<UserData> AccountServiceTest::signIn(std::int64_t id, std::optional<std::int64_t> code,
                                                     const std::string& email) {
    auto user = std::make_shared<UserData>("Maya Lind", FamilyRelationship::Mother, email);
    user->setId(id);
    user->setCode(code);
    auto& session = AuthenticationContext::shared();
    session.setUser(user);
    session.setOAuthToken("access");
    session.setOAuthRefreshToken("refresh");
    return user;
}

void AccountServiceTest::signOut() {
    cw::test::forgetSession();
}

std::shared_ptr<UIImage> AccountServiceTest::picture() {
    std::vector<std::uint32_t> pixels(16, 0xFF3366CCu);
    return UIImage::fromPixels(4, 4, 1, pixels.data());
}

std::shared_ptr<UIImage> AccountServiceTest::unencodablePicture() {
    return UIImage::fromSurface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 0, 0), 1);
}

} // namespace cw::accountstest
