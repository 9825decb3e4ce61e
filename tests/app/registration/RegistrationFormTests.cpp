#include "Controllers/SignIn/RegistrationInvitationView.h"
#include "Controllers/SignIn/RegistrationSignUpView.h"
#include "ScreenFixture.h"
#include "uikit/controllers/UIToolbar.h"
#include "uikit/controls/UIKeyboard.h"

#include <gmock/gmock.h>

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace cw::test {

namespace {

// Records what the member form tells its screen, in order.
class FormListener : public RegistrationSignUpDelegate {
public:
    void returnFromPassword() override { calls.push_back("returnFromPassword"); }
    void formIsBeingEdited() override { calls.push_back("formIsBeingEdited"); }
    void didSelect(UITextField& field) override { calls.push_back("didSelect " + field.accessibilityIdentifier()); }
    void tappedRelationShip(UITextField&) override { calls.push_back("tappedRelationShip(field)"); }
    void tappedRelationShip() override { calls.push_back("tappedRelationShip"); }
    void passwordFieldIsBeingEdited() override { calls.push_back("passwordFieldIsBeingEdited"); }
    std::vector<std::string> calls;
};

// Answers only what it must.
class PlainListener : public RegistrationSignUpDelegate {
public:
    void returnFromPassword() override { ++returns; }
    int returns = 0;
};

} // namespace

class MemberForm : public ScreenTest {
protected:
    void SetUp() override {
        ScreenTest::SetUp();
        auto screen = std::make_shared<UIViewController>();
        show(screen);
        form = std::make_shared<RegistrationSignUpView>(CGRect{20, 80, 335, 300});
        screen->view()->addSubview(form);
        form->delegate = listener;
        host->settle();
    }
    std::shared_ptr<RegistrationSignUpView> form;
    std::shared_ptr<FormListener> listener = std::make_shared<FormListener>();
    UserData grandmother{"Ruth Hart", FamilyRelationship::GrandParent, "ruth@cradleway.test"};
};

TEST_F(MemberForm, EachUseFillsAndLocksTheFormItsOwnWay) {
    // Made empty: nothing but what the first layout needs.
    auto bare = std::make_shared<RegistrationSignUpView>();
    EXPECT_FALSE(bare->viewType);
    EXPECT_FALSE(bare->didUpdateConstraints);
    EXPECT_TRUE(bare->subviews().empty());
    EXPECT_TRUE(form->didUpdateConstraints) << "laid out once in the window";

    form->passwordField()->setText(std::string("kept"));
    form->configure(grandmother, RegistrationSignUpViewType::SignUpFirstTime);
    EXPECT_EQ(form->fullNameTextField()->text(), "Ruth Hart");
    EXPECT_EQ(form->relationshipField()->text(), "Grand Parent");
    EXPECT_EQ(form->emailTextField()->text(), "ruth@cradleway.test");
    EXPECT_FALSE(form->emailTextField()->isEnabled());
    EXPECT_FALSE(form->relationshipField()->isEnabled());
    EXPECT_TRUE(form->fullNameTextField()->isEnabled());
    EXPECT_EQ(form->passwordField()->text(), "kept") << "a first sign-up leaves the password alone";
    EXPECT_FALSE(form->passwordField()->isFirstResponder());

    form->configure(grandmother, RegistrationSignUpViewType::SignUpWithInvite);
    host->settle();
    EXPECT_EQ(form->passwordField()->text(), "");
    EXPECT_TRUE(form->passwordField()->isFirstResponder());
    form->endEditing(true);

    listener->calls.clear();
    form->configure(grandmother, RegistrationSignUpViewType::MyAccount);
    EXPECT_EQ(form->passwordField()->text(), "****************");
    // Touching the mask: three calls, and no editing.
    ASSERT_TRUE(host->tapIdentifier("passwordField"));
    EXPECT_THAT(listener->calls,
                ElementsAre("formIsBeingEdited", "didSelect passwordField", "passwordFieldIsBeingEdited"));
    EXPECT_FALSE(form->passwordField()->isFirstResponder());
    EXPECT_EQ(form->passwordField()->text(), "****************");
    // The name is still the member's to change.
    ASSERT_TRUE(host->tapIdentifier("fullNameTextField"));
    EXPECT_TRUE(form->fullNameTextField()->isFirstResponder());
}

TEST_F(MemberForm, FocusAndReturnTellTheScreenInOrder) {
    ASSERT_TRUE(host->tapIdentifier("fullNameTextField"));
    EXPECT_THAT(listener->calls, ElementsAre("formIsBeingEdited", "didSelect fullNameTextField"));
    listener->calls.clear();

    // Return on the name moves to the relationship, whose own keyboard is nothing yet.
    ASSERT_TRUE(host->type("\n"));
    EXPECT_TRUE(form->relationshipField()->isFirstResponder());
    EXPECT_THAT(listener->calls, ElementsAre("formIsBeingEdited", "didSelect relationshipField",
                                             "tappedRelationShip(field)", "tappedRelationShip"));
    // No keys: the plain view the form gives the field stands in their place.
    EXPECT_EQ(Keyboard::shared().inputView(), form->relationshipField()->inputView());
    EXPECT_TRUE(form->relationshipField()->inputView()->subviews().empty());
    listener->calls.clear();
    EXPECT_FALSE(host->type("\n")) << "no keys, no return key";
    EXPECT_TRUE(form->relationshipField()->isFirstResponder());
    EXPECT_THAT(listener->calls, IsEmpty());

    ASSERT_TRUE(host->tapIdentifier("emailTextField"));
    ASSERT_TRUE(host->type("\n"));
    EXPECT_TRUE(form->passwordField()->isFirstResponder());
    listener->calls.clear();
    ASSERT_TRUE(host->type("\n"));
    EXPECT_FALSE(form->passwordField()->isFirstResponder());
    EXPECT_THAT(listener->calls, ElementsAre("returnFromPassword"));

    // A screen that answers only the required call hears only that.
    auto plain = std::make_shared<PlainListener>();
    form->delegate = plain;
    ASSERT_TRUE(host->tapIdentifier("passwordField"));
    ASSERT_TRUE(host->type("\n"));
    EXPECT_EQ(plain->returns, 1);

    // The password keyboard's Done lets it go.
    ASSERT_TRUE(host->tapIdentifier("passwordField"));
    auto toolbar = std::dynamic_pointer_cast<UIToolbar>(form->passwordField()->inputAccessoryView());
    ASSERT_TRUE(toolbar);
    ASSERT_EQ(toolbar->items().size(), 2u);
    EXPECT_TRUE(toolbar->items()[0]->isSpace());
    EXPECT_EQ(toolbar->items()[1]->title(), "Done");
    ASSERT_TRUE(host->tapText("Done"));
    EXPECT_FALSE(form->passwordField()->isFirstResponder());
    EXPECT_EQ(plain->returns, 1) << "Done is not Return";
}

TEST_F(MemberForm, AMemberComesOnlyFromFilledFieldsWithTheRelationshipMatchedWhole) {
    auto fill = [&](const char* name, const char* relationship, const char* email, const char* password) {
        form->fullNameTextField()->setText(std::string(name));
        form->relationshipField()->setText(std::string(relationship));
        form->emailTextField()->setText(std::string(email));
        form->passwordField()->setText(std::string(password));
        return form->gatherUserInfo();
    };
    auto member = fill("Ruth Hart", "GRAND parent", "ruth@cradleway.test", "p");
    ASSERT_TRUE(member);
    EXPECT_EQ(member->fullName(), "Ruth Hart");
    EXPECT_EQ(member->relationship(), FamilyRelationship::GrandParent);
    EXPECT_EQ(member->email(), "ruth@cradleway.test");
    EXPECT_EQ(member->id(), -1);
    EXPECT_EQ(fill("Ruth", "cousin", "r@x.test", "p")->relationship(), FamilyRelationship::Others);
    EXPECT_EQ(fill("Ruth", "", "r@x.test", "p")->relationship(), FamilyRelationship::Others);
    EXPECT_EQ(fill("Ruth", " mother", "r@x.test", "p")->relationship(), FamilyRelationship::Others)
        << "texts are not trimmed";
    EXPECT_EQ(fill(" ", "Mother", "r@x.test", "p")->fullName(), " ") << "a blank counts as filled";
    EXPECT_FALSE(fill("", "Mother", "r@x.test", "p"));
    EXPECT_FALSE(fill("Ruth", "Mother", "", "p"));
    EXPECT_FALSE(fill("Ruth", "Mother", "r@x.test", ""));

    form->updateRelation(std::nullopt);
    EXPECT_EQ(form->relationshipField()->text(), "Mother");
    form->updateRelation(std::string("Friend"));
    EXPECT_EQ(form->relationshipField()->text(), "Friend");
}

TEST_F(MemberForm, MarkedFieldsTurnRedAndClearingTurnsAllFourGrey) {
    form->showInvalidName();
    form->showInvalidEmail();
    form->showInvalidPassword();
    EXPECT_EQ(hexOf(form->fullNameTextField()->placeholderColor), "#DB241B");
    EXPECT_EQ(hexOf(form->emailTextField()->placeholderColor), "#DB241B");
    EXPECT_EQ(hexOf(form->passwordField()->placeholderColor), "#DB241B");
    EXPECT_EQ(hexOf(form->relationshipField()->placeholderColor), "#939693");
    // The placeholder drawn is the marked one.
    ASSERT_TRUE(form->emailTextField()->attributedPlaceholder());
    EXPECT_EQ(form->emailTextField()->attributedPlaceholder()->string(), "Email");

    form->clearInvalidFields();
    for (const auto& field : {form->fullNameTextField(), form->relationshipField(), form->emailTextField(),
                              form->passwordField()})
        EXPECT_EQ(hexOf(field->placeholderColor), "#939693") << field->accessibilityIdentifier();
}

class InvitationForm : public ScreenTest {
protected:
    void SetUp() override {
        ScreenTest::SetUp();
        auto screen = std::make_shared<UIViewController>();
        show(screen);
        form = std::make_shared<RegistrationInvitationView>(CGRect{20, 80, 335, 240});
        screen->view()->addSubview(form);
        host->settle();
    }
    std::shared_ptr<RegistrationInvitationView> form;
};

TEST_F(InvitationForm, GivesItsThreeTextsOnlyWhenEachIsFilledAndWalksThroughThemWithReturn) {
    EXPECT_FALSE(form->gatherInvitationInfo());
    ASSERT_TRUE(host->tapIdentifier("inviterNameTextField"));
    EXPECT_EQ(form->textFieldBeingEditted, form->inviterNameTextField().get());
    ASSERT_TRUE(host->type("Emma Hart\n"));
    EXPECT_TRUE(form->inviterEmailTextField()->isFirstResponder());
    ASSERT_TRUE(host->type("demo@cradleway.test\n"));
    EXPECT_TRUE(form->securityCodeTextField()->isFirstResponder());
    EXPECT_EQ(form->securityCodeTextField()->keyboardType, UIKeyboardType::numberPad);
    EXPECT_FALSE(form->gatherInvitationInfo()) << "no code yet";
    ASSERT_TRUE(host->type(" "));
    auto info = form->gatherInvitationInfo();
    ASSERT_TRUE(info) << "a blank code counts as filled";
    EXPECT_EQ(info->inviterName, "Emma Hart");
    EXPECT_EQ(info->inviterEmail, "demo@cradleway.test");
    EXPECT_EQ(info->securityCode, " ");

    // The number pad has no Return: Done above it ends the editing.
    ASSERT_TRUE(host->tapText("Done"));
    EXPECT_FALSE(form->securityCodeTextField()->isFirstResponder());
    form->inviterNameTextField()->setText(std::string());
    EXPECT_FALSE(form->gatherInvitationInfo());
}

} // namespace cw::test
