#include "AccountFixture.h"

#include "Controllers/Account/FamilyAndFriendsTableViewCell.h"
#include "Controllers/Account/InviteFamilyViewController.h"
#include "Controllers/Account/MyPartnersDetailViewController.h"
#include "Controllers/Account/MyPartnersViewController.h"
#include "Extensions/UIColor+Palette.h"
#include "Services/AuthenticationContext.h"
#include "Services/BaseHTTPService.h"
#include "Views/FakeHeaderCell.h"
#include "Views/LFloatTextField.h"
#include "foundation/dispatch/RunLoop.h"
#include "kits/banners/GSMessage.h"
#include "net/NSURLSessionDataTask.h"
#include "uikit/controllers/UIAlertController.h"
#include "uikit/controllers/UINavigationController.h"
#include "uikit/controls/UIKeyboard.h"
#include "tests/support/Forwarding.h"
#include "tests/support/Gate.h"
#include "tests/support/RecordingServer.h"

#include <gmock/gmock.h>

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::SizeIs;
using ::testing::UnorderedElementsAre;

namespace cw::test {

namespace {

// The rows of the list as they read: a title row's text, or "name | details".
std::vector<std::string> rowTexts(MyPartnersViewController& screen) {
    std::vector<std::string> rows;
    auto table = screen.tableView();
    for (long section = 0; section < table->numberOfSections(); ++section)
        for (long row = 0; row < table->numberOfRows(section); ++row) {
            auto cell = screen.cellForRowAt(table.get(), IndexPath::forRow(row, section));
            if (auto header = std::dynamic_pointer_cast<FakeHeaderCell>(cell)) {
                rows.push_back(header->headerLabel()->text().value_or(""));
            } else if (auto person = std::dynamic_pointer_cast<FamilyAndFriendsTableViewCell>(cell)) {
                rows.push_back(person->nameLabel()->text().value_or("") + " | " +
                               person->detailsLabel()->text().value_or(""));
            }
        }
    return rows;
}

// Whether the field's placeholder (and its floating label) reads in the palette's error red.
bool markedRed(const std::shared_ptr<UITextField>& field) {
    auto floating = std::dynamic_pointer_cast<LFloatTextField>(field);
    return floating && floating->placeholderColor == UIColorPalette::errorColor();
}

class FamilyTest : public AccountTest {
protected:
    std::shared_ptr<MyPartnersViewController> openFamily() {
        openFromMenu("Family & Friends");
        auto screen = shownScreen<MyPartnersViewController>();
        EXPECT_TRUE(screen) << screenTexts();
        return screen;
    }
    // The mother's list, loaded, and the invitation screen opened from it.
    std::shared_ptr<InviteFamilyViewController> openInvitation() {
        launchAsMother();
        auto list = openFamily();
        if (!list || !waitForList(*list, 3) || !host->tapIdentifier("add_baby")) return nullptr;
        auto invite = shownScreen<InviteFamilyViewController>();
        EXPECT_TRUE(invite) << screenTexts();
        return invite;
    }
    bool waitForList(MyPartnersViewController& screen, std::size_t people) {
        return waitUntil([&] { return screen.connected().size() + screen.invited().size() == people; });
    }
    std::optional<std::string> familyOf(const std::string& email) {
        return queryOne("SELECT COUNT(*) FROM member_babies mb JOIN members m ON m.id = mb.member_id WHERE m.email = '" +
                        email + "'");
    }
};

TEST_F(FamilyTest, TheMotherSeesWhoJoinedAndWhoIsInvitedInTheServersOrder) {
    launchAsMother();
    auto screen = openFamily();
    ASSERT_TRUE(screen);
    ASSERT_TRUE(waitForList(*screen, 3)) << screenTexts();
    EXPECT_EQ(screen->title(), "Family & Friends");
    EXPECT_THAT(rowTexts(*screen), ElementsAre("Connected", "James Hart | Father (partner@cradleway.test)",
                                               "Ruth Hart | Grand Parent (ruth@cradleway.test)", "Invited",
                                               "Sarah Hart | Relative (sarah@cradleway.test)"));
    EXPECT_TRUE(host->isShowing("Relative (sarah@cradleway.test)"));
    // The invited have no picture yet; the others' come from the server.
    auto table = screen->tableView();
    auto sarah = std::dynamic_pointer_cast<FamilyAndFriendsTableViewCell>(table->cellForRow(IndexPath::forRow(1, 1)));
    ASSERT_TRUE(sarah);
    EXPECT_EQ(sarah->personImageView()->image()->size(), UIImage::named("profile-pic-placeholder")->size());
    auto james = std::dynamic_pointer_cast<FamilyAndFriendsTableViewCell>(table->cellForRow(IndexPath::forRow(1, 0)));
    ASSERT_TRUE(james);
    EXPECT_TRUE(waitUntil([&] { return james->personImageView()->image() != nullptr; }));
    EXPECT_EQ(james->detailsLabel()->textColor(), UIColorPalette::contentColor1());
    EXPECT_EQ(table->rectForFooterInSection(0).size.height, 12.0);

    // A parent may invite; the screen reported its showing and its list.
    ASSERT_TRUE(screen->navigationItem()->rightBarButtonItem());
    ASSERT_TRUE(waitForEvents("MyPartnerViewScreen", 2));
    EXPECT_THAT(eventsOf("MyPartnerViewScreen"),
                UnorderedElementsAre(event("Loaded"),
                                     event("ServerRequest", {{"myPartnersViewLoadMemberSuccess",
                                                              "Partners were loaded succesfully"}})));
}

TEST_F(FamilyTest, AParentInvitesSomeoneWhoThenShowsAsInvited) {
    launchAsMother();
    auto list = openFamily();
    ASSERT_TRUE(list);
    ASSERT_TRUE(waitForList(*list, 3));
    ASSERT_TRUE(host->tapIdentifier("add_baby"));
    auto invite = shownScreen<InviteFamilyViewController>();
    ASSERT_TRUE(invite) << screenTexts();
    EXPECT_TRUE(host->isShowing("Invite Family & Friends"));
    EXPECT_EQ(invite->navigationController()->modalPresentationStyle, UIModalPresentationStyle::overCurrentContext);
    auto send = invite->sendInviteButton();
    EXPECT_FALSE(send->isEnabled());
    EXPECT_EQ(send->alpha(), 0.5);

    // Typing the name enables sending; return moves on to the e-mail, and from there to the picker.
    ASSERT_TRUE(host->tapText("Full Name"));
    EXPECT_TRUE(send->isEnabled());
    EXPECT_EQ(send->alpha(), 1.0);
    ASSERT_TRUE(host->type("Nora Bell\n"));
    EXPECT_TRUE(invite->emailTextField()->isFirstResponder());
    ASSERT_TRUE(host->type("nora@cradleway.test\n"));
    EXPECT_TRUE(invite->relationshipTextField()->isFirstResponder());
    auto picker = invite->relationPickerView();
    EXPECT_EQ(picker->numberOfRows(0), 7);
    // The wheel turned by a finger, a row at a time: each row it rests on fills the field.
    ASSERT_TRUE(host->turnPicker("Grand Parent"));
    EXPECT_EQ(invite->relationshipTextField()->text(), "Grand Parent");
    ASSERT_TRUE(host->turnPicker("Select One"));
    EXPECT_EQ(invite->relationshipTextField()->text(), "Mother") << "\"Select One\" fills nothing";
    ASSERT_TRUE(host->turnPicker("Grand Parent"));
    ASSERT_TRUE(host->tapText("Done"));
    EXPECT_FALSE(invite->relationshipTextField()->isFirstResponder());

    ASSERT_TRUE(host->tapText("Send Invite"));
    ASSERT_TRUE(waitUntil([&] { return !shownScreen<InviteFamilyViewController>(); })) << screenTexts();
    EXPECT_EQ(shownScreen<MyPartnersViewController>(), list);
    ASSERT_TRUE(waitForList(*list, 4));
    EXPECT_THAT(rowTexts(*list), ElementsAre("Connected", "James Hart | Father (partner@cradleway.test)",
                                             "Ruth Hart | Grand Parent (ruth@cradleway.test)", "Invited",
                                             "Sarah Hart | Relative (sarah@cradleway.test)",
                                             "Nora Bell | Grand Parent (nora@cradleway.test)"));
    EXPECT_EQ(queryOne("SELECT relationship FROM invitations WHERE email = 'nora@cradleway.test'"), "Grand Parent");

    ASSERT_TRUE(waitForEvents("InviteViewScreen", 3));
    EXPECT_THAT(eventsOf("InviteViewScreen"),
                UnorderedElementsAre(
                    event("Loaded"),
                    event("Tap", {{"inviteFamilyViewInviteTapped", "User is trying to invite a family member"}}),
                    event("ServerRequest", {{"inviteFamilySuccess", "User invited family member successfully"},
                                            {"relationShip", "Grand Parent"}})));
}

TEST_F(FamilyTest, AnInvitationTheServerRefusesShowsWhyAndKeepsTheFields) {
    auto invite = openInvitation();
    ASSERT_TRUE(invite);

    // An empty field sends nothing and says what is missing: the relationship too, which only its
    // wheel fills.
    ASSERT_TRUE(host->tapText("Full Name"));
    ASSERT_TRUE(host->type("James Again"));
    ASSERT_TRUE(host->tapText("Send Invite"));
    ASSERT_TRUE(waitForText("All fields are required.")) << screenTexts();
    EXPECT_EQ(GSMessage::history().back().type, GSMessageType::error);
    EXPECT_TRUE(markedRed(invite->emailTextField()));
    EXPECT_TRUE(markedRed(invite->relationshipTextField()));
    EXPECT_FALSE(markedRed(invite->fullNameTextField()));
    ASSERT_TRUE(host->tapText("Email"));
    ASSERT_TRUE(host->type("nora@cradleway.test"));
    GSMessage::clearHistory();
    ASSERT_TRUE(host->tapText("Send Invite"));
    ASSERT_TRUE(waitForText("All fields are required.")) << "the relationship is still missing";
    EXPECT_FALSE(markedRed(invite->emailTextField()));
    EXPECT_EQ(queryOne("SELECT COUNT(*) FROM invitations WHERE email = 'nora@cradleway.test'"), "0");
    host->tapIdentifier("emailTextField");
    host->deleteBackward(19);
    GSMessage::clearHistory();

    // An address that already has an account: the server's message, and the screen stays.
    ASSERT_TRUE(host->tapText("Email"));
    ASSERT_TRUE(host->type("partner@cradleway.test"));
    ASSERT_TRUE(host->tapIdentifier("relationshipChevronButton"));
    EXPECT_TRUE(invite->relationshipTextField()->isFirstResponder());
    ASSERT_TRUE(host->turnPicker("Father"));
    ASSERT_TRUE(host->tapText("Send Invite"));
    ASSERT_TRUE(waitForText("This person already has a Cradleway account.")) << screenTexts();
    EXPECT_EQ(GSMessage::history().back().type, GSMessageType::error);
    EXPECT_EQ(shownScreen<InviteFamilyViewController>(), invite);
    EXPECT_EQ(invite->fullNameTextField()->text(), "James Again");
    EXPECT_EQ(invite->emailTextField()->text(), "partner@cradleway.test");
    EXPECT_EQ(invite->relationshipTextField()->text(), "Father");
    ASSERT_TRUE(waitForEvents("InviteViewScreen", 3));
    EXPECT_THAT(eventsOf("InviteViewScreen"),
                Contains(event("ServerRequest", {{"inviteFamilySuccess", "User invited family member failed"},
                                                 {"relation", "Father"},
                                                 {"errorMessage", "This person already has a Cradleway account."}})));

    // No answer at all still says that nothing went out.
    demo->stop();
    GSMessage::clearHistory();
    ASSERT_TRUE(host->tapText("Send Invite"));
    ASSERT_TRUE(waitUntil([] { return !GSMessage::history().empty(); }, 20)) << screenTexts();
    EXPECT_EQ(GSMessage::history().back().text, "Unexpected error. Please try again.");
    EXPECT_EQ(shownScreen<InviteFamilyViewController>(), invite);

    // Cancel closes it; the list stays.
    ASSERT_TRUE(host->tapText("Cancel"));
    EXPECT_TRUE(shownScreen<MyPartnersViewController>());
}

TEST_F(FamilyTest, AParentRemovesAPersonFromTheirDetailsAfterAskingFirst) {
    launchAsMother();
    auto list = openFamily();
    ASSERT_TRUE(list && waitForList(*list, 3));
    ASSERT_TRUE(host->tapText("Ruth Hart"));
    auto details = shownScreen<MyPartnersDetailViewController>();
    ASSERT_TRUE(details) << screenTexts();
    EXPECT_TRUE(host->isShowing("Grand Parent"));
    EXPECT_TRUE(host->isShowing("ruth@cradleway.test"));
    for (const auto& field : {details->fullNameTextField(), details->relationshipField(), details->emailTextField()}) {
        EXPECT_FALSE(field->isEnabled());
        EXPECT_FALSE(host->tap(field) && field->isFirstResponder()) << "read-only";
    }
    // Below the navigation bar, which the screen does not extend under.
    const auto picture = details->userImageView();
    EXPECT_EQ(picture->convert(picture->bounds(), static_cast<const UIView*>(nullptr)), (CGRect{87.5, 74, 200, 200}));
    ASSERT_TRUE(waitForEvents("MyPartnerViewScreen", 3));
    EXPECT_THAT(eventsOf("MyPartnerViewScreen"),
                Contains(event("Tap", {{"myPartnersViewLoadMemberDetails", "Partners details was tapped"}})));

    // Cancel: only the question's event, nothing removed.
    ASSERT_TRUE(host->tapIdentifier("card_menu"));
    ASSERT_TRUE(host->isShowing("Are you sure you want to remove this person?"));
    ASSERT_TRUE(host->pickAlertAction("Cancel"));
    EXPECT_EQ(shownScreen<MyPartnersDetailViewController>(), details);
    ASSERT_TRUE(waitForEvents("MyPartnerDetailsScreen", 2));
    EXPECT_EQ(familyOf("ruth@cradleway.test"), "2");

    // OK: removed on the server, back to the list, which no longer shows her.
    ASSERT_TRUE(host->tapIdentifier("card_menu"));
    ASSERT_TRUE(host->pickAlertAction("OK"));
    ASSERT_TRUE(waitUntil([&] { return shownScreen<MyPartnersViewController>() == list; })) << screenTexts();
    ASSERT_TRUE(waitForList(*list, 2));
    EXPECT_FALSE(host->isShowing("Ruth Hart"));
    EXPECT_EQ(familyOf("ruth@cradleway.test"), "0");
    EXPECT_EQ(familyOf("partner@cradleway.test"), "2");
    EXPECT_EQ(familyOf("demo@cradleway.test"), "2");

    ASSERT_TRUE(waitForEvents("MyPartnerDetailsScreen", 4));
    const std::string ruthId = *queryOne("SELECT id FROM members WHERE email = 'ruth@cradleway.test'");
    const auto asked = event("Tap", {{"myPartnersDetailsDeleteMemberTapped", "User was shown a pop to delete member"}});
    EXPECT_THAT(eventsOf("MyPartnerDetailsScreen"),
                UnorderedElementsAre(event("Loaded"), asked, asked,
                                     event("ServerRequest",
                                           {{"myPartnersDetailsDeleteMemberSuccess", "Member deleted successfully"},
                                            {"partnerDetails", ruthId + "---ruth@cradleway.test--Ruth Hart--Grand Parent"}})));

    // Invited people have no id yet: nothing to remove.
    ASSERT_TRUE(host->tapText("Sarah Hart"));
    ASSERT_TRUE(shownScreen<MyPartnersDetailViewController>());
    EXPECT_FALSE(host->findByIdentifier("card_menu"));
}

TEST_F(FamilyTest, SomeoneWhoIsNotAParentOnlySeesTheFamily) {
    signUpAlone("alex@cradleway.test", "Grand Parent");
    launch();
    auto list = openFamily();
    ASSERT_TRUE(list);
    ASSERT_TRUE(waitForEvents("MyPartnerViewScreen", 1));
    host->settle();
    // The empty list opens nothing for them, and they have no invite button.
    EXPECT_FALSE(list->navigationItem()->rightBarButtonItem());
    EXPECT_FALSE(host->findByIdentifier("add_baby"));
    EXPECT_EQ(shownScreen<MyPartnersViewController>(), list);
    EXPECT_THAT(rowTexts(*list), ElementsAre("Connected", "Invited"));

    // Nor a remove button on anyone's details. (The list's own fetch has ended first: its reply must
    // not replace the row under the held finger.)
    ASSERT_TRUE(RunLoop::main().runUntil([] { return NSURLSessionDataTask::tasksInFlight() == 0; }));
    list->didFetchWithResponse(JSON(nlohmann::json{{"members", {{{"id", 7}, {"name", "Kim"}, {"connected", true}}}}}));
    ASSERT_TRUE(host->tapText("Kim"));
    ASSERT_TRUE(shownScreen<MyPartnersDetailViewController>());
    EXPECT_FALSE(host->findByIdentifier("card_menu"));
}

TEST_F(FamilyTest, TheSecondClickOfADoubleClickSendsNoSecondInvitationWhenTheFirstIsAnsweredInBetween) {
    auto invite = openInvitation();
    ASSERT_TRUE(invite);
    ASSERT_TRUE(host->tapText("Full Name"));
    ASSERT_TRUE(host->type("Paul Bell\n"));
    ASSERT_TRUE(host->type("paul@cradleway.test\n"));
    ASSERT_TRUE(host->turnPicker("Friend"));
    ASSERT_TRUE(host->tapText("Done"));
    // From here on the services send through a front that holds the invitation's answer until the
    // test lets it go: the server near, it comes between the two clicks.
    RecordingServer front;
    auto answer = std::make_shared<Gate>();
    OpenOnExit letGo{answer};
    front.setHandler([upstream = demo->baseUrl(), answer](const RecordedRequest& request, httplib::Response& response) {
        forwardRequest(upstream, request, response);
        if (request.path == "/m/api/invite/") answer->wait();
    });
    prepareBundle(*environment, front.base(), "org.cradleway.account-tests");

    // The first click: the overlay takes the clicks that come while the invitation is on its way.
    auto send = invite->sendInviteButton();
    ASSERT_TRUE(host->tap(send));
    ASSERT_TRUE(waitUntil([&] { return front.requestCount("/m/api/invite/") == 1; }));
    ASSERT_TRUE(host->tap(send));
    // Answered: the form starts to leave, and the second click lands on it as it goes.
    answer->open();
    ASSERT_TRUE(RunLoop::main().runUntil(
        [&] {
            auto form = invite->navigationController();
            return form && form->isBeingDismissed();
        },
        10));
    ASSERT_TRUE(host->tap(send));
    ASSERT_TRUE(waitUntil([&] { return !shownScreen<InviteFamilyViewController>(); })) << screenTexts();
    BaseHTTPService("sentinel").post("", JSON(), nullptr, nullptr);
    ASSERT_TRUE(waitUntil([&] { return front.requestCount("/m/api/sentinel/") == 1; }));
    EXPECT_EQ(front.requestCount("/m/api/invite/"), 1u) << "a click sent it again";
    EXPECT_EQ(queryOne("SELECT COUNT(*) FROM invitations WHERE email = 'paul@cradleway.test'"), "1");
    EXPECT_TRUE(shownScreen<MyPartnersViewController>()) << "the click went through to the list: " << screenTexts();
    front.stop();
}

TEST_F(FamilyTest, AParentWithNobodyYetIsAskedToInviteAtOnce) {
    signUpAlone("alex@cradleway.test", "Mother");
    launch();
    openFromMenu("Family & Friends");
    ASSERT_TRUE(waitUntil([&] { return shownScreen<InviteFamilyViewController>() != nullptr; })) << screenTexts();
    EXPECT_TRUE(host->isShowing("Invite Family & Friends"));
    ASSERT_TRUE(host->tapText("Cancel"));
    EXPECT_TRUE(shownScreen<MyPartnersViewController>());
}

TEST_F(FamilyTest, TheListShowsEachReplyAsAWholeAndSkipsRepliesThatAreNoList) {
    launchAsMother();
    auto list = openFamily();
    ASSERT_TRUE(list && waitForList(*list, 3));
    const auto people = nlohmann::json::array({
        {{"id", 1}, {"name", "Ann"}, {"email", "ann@x.test"}, {"relationship", "Friend"}, {"connected", true}},
        {{"name", "Bo"}, {"email", "bo@x.test"}, {"relationship", "Relative"}, {"connected", false}},
        {{"id", 3}, {"name", "Cy"}, {"relationship", "Others"}},
    });
    list->didFetchWithResponse(JSON(nlohmann::json{{"members", people}}));
    EXPECT_THAT(rowTexts(*list), ElementsAre("Connected", "Ann | Friend (ann@x.test)", "Invited",
                                             "Bo | Relative (bo@x.test)", "Cy | "));
    // Not a list of objects: nothing changes.
    for (const auto& reply : {nlohmann::json{{"members", "none"}}, nlohmann::json{{"members", {1, 2}}},
                              nlohmann::json{{"people", people}}})
        list->didFetchWithResponse(JSON(reply));
    EXPECT_THAT(rowTexts(*list), SizeIs(5));
    // An empty list leaves nobody shown (the last one removed elsewhere), and asks a parent to invite.
    list->didFetchWithResponse(JSON(nlohmann::json{{"members", nlohmann::json::array()}}));
    EXPECT_THAT(rowTexts(*list), ElementsAre("Connected", "Invited"));
    host->settle();
    EXPECT_TRUE(shownScreen<InviteFamilyViewController>());
}

TEST_F(FamilyTest, AFailedLoadSaysSoAndKeepsTheList) {
    launchAsMother();
    auto list = openFamily();
    ASSERT_TRUE(list && waitForList(*list, 3));
    demo->stop();
    list->fetchMembers();
    ASSERT_TRUE(waitUntil([] { return !GSMessage::history().empty(); }, 20));
    EXPECT_EQ(GSMessage::history().back().text, "Unexpected error. Please try again.");
    EXPECT_EQ(GSMessage::history().back().type, GSMessageType::error);
    EXPECT_THAT(rowTexts(*list), SizeIs(5));
    EXPECT_FALSE(showsOverlay(*list));
}

TEST_F(FamilyTest, ARemovalThatFailsKeepsThePersonOnScreen) {
    launchAsMother();
    auto list = openFamily();
    ASSERT_TRUE(list && waitForList(*list, 3));
    ASSERT_TRUE(host->tapText("James Hart"));
    auto details = shownScreen<MyPartnersDetailViewController>();
    ASSERT_TRUE(details);
    demo->stop();
    ASSERT_TRUE(host->tapIdentifier("card_menu"));
    ASSERT_TRUE(host->pickAlertAction("OK"));
    ASSERT_TRUE(waitUntil([] { return !GSMessage::history().empty(); }, 20));
    EXPECT_EQ(GSMessage::history().back().text, "Unexpected error. Please try again.");
    EXPECT_EQ(shownScreen<MyPartnersDetailViewController>(), details);
    EXPECT_FALSE(showsOverlay(*details));

    // A person the server described with nothing but an id.
    Partner bare;
    bare.memberID = 9;
    EXPECT_EQ(MyPartnersDetailViewController(bare).partnerDescription(), "9---blankEmail--blankName--Unknow");
    EXPECT_EQ(MyPartnersDetailViewController(Partner()).partnerDescription(), "-1---blankEmail--blankName--Unknow");
}

TEST_F(FamilyTest, AFieldThatTheKeyboardWouldCoverStandsTwelvePointsAboveIt) {
    auto invite = openInvitation();
    ASSERT_TRUE(invite);
    for (const auto& field : {invite->emailTextField(), invite->relationshipTextField()}) {
        ASSERT_TRUE(host->tap(field));
        host->settle();
        ASSERT_TRUE(field->isFirstResponder());
        // The keys, or the wheel with its bar: the field ends at least 12 points above them.
        EXPECT_LE(field->convert(field->bounds(), static_cast<const UIView*>(nullptr)).maxY() + 12,
                  Keyboard::shared().frame().minY() + 0.5);
        invite->dismissKeyboard();
        host->settle();
    }
    // The keyboard gone, the form is back at its top and the insets give back what it took.
    auto scroll = invite->scrollView();
    EXPECT_EQ(scroll->contentOffset(), (CGPoint{0, 0}));
    EXPECT_EQ(scroll->contentInset().bottom, 0);
    EXPECT_EQ(scroll->scrollIndicatorInsets.bottom, 0);
}

} // namespace

} // namespace cw::test
