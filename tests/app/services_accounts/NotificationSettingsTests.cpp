#include "AccountsFixture.h"

#include "Services/UserDefaults+NotificationSettings.h"
#include "foundation/bundle/Bundle.h"
#include "foundation/time/DeviceSettingsGuard.h"

namespace cw::accountstest {
namespace {

using json = nlohmann::json;

class AccountsNotificationSettingsTest : public AccountServiceTest {
protected:
    void SetUp() override {
        AccountServiceTest::SetUp();
        registerDefaultNotificationSettings(defaults());
    }
    static UserDefaults& defaults() { return UserDefaults::standard(); }
    static json parameters() { return notificationSettingsParameters(defaults()).json(); }
};

TEST_F(AccountsNotificationSettingsTest, AFreshInstallationSendsTheRegisteredDefaults) {
    EXPECT_EQ(parameters(), (json{{"recommended_notifications", true},
                                  {"post_notifications", true},
                                  {"comment_notifications", true},
                                  {"daily_update_notifications", true},
                                  {"scheduled", false},
                                  {"scheduled_from", "00:00:00"},
                                  {"scheduled_to", "07:00:00"}}));
    EXPECT_TRUE(defaults().persistentDomain().empty()); // registration writes nothing
}

TEST_F(AccountsNotificationSettingsTest, TheServersReplyIsTakenKeyByKey) {
    setNotificationSettings(defaults(), JSON(json::object()));
    EXPECT_TRUE(defaults().persistentDomain().empty());

    setNotificationSettings(defaults(), JSON(json{{"scheduled", 1},
                                                  {"post_notifications", false},
                                                  {"comment_notifications", "false"},
                                                  {"scheduled_from", "22:30"},
                                                  {"scheduled_to", 7}}));
    auto afterFirst = parameters();
    EXPECT_EQ(afterFirst["scheduled"], false);
    EXPECT_EQ(afterFirst["post_notifications"], false);
    EXPECT_EQ(afterFirst["comment_notifications"], true);
    EXPECT_EQ(afterFirst["scheduled_from"], "00:00:00");
    EXPECT_EQ(afterFirst["scheduled_to"], "07:00:00");
    EXPECT_EQ(defaults().persistentDomain().size(), 1u); // only the posts switch was stored

    setNotificationSettings(
        defaults(),
        JSON(json{{"scheduled", true}, {"scheduled_from", "22:30:00"}, {"scheduled_to", "06:15:09"}}));
    EXPECT_TRUE(notificationSchedule(defaults()));
    auto afterSecond = parameters();
    EXPECT_EQ(afterSecond["scheduled_from"], "22:30:00");
    EXPECT_EQ(afterSecond["scheduled_to"], "06:15:09");
    EXPECT_EQ(afterSecond["post_notifications"], false);
}

TEST_F(AccountsNotificationSettingsTest,
       AStoredTimeThatIsNoDateReadsAsTheDefaultAndLogoutRestoresTheDefaults) {
    defaults().setObject("22:30", "notificationFromDate");
    EXPECT_EQ(notificationFromDate(defaults()), defaultNotificationFromDate());
    EXPECT_EQ(parameters()["scheduled_from"], "00:00:00");

    setPostNotifications(defaults(), false);
    setNotificationToDate(defaults(), defaultNotificationFromDate() + 3600);
    EXPECT_EQ(parameters()["scheduled_to"], "01:00:00");
    defaults().removePersistentDomainForName(*Bundle::main().bundleIdentifier());
    EXPECT_TRUE(postNotifications(defaults()));
    EXPECT_EQ(parameters()["scheduled_to"], "07:00:00");
}

TEST_F(AccountsNotificationSettingsTest, TimesTravelInASCIIDigitsWhateverTheDevicesLocale) {
    DeviceSettingsGuard arabic("ar_EG", "Africa/Cairo");
    setNotificationSettings(defaults(),
                            JSON(json{{"scheduled_from", "22:30:00"}, {"scheduled_to", "06:05:00"}}));
    EXPECT_EQ(parameters()["scheduled_from"], "22:30:00");
    EXPECT_EQ(parameters()["scheduled_to"], "06:05:00");
}

} // namespace
} // namespace cw::accountstest
