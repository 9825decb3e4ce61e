#include "foundation/defaults/Storage.h"
#include "foundation/defaults/UserDefaults.h"
#include "tests/support/AppEnvironment.h"
#include "tests/support/TempDirectory.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

class UserDefaultsTest : public ::testing::Test {
protected:
    std::unique_ptr<UserDefaults> open() { return std::make_unique<UserDefaults>("org.example.store", file); }

    std::vector<fs::path> setAsideFiles() const {
        std::vector<fs::path> found;
        for (const auto& entry : fs::directory_iterator(directory))
            if (entry.path().filename().string().find(".corrupt-") != std::string::npos)
                found.push_back(entry.path());
        return found;
    }

    cw::test::TempDirectory temporary{"cw-defaults"};
    const fs::path directory = temporary.path();
    const fs::path file = directory / "org.example.store.json";
};

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST_F(UserDefaultsTest, EveryKindOfValueSurvivesAFreshLoadFromDisk) {
    const Data archive{0x00, 0xff, 0x10, '{'};
    UserDefaults::Dictionary nested{{"$data", "not data, only a key that looks like a tag"},
                                    {"inner", UserDefaults::Array{1, 2.5, "three"}}};
    UserDefaults::Dictionary lone{{"$data", "a lone key that looks like a tag"}};
    {
        auto defaults = open();
        defaults->setBool(true, "touchIDKey");
        defaults->setInteger(-9'007'199'254'740'993, "big");
        defaults->setDouble(2.0, "two");
        defaults->setDouble(std::nan(""), "nan");
        defaults->setObject("eyJ0b2tlbiI6Ii4uLiJ9", "token");
        defaults->setObject(archive, "userKey");
        defaults->setObject(PropertyListValue::Date{1'600'000'000.25}, "notificationFromDate");
        defaults->setObject(nested, "nested");
        defaults->setObject(lone, "lone");
    }
    auto defaults = open(); // as a new process would
    EXPECT_TRUE(defaults->boolForKey("touchIDKey"));
    EXPECT_EQ(defaults->integerForKey("big"), -9'007'199'254'740'993);
    // A double stays a double even when it has no fraction.
    ASSERT_TRUE(defaults->objectForKey("two"));
    EXPECT_TRUE(defaults->objectForKey("two")->is<double>());
    EXPECT_TRUE(std::isnan(defaults->doubleForKey("nan")));
    EXPECT_EQ(defaults->stringForKey("token"), "eyJ0b2tlbiI6Ii4uLiJ9");
    EXPECT_EQ(defaults->dataForKey("userKey"), archive);
    EXPECT_EQ(defaults->objectForKey("notificationFromDate"),
              PropertyListValue(PropertyListValue::Date{1'600'000'000.25}));
    EXPECT_EQ(defaults->dictionaryForKey("nested"), nested);
    EXPECT_EQ(defaults->dictionaryForKey("lone"), lone);
}

TEST_F(UserDefaultsTest, FileIsPrivateToTheUserAndRewrittenWhole) {
    auto defaults = open();
    defaults->setObject("secret-access-token", "token");
    struct stat info {};
    ASSERT_EQ(::stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    defaults->removeObjectForKey("token");
    ASSERT_EQ(::stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(readFile(file).find("secret-access-token"), std::string::npos);
    // No temporary files are left beside it.
    EXPECT_EQ(std::distance(fs::directory_iterator(directory), fs::directory_iterator()), 1);
}

TEST_F(UserDefaultsTest, RegisteredDefaultsAreReadButNeverWritten) {
    {
        auto defaults = open();
        defaults->registerDefaults({{"postNotifications", true}, {"scheduled_from", "08:00:00"}});
        EXPECT_TRUE(defaults->boolForKey("postNotifications"));
        defaults->setBool(false, "postNotifications"); // the stored value wins over the registered one
        EXPECT_FALSE(defaults->boolForKey("postNotifications"));
        defaults->setObject("x", "other");
        EXPECT_EQ(defaults->stringForKey("scheduled_from"), "08:00:00");
        EXPECT_FALSE(defaults->persistentDomain().contains("scheduled_from"));
        defaults->removePersistentDomainForName("org.example.store");
        EXPECT_TRUE(defaults->boolForKey("postNotifications"));
    }
    EXPECT_EQ(readFile(file).find("scheduled_from"), std::string::npos);
    auto reloaded = open();
    EXPECT_FALSE(reloaded->objectForKey("scheduled_from"));
    EXPECT_FALSE(reloaded->objectForKey("postNotifications"));
}

TEST_F(UserDefaultsTest, LogoutWipesTheDomainAndWritesBackTheTwoSignInKeys) {
    auto defaults = open();
    for (const char* key : {"userKey", "babyKey", "filterSelectionKey"})
        defaults->setObject(Data{1, 2, 3}, key);
    defaults->setObject("access", "token");
    defaults->setObject("refresh", "refreshToken");
    defaults->setObject("mother@example.org", "usernameKey");

    // The session's logout: remember, wipe, mark the tutorial, synchronize, write back.
    const bool touchID = defaults->boolForKey("touchIDKey"); // absent: false
    const auto username = defaults->stringForKey("usernameKey");
    defaults->removePersistentDomainForName("some.other.application"); // another domain: nothing changes
    EXPECT_TRUE(defaults->objectForKey("token"));
    defaults->removePersistentDomainForName(defaults->domainName());
    EXPECT_TRUE(defaults->persistentDomain().empty());
    defaults->setBool(true, "hasSeenTutorialKey");
    EXPECT_TRUE(defaults->synchronize());
    defaults->setBool(touchID, "touchIDKey");
    if (username) defaults->setObject(*username, "usernameKey");

    auto reloaded = open();
    const UserDefaults::Dictionary expected{
        {"hasSeenTutorialKey", true}, {"touchIDKey", false}, {"usernameKey", "mother@example.org"}};
    EXPECT_EQ(reloaded->persistentDomain(), expected);
}

TEST_F(UserDefaultsTest, TruncatedFileIsMovedAsideAndTheStoreStartsEmpty) {
    {
        auto defaults = open();
        defaults->setObject("mother@example.org", "usernameKey");
        defaults->setObject("access", "token");
    }
    const std::string whole = readFile(file);
    const std::string truncated = whole.substr(0, whole.size() / 2);
    std::ofstream(file, std::ios::binary | std::ios::trunc) << truncated;

    testing::internal::CaptureStderr();
    auto defaults = open();
    const std::string message = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(defaults->objectForKey("usernameKey"));
    const auto aside = setAsideFiles();
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_EQ(readFile(aside[0]), truncated); // nothing of what was there is lost
    EXPECT_NE(message.find(file.string()), std::string::npos);
    EXPECT_NE(message.find(aside[0].string()), std::string::npos);

    defaults->setObject("new", "token"); // the fresh store writes its own file, leaving the old one alone
    EXPECT_EQ(readFile(aside[0]), truncated);
    EXPECT_EQ(open()->stringForKey("token"), "new");
}

TEST_F(UserDefaultsTest, ValidJsonOfAnotherShapeIsAlsoSetAside) {
    for (const char* text :
         {"[1,2,3]", R"({"format":"cradleway-defaults","version":1,"values":{"k":{"$data":"@@"}}})",
          R"({"format":"cradleway-defaults","version":1,"values":{"k":null}})",
          R"({"format":"cradleway-defaults","version":7,"values":{}})"}) {
        std::ofstream(file, std::ios::binary | std::ios::trunc) << text;
        testing::internal::CaptureStderr();
        auto defaults = open();
        testing::internal::GetCapturedStderr();
        EXPECT_TRUE(defaults->persistentDomain().empty()) << text;
        EXPECT_FALSE(fs::exists(file)) << text;
    }
    // Nesting far deeper than anything stored is refused, not followed down the stack.
    const std::string deep = R"({"format":"cradleway-defaults","version":1,"values":{"k":)" +
                             std::string(100000, '[') + std::string(100000, ']') + "}}";
    std::ofstream(file, std::ios::binary | std::ios::trunc) << deep;
    testing::internal::CaptureStderr();
    EXPECT_TRUE(open()->persistentDomain().empty());
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(setAsideFiles().size(), 5u);
}

TEST_F(UserDefaultsTest, TypedReadersConvertLikeThePlatform) {
    auto defaults = open();
    defaults->setObject("YES", "yes");
    defaults->setObject("true", "true");
    defaults->setObject("no", "no");
    defaults->setObject(" 42 apples", "apples");
    defaults->setObject(0, "zero");
    defaults->setDouble(-3.9, "negative");
    defaults->setObject(Data{1}, "data");

    EXPECT_TRUE(defaults->boolForKey("yes"));
    EXPECT_TRUE(defaults->boolForKey("true"));
    EXPECT_FALSE(defaults->boolForKey("no"));
    EXPECT_TRUE(defaults->boolForKey("apples"));
    EXPECT_FALSE(defaults->boolForKey("zero"));
    EXPECT_FALSE(defaults->boolForKey("missing"));
    EXPECT_FALSE(defaults->boolForKey("data"));

    EXPECT_EQ(defaults->integerForKey("apples"), 42);
    EXPECT_EQ(defaults->integerForKey("negative"), -3);
    EXPECT_EQ(defaults->integerForKey("yes"), 0);
    EXPECT_DOUBLE_EQ(defaults->doubleForKey("negative"), -3.9);

    EXPECT_EQ(defaults->stringForKey("zero"), "0");
    EXPECT_EQ(defaults->stringForKey("negative"), "-3.9");
    EXPECT_FALSE(defaults->stringForKey("data"));
    EXPECT_FALSE(defaults->dataForKey("yes"));
    EXPECT_FALSE(defaults->arrayForKey("yes"));
}

TEST_F(UserDefaultsTest, StandardStoreIsNamedAfterTheBundleIdentifierInTheDataDirectory) {
    cw::test::AppEnvironment environment; // the data directory is not made until something is written
    environment.writeInfo({{"CFBundleIdentifier", "org.example.cradleway"}});

    UserDefaults::standard().setObject("access", "token");
    EXPECT_EQ(UserDefaults::standard().domainName(), "org.example.cradleway");
    EXPECT_TRUE(fs::exists(environment.dataDirectory() / "org.example.cradleway.json"));
    EXPECT_EQ(fs::status(environment.dataDirectory()).permissions(), fs::perms::owner_all); // created private
    UserDefaults::resetStandard();
    EXPECT_EQ(UserDefaults::standard().stringForKey("token"), "access");
}

TEST(DataDirectory, FollowsXdgDataHomeThenHome) {
    cw::setDataDirectory(std::nullopt);
    ::setenv("XDG_DATA_HOME", "/srv/xdg", 1);
    EXPECT_EQ(cw::dataDirectory(), fs::path("/srv/xdg/cradleway"));
    ::setenv("XDG_DATA_HOME", "relative/ignored", 1);
    ::setenv("HOME", "/home/parent", 1);
    EXPECT_EQ(cw::dataDirectory(), fs::path("/home/parent/.local/share/cradleway"));
    cw::setDataDirectory(fs::path("/chosen"));
    EXPECT_EQ(cw::dataDirectory(), fs::path("/chosen"));
    cw::setDataDirectory(std::nullopt);
}

TEST(Base64, RoundTripsAndRejectsDamage) {
    const Data bytes{0, 1, 2, 253, 254, 255, 'a'};
    EXPECT_EQ(cw::base64Decode(cw::base64Encode(bytes)), bytes);
    EXPECT_EQ(cw::base64Decode(""), Data{});
    EXPECT_FALSE(cw::base64Decode("AAE"));
    EXPECT_FALSE(cw::base64Decode("AA*="));
}

} // namespace
