#include "Extensions/UIStoryboard+Instantiate.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class MainNavigationController : public UIViewController,
                                 public StoryboardIdentifiable<MainNavigationController> {};

class FeedViewController : public UIViewController, public StoryboardIdentifiable<FeedViewController> {};

class PersonalFeedViewController : public FeedViewController {};

class JourneyViewController : public UIViewController,
                              public StoryboardIdentifiable<JourneyViewController> {};

std::vector<std::string> asked;

void registerTestStoryboard() {
    UIStoryboard::Definition d;
    d.scene("MainNavigationController", [] {
        asked.push_back("MainNavigationController");
        return std::make_shared<MainNavigationController>();
    });
    d.scene("FeedViewController", [] { return std::make_shared<PersonalFeedViewController>(); });
    // A scene whose class does not match its name.
    d.scene("JourneyViewController", [] { return std::make_shared<UIViewController>(); });
    UIStoryboard::registerStoryboard("StoryboardInstantiationTest", d);
}

} // namespace

TEST(StoryboardInstantiation, AControllerIsFoundUnderItsOwnUnqualifiedTypeName) {
    registerTestStoryboard();
    auto storyboard = UIStoryboard::named("StoryboardInstantiationTest");
    EXPECT_EQ(MainNavigationController::storyboardIdentifier(), "MainNavigationController");
    asked.clear();
    std::shared_ptr<MainNavigationController> main =
        instantiateViewController<MainNavigationController>(*storyboard);
    ASSERT_TRUE(main);
    EXPECT_EQ(asked, std::vector<std::string>{"MainNavigationController"});
    EXPECT_EQ(main->storyboard(), storyboard);

    // A scene run by a type derived from the one asked for is accepted as it.
    auto feed = instantiateViewController<FeedViewController>(*storyboard);
    ASSERT_TRUE(feed);
    EXPECT_TRUE(std::dynamic_pointer_cast<PersonalFeedViewController>(feed));
}

TEST(StoryboardInstantiationDeathTest, ASceneOfAnotherTypeStopsTheProgramNamingTheIdentifier) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    registerTestStoryboard();
    auto storyboard = UIStoryboard::named("StoryboardInstantiationTest");
    EXPECT_DEATH(
        instantiateViewController<JourneyViewController>(*storyboard),
        testing::HasSubstr("Couldn't instantiate view controller with identifier JourneyViewController \n"));
}
