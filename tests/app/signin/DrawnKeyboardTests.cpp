// The signed-out screens typed on the drawn keyboard alone, by finger, on the smallest phone: an
// e-mail address with its "@" and ".", a password with signs, and what a field shows of a text
// longer than itself while she types and when she is done.

#include "SignInFixture.h"

#include "Controllers/SignIn/LoginViewController.h"
#include "tests/support/KeyboardFinger.h"
#include "uikit/controls/UIKeyboard.h"
#include "uikit/view/UILabel.h"

namespace cw::test {

namespace {

// The label inside `field` that shows its text.
std::shared_ptr<UILabel> textShownIn(const UIView& field, const std::string& text) {
    for (const auto& sub : field.subviews()) {
        if (auto label = std::dynamic_pointer_cast<UILabel>(sub); label && label->text() == text)
            return label;
        if (auto inner = textShownIn(*sub, text)) return inner;
    }
    return nullptr;
}

} // namespace

class DrawnKeyboardTest : public SignInTest {
protected:
    void SetUp() override {
        screenSize = {320, 568};
        SignInTest::SetUp();
    }
};

// The e-mail address and the password typed as the keys show them: their letters never come up
// as capitals.
TEST_F(DrawnKeyboardTest, TheDemoMemberSignsInTypingOnTheDrawnKeysAlone) {
    launch();
    auto login = topAs<LoginViewController>();
    ASSERT_TRUE(login);
    ASSERT_TRUE(host->tapIdentifier("emailTextField"));
    ASSERT_TRUE(typeAsShown(*host, "demo@cradleway.test"))
        << "typed " << login->emailTextField->text().value_or("");
    EXPECT_EQ(login->emailTextField->text(), "demo@cradleway.test");
    ASSERT_TRUE(tapKey(*host, "Next"));
    ASSERT_TRUE(login->passwordField->isFirstResponder());
    ASSERT_TRUE(typeAsShown(*host, "cradleway-demo"));
    EXPECT_EQ(login->passwordField->text(), "cradleway-demo");
    ASSERT_TRUE(tapKey(*host, "Done"));
    EXPECT_FALSE(Keyboard::shared().isVisible());
    ASSERT_TRUE(host->tapText("Sign In"));
    ASSERT_TRUE(waitFor([&] { return showsMainInterface(); })) << "the main interface did not come";
}

// While she types, the end of a text wider than the field and the caret after it are what the
// field shows, not its head and "…"; when she moves on, its head shows again, cut with "…".
TEST_F(DrawnKeyboardTest, AFieldKeepsWhatSheTypesInViewAndShowsItsHeadWhenSheMovesOn) {
    launch();
    auto login = topAs<LoginViewController>();
    ASSERT_TRUE(login);
    auto field = login->emailTextField;
    const auto caret = [&]() -> std::shared_ptr<UIView> {
        for (const auto& sub : field->subviews())
            if (sub->className() == "UITextSelectionView") return sub;
        return nullptr;
    }();
    ASSERT_TRUE(caret);
    // Where a character of the label is drawn, in the window.
    const auto box = [](const UILabel& label, NSRange range) {
        const auto boxes = label.rects(range);
        return boxes.empty() ? CGRect::zero() : label.convert(boxes.back(), nullptr);
    };
    ASSERT_TRUE(host->tapIdentifier("emailTextField"));
    std::string typed;
    for (const std::string word : {"grandmother ", "margaret ", "elizabeth ", "hart"}) {
        ASSERT_TRUE(typeWithKeys(*host, word));
        typed += word;
        host->settle();
        SCOPED_TRACE(typed);
        auto label = textShownIn(*field, typed);
        ASSERT_TRUE(label);
        EXPECT_GE(label->bounds().size.width, label->intrinsicContentSize().width - 0.5)
            << "the text is cut with \"…\" while she types";
        const CGRect shown = field->convert(field->editingRect(field->bounds()), nullptr);
        const CGRect last = box(*label, detail::lastCharacterRange(typed));
        EXPECT_GE(last.minX(), shown.minX());
        EXPECT_LE(last.maxX(), shown.maxX() + 0.5) << "the last letter typed is out of view";
        const CGRect at = caret->convert(caret->bounds(), nullptr);
        EXPECT_NEAR(at.minX(), last.maxX(), 2.5) << "the caret stands after it";
        EXPECT_LE(at.maxX(), shown.maxX() + 0.5) << "in the field";
    }
    auto label = textShownIn(*field, typed);
    const CGRect shown = field->convert(field->editingRect(field->bounds()), nullptr);
    EXPECT_LT(box(*label, {0, 1}).minX(), shown.minX()) << "the head is what slides out of view";

    ASSERT_TRUE(host->tapIdentifier("passwordField"));
    label = textShownIn(*field, typed);
    ASSERT_TRUE(label);
    const CGRect rest = field->convert(field->textRect(field->bounds()), nullptr);
    EXPECT_NEAR(box(*label, {0, 1}).minX(), rest.minX(), 1) << "the head shows again";
    EXPECT_LT(label->bounds().size.width, label->intrinsicContentSize().width) << "cut with \"…\" as before";
    EXPECT_LE(label->convert(label->bounds(), nullptr).maxX(), rest.maxX() + 0.5);
}

} // namespace cw::test
