#include "DemoServerSuite.h"

#include "Models/Partner.h"
#include "Models/UserData.h"
#include "Services/AnalyticsService.h"
#include "Services/AuthenticationContext.h"
#include "Services/InviteService.h"
#include "Services/MemberService.h"
#include "Services/UserDefaults+NotificationSettings.h"
#include "foundation/defaults/UserDefaults.h"

namespace cw::e2e {
namespace {

// The member's own area: settings, family, password, push token and profile.
class DemoServerAccountTest : public DemoServerSuite {
protected:
    void SetUp() override { ASSERT_TRUE(signInDemoMember()); }

    static std::vector<Partner> family() {
        Outcome outcome;
        MemberService("invite/data").fetchInviteData(outcome.success(), outcome.failure());
        EXPECT_TRUE(accepted(outcome));
        std::vector<Partner> partners;
        for (const JSON& member : outcome.object()["members"].arrayValue())
            partners.emplace_back(member.dictionaryValue());
        return partners;
    }
};

TEST_F(DemoServerAccountTest, NotificationSettingsAreReadStoredAndSavedBack) {
    Outcome fetched;
    MemberService().fetchNotificationSettings(fetched.success(), fetched.failure());
    ASSERT_TRUE(accepted(fetched));
    auto& defaults = UserDefaults::standard();
    setNotificationSettings(defaults, fetched.object());
    // Every setting the server sent is one the reader takes: what goes back is what came.
    JSON parameters = notificationSettingsParameters(defaults);
    for (const auto& [key, value] : parameters.dictionaryValue())
        EXPECT_EQ(value, fetched.object()[key]) << key;

    setPostNotifications(defaults, !postNotifications(defaults));
    setNotificationSchedule(defaults, true);
    parameters = notificationSettingsParameters(defaults);
    parameters.set("user_id", JSON(userId()));
    Outcome saved;
    MemberService().updateNotificationSettings(parameters, saved.success(), saved.failure());
    ASSERT_TRUE(accepted(saved));
    EXPECT_EQ(saved.object()["post_notifications"].bool_(), postNotifications(defaults));
    EXPECT_EQ(saved.object()["scheduled"].bool_(), true);
    EXPECT_EQ(saved.object()["scheduled_from"], parameters["scheduled_from"]);
}

TEST_F(DemoServerAccountTest, TheFamilyListReadsIntoPartnersAndAnInviteJoinsIt) {
    const auto before = family();
    ASSERT_FALSE(before.empty());
    for (const auto& partner : before) {
        EXPECT_TRUE(partner.name && partner.email && partner.relationship && partner.connected);
        if (partner.connected == true) {
            EXPECT_TRUE(partner.memberID);
        }
    }

    Outcome invited;
    InviteService().invite("Amara Hart", rawValue(FamilyRelationship::Relative), "amara@cradleway.test",
                           userId(), invited.taskSuccess(), invited.taskFailure());
    ASSERT_TRUE(accepted(invited));
    EXPECT_TRUE(invited.object()["status"].string());

    const auto after = family();
    ASSERT_EQ(after.size(), before.size() + 1);
    bool listed = false;
    for (const auto& partner : after)
        listed = listed || (partner.email == "amara@cradleway.test" && partner.connected == false &&
                            partner.relationship == "Relative");
    EXPECT_TRUE(listed);
}

TEST_F(DemoServerAccountTest, AConnectedFamilyMemberIsRemoved) {
    const auto partners = family();
    const auto grandmother = std::find_if(partners.begin(), partners.end(), [](const Partner& partner) {
        return partner.connected == true && partner.relationship != rawValue(FamilyRelationship::Father);
    });
    ASSERT_NE(grandmother, partners.end());
    Outcome removed;
    MemberService().deleteFamilyMember(*grandmother, removed.taskSuccess(), removed.taskFailure());
    ASSERT_TRUE(accepted(removed));
    for (const auto& partner : family())
        EXPECT_NE(partner.memberID, grandmother->memberID);
}

TEST_F(DemoServerAccountTest, ThePushTokenNameAndPictureAreSaved) {
    MemberService().updatePushNotificationToken("a1b2c3d4e5f6");
    EXPECT_TRUE(awaitLogged("POST", "member/push_notif_token", 200));

    Outcome updated;
    MemberService("member/update")
        .updateMember("Emma R. Hart", solidImage(0xFF336699), updated.success(), updated.failure());
    ASSERT_TRUE(accepted(updated));
    const auto user = UserData::initWithResponseObject(updated.object()["user"]);
    ASSERT_TRUE(user) << updated.object().serialize();
    EXPECT_EQ(user->fullName(), "Emma R. Hart");
    ASSERT_TRUE(updated.object()["file_name"].string());
    EXPECT_EQ(user->pictureFile(), updated.object()["file_name"].string());
    EXPECT_TRUE(servedPicture(*user->pictureFile()));

    Outcome renamed;
    MemberService("member/update").updateMember("Emma Hart", nullptr, renamed.success(), renamed.failure());
    ASSERT_TRUE(accepted(renamed));
    const auto again = UserData::initWithResponseObject(renamed.object()["user"]);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->fullName(), "Emma Hart");
    EXPECT_EQ(again->pictureFile(), user->pictureFile());

    Outcome logged;
    AnalyticsService().send("AccountScreen", rawValue(ScreenAction::Tap), {{"button", JSON("save")}},
                            logged.taskSuccess(), logged.taskFailure());
    ASSERT_TRUE(accepted(logged));
}

TEST_F(DemoServerAccountTest, ThePasswordIsChangedAndTheNewOneSignsIn) {
    const auto account = server::demoAccounts().at(0);
    Outcome changed;
    MemberService("member/update_pass")
        .updatePassword({{"current_password", account.password}, {"new_password", "a-new-long-password"}},
                        changed.success(), changed.failure());
    ASSERT_TRUE(accepted(changed));
    EXPECT_FALSE(changed.object()["message"].stringValue().empty());

    Outcome wrong;
    MemberService("member/update_pass")
        .updatePassword({{"current_password", account.password}, {"new_password", "yet-another-one"}},
                        wrong.success(), wrong.failure());
    ASSERT_TRUE(runUntil([&] { return wrong.done(); }));
    ASSERT_TRUE(wrong.error);
    EXPECT_NE(wrong.error->find("message"), std::string::npos) << *wrong.error;

    EXPECT_TRUE(signIn({account.email, "a-new-long-password", account.fullName}));
}

} // namespace
} // namespace cw::e2e
