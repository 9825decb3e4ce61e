#include "PostsBenchSupport.h"

#include "Controllers/Feed/FeedStoryboard.h"
#include "Models/UserData.h"
#include "Services/AuthenticationContext.h"
#include "uikit/graphics/UIImage.h"

namespace cw::bench {

PostsEnvironment::PostsEnvironment() {
    environment.writeInfo({{"SERVER_URL", server.base()},
                           {"CFBundleIdentifier", "bench.posts"},
                           {"CFBundleShortVersionString", "1.0"},
                           {"CFBundleVersion", "1"}});
    UIImage::setResourceDirectory(cw::test::generatedResourcesDirectory());
    registerFeedStoryboard();
}

void PostsEnvironment::signIn() {
    auto user = std::make_shared<UserData>("Emma Hart", FamilyRelationship::Mother, "demo@cradleway.test");
    user->setId(1);
    auto& session = AuthenticationContext::shared();
    session.setUser(user);
    session.setOAuthToken("access-1");
    session.setOAuthRefreshToken("refresh-1");
}

PostsEnvironment& postsEnvironment() {
    static PostsEnvironment* made = new PostsEnvironment();
    return *made;
}

} // namespace cw::bench
