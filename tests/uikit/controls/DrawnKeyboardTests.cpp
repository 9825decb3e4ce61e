// The keyboard drawn on the screen, as a finger uses it: its layers of digits and signs, the
// e-mail address's keys, and the window's rule that a touch within the keyboard's frame is the
// keyboard's, even on a part of its bar that takes no touch.

#include "foundation/dispatch/RunLoop.h"
#include "foundation/text/CaseMapping.h"
#include "foundation/time/Clock.h"
#include "uikit/controllers/UIApplication.h"
#include "uikit/controllers/UIWindow.h"
#include "uikit/controls/UIButton.h"
#include "uikit/controls/UIEvent.h"
#include "uikit/controls/UIKeyboard.h"
#include "uikit/controls/UITextField.h"
#include "uikit/controls/UITextView.h"
#include "uikit/view/UILabel.h"

#include <gtest/gtest.h>

#include <cctype>

namespace {

class DrawnKeyboard : public ::testing::Test {
protected:
    void SetUp() override {
        cw::Keyboard::shared().reset();
        RunLoop::main().reset();
        window->addSubview(screen);
        screen->addSubview(field);
        window->makeKeyAndVisible();
    }
    void TearDown() override {
        window->endEditing(true);
        cw::Keyboard::shared().reset();
        RunLoop::main().reset();
        UIApplication::shared().reset();
    }
    // Brings the keys of `type` up over the field, emptied (its letters never shifted for it).
    void edit(UIKeyboardType type, UITextAutocapitalizationType capitals = UITextAutocapitalizationType::none) {
        window->endEditing(true);
        field->setText(std::string());
        field->keyboardType = type;
        field->autocapitalizationType = capitals;
        ASSERT_TRUE(field->becomeFirstResponder());
        window->layoutIfNeeded();
    }
    bool shows(const std::string& label) const { return cw::Keyboard::shared().keyFrame(label).has_value(); }
    // A finger on the key that shows `label`, through the window.
    void tap(const std::string& label) {
        const auto key = cw::Keyboard::shared().keyFrame(label);
        ASSERT_TRUE(key) << "no key shows " << label;
        touches.tap({key->midX(), key->midY()});
        window->layoutIfNeeded();
    }
    void tapEach(const std::vector<std::string>& labels) {
        for (const auto& label : labels)
            ASSERT_NO_FATAL_FAILURE(tap(label));
    }

    ManualClock clock;
    std::shared_ptr<UIWindow> window = std::make_shared<UIWindow>(CGRect(0, 0, 375, 667));
    // The screen being edited: the keyboard stands over it.
    std::shared_ptr<UIView> screen = std::make_shared<UIView>(CGRect(0, 0, 375, 667));
    std::shared_ptr<UITextField> field = std::make_shared<UITextField>(CGRect(20, 100, 300, 40));
    cw::TouchDelivery touches{window};
};

// Every digit and sign of the two layers types exactly what its key shows; "123", "#+=" and "ABC"
// go from layer to layer as on the phone, and the layer of signs gives way to the letters when a
// space follows what was typed there, or after the apostrophe; it stays for a record number.
TEST_F(DrawnKeyboard, EveryDigitAndSignOfItsLayersTypesWhatItsKeyShows) {
    const std::vector<std::string> numbers = {"1", "2", "3", "4", "5", "6", "7", "8", "9", "0",
                                              "-", "/", ":", ";", "(", ")", "$", "&", "@", "\""};
    const std::vector<std::string> signs = {"[", "]",  "{", "}", "#", "%", "^", "*", "+", "=",
                                            "_", "\\", "|", "~", "<", ">", "€", "£", "¥", "•"};
    const std::vector<std::string> punctuation = {".", ",", "?", "!"};
    struct Layer {
        const char* name;
        std::vector<std::string> toLayer;
        const std::vector<std::string>& keys;
    };
    const Layer layers[] = {{"123", {"123"}, numbers}, {"#+=", {"123", "#+="}, signs}};
    for (const auto& layer : layers) {
        SCOPED_TRACE(layer.name);
        ASSERT_NO_FATAL_FAILURE(edit(UIKeyboardType::default_));
        ASSERT_TRUE(shows("q") && !shows("1")) << "the letters come first";
        ASSERT_NO_FATAL_FAILURE(tapEach(layer.toLayer));
        EXPECT_FALSE(shows("q"));
        std::string expected;
        for (const auto& keys : {layer.keys, punctuation})
            for (const auto& key : keys) {
                ASSERT_NO_FATAL_FAILURE(tap(key));
                expected += key;
                EXPECT_EQ(field->text(), expected) << "after " << key;
            }
        ASSERT_NO_FATAL_FAILURE(tap("'"));
        EXPECT_EQ(field->text(), expected + "'");
        EXPECT_TRUE(shows("q")) << "the apostrophe goes back to the letters";
        ASSERT_NO_FATAL_FAILURE(tapEach(layer.toLayer));
        ASSERT_NO_FATAL_FAILURE(tap("ABC"));
        EXPECT_TRUE(shows("q"));
    }

    // A record number stays on the digits; a space after them goes back to the letters, and a
    // space alone on them does not.
    ASSERT_NO_FATAL_FAILURE(edit(UIKeyboardType::default_));
    ASSERT_NO_FATAL_FAILURE(tapEach({"\u21e7", "C", "\u21e7", "W", "123", "1", "0", "0", "0", "0", "1"}));
    EXPECT_EQ(field->text(), "CW100001");
    EXPECT_TRUE(shows("1"));
    ASSERT_NO_FATAL_FAILURE(tapEach({"space", "a"}));
    EXPECT_EQ(field->text(), "CW100001 a");
    ASSERT_NO_FATAL_FAILURE(tapEach({"123", "space", "2"}));
    EXPECT_EQ(field->text(), "CW100001 a 2");
    ASSERT_NO_FATAL_FAILURE(tap("\u232b"));
    EXPECT_EQ(field->text(), "CW100001 a ");

    // A new field starts on the letters again.
    ASSERT_NO_FATAL_FAILURE(edit(UIKeyboardType::default_));
    EXPECT_TRUE(shows("q"));
}

// One press of the delete key takes the last character as she sees it, whatever its code points:
// a family of seven, a flag, a skin tone, an accent or a vowel mark goes with its letter, in a
// field and in a text view alike, and what came before stays as it was.
TEST_F(DrawnKeyboard, TheDeleteKeyTakesTheLastCharacterAsSheSeesIt) {
    const struct {
        const char* name;
        std::string character;
    } rows[] = {
        {"family emoji", "\U0001F468\u200D\U0001F469\u200D\U0001F467\u200D\U0001F466"},
        {"flag", "\U0001F1EB\U0001F1F7"},
        {"skin tone", "\U0001F44D\U0001F3FD"},
        {"e and a combining accent", "e\u0301"},
        {"Arabic letter and its vowel marks", "\u0628\u064E\u0651"},
        {"CJK", "\u5B9D"},
        {"ASCII", "a"},
        {"line end", "\r\n"},
    };
    auto view = std::make_shared<UITextView>(CGRect(20, 160, 300, 120));
    screen->addSubview(view);
    for (const auto& row : rows)
        for (const std::string before : {"", "Baby \U0001F476 ", "\u05E9\u05DC\u05D5\u05DD e"}) {
            SCOPED_TRACE(std::string(row.name) + " after \"" + before + "\"");
            ASSERT_NO_FATAL_FAILURE(edit(UIKeyboardType::default_));
            field->setText(before + row.character);
            ASSERT_NO_FATAL_FAILURE(tap("\u232b"));
            EXPECT_EQ(field->text(), before) << "in a field";

            window->endEditing(true);
            ASSERT_TRUE(view->becomeFirstResponder());
            view->setText(before + row.character);
            window->layoutIfNeeded();
            ASSERT_NO_FATAL_FAILURE(tap("\u232b"));
            EXPECT_EQ(view->text(), before) << "in a text view";
        }
}

// An e-mail address's keys show "@" and "." beside the space bar, the other fields' do not; a
// number pad stays a number pad.
TEST_F(DrawnKeyboard, AnEmailAddressesKeysShowTheAtSignAndTheDotBesideTheLetters) {
    ASSERT_NO_FATAL_FAILURE(edit(UIKeyboardType::emailAddress));
    ASSERT_NO_FATAL_FAILURE(tapEach({"d", "e", "m", "o", "@", "c", "w", ".", "t", "e", "s", "t"}));
    EXPECT_EQ(field->text(), "demo@cw.test");
    EXPECT_TRUE(shows("q")) << "still the letters";
    const CGRect space = *cw::Keyboard::shared().keyFrame("space");
    const CGRect at = *cw::Keyboard::shared().keyFrame("@");
    EXPECT_EQ(at.midY(), space.midY()) << "on the bottom row";
    EXPECT_GT(at.minX(), space.maxX());

    ASSERT_NO_FATAL_FAILURE(edit(UIKeyboardType::default_));
    EXPECT_FALSE(shows("@"));
    EXPECT_FALSE(shows("."));

    ASSERT_NO_FATAL_FAILURE(edit(UIKeyboardType::numberPad));
    ASSERT_NO_FATAL_FAILURE(tapEach({"4", "2", "0"}));
    EXPECT_EQ(field->text(), "420");
    EXPECT_FALSE(shows("123"));
    EXPECT_FALSE(shows("q"));
}

// The letters come up in the case the input asks for, and she types what the keys show: tapping
// each key as it is drawn, never looking for shift ("⇧" in `keys` is a tap on shift, "⌫" on
// delete, "\n" on return; a digit or sign brings up its layer), gives the text each input wants.
TEST_F(DrawnKeyboard, EachInputsLettersComeUpInTheCaseItAsksForAndTypeAsTheyShow) {
    using AC = UITextAutocapitalizationType;
    const struct {
        const char* name;
        AC capitals;
        UIKeyboardType type;
        bool secure;
        bool textView;
        std::string keys;
        std::string typed;
    } rows[] = {
        {"sentences: at the start and after a full stop", AC::sentences, UIKeyboardType::default_, false, false,
         "olivia slept. she", "Olivia slept. She"},
        {"sentences: after ! and ? and a new line", AC::sentences, UIKeyboardType::default_, false, true,
         "olivia slept\nshe did! so? yes", "Olivia slept\nShe did! So? Yes"},
        {"sentences: not after a full stop with no space", AC::sentences, UIKeyboardType::default_, false, false,
         "cw.test. ok", "Cw.test. Ok"},
        {"sentences: shift turns it off and on for one letter", AC::sentences, UIKeyboardType::default_, false,
         false, "\u21e7olivia \u21e7hart", "olivia Hart"},
        {"sentences: shifted again once the text is deleted", AC::sentences, UIKeyboardType::default_, false,
         false, "ab\u232b\u232bolivia", "Olivia"},
        {"words: at the start and after each space", AC::words, UIKeyboardType::default_, false, false,
         "olivia mae hart", "Olivia Mae Hart"},
        {"all characters: a record number", AC::allCharacters, UIKeyboardType::default_, false, false,
         "cw100001", "CW100001"},
        {"all characters: shift gives one small letter", AC::allCharacters, UIKeyboardType::default_, false,
         false, "cw\u21e7ab", "CWaB"},
        {"none", AC::none, UIKeyboardType::default_, false, false, "olivia slept. she", "olivia slept. she"},
        {"an e-mail address", AC::sentences, UIKeyboardType::emailAddress, false, false, "demo@cw.test",
         "demo@cw.test"},
        {"a secure field", AC::sentences, UIKeyboardType::default_, true, false, "olivia. she", "olivia. she"},
        {"a secure field asking for all characters", AC::allCharacters, UIKeyboardType::asciiCapable, true,
         false, "cw1", "cw1"},
    };
    auto view = std::make_shared<UITextView>(CGRect(20, 160, 300, 120));
    screen->addSubview(view);
    // A letter's key shows it in one case or the other.
    const auto other = [](const std::string& c) {
        if (c.size() != 1 || !std::isalpha(static_cast<unsigned char>(c[0]))) return std::string();
        return std::string(1, static_cast<char>(std::islower(static_cast<unsigned char>(c[0])) ? std::toupper(c[0])
                                                                                               : std::tolower(c[0])));
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        window->endEditing(true);
        UITextInputTraits& traits = row.textView ? static_cast<UITextInputTraits&>(*view) : *field;
        traits.autocapitalizationType = row.capitals;
        traits.keyboardType = row.type;
        traits.isSecureTextEntry = row.secure;
        field->setText(std::string());
        view->setText(std::string());
        ASSERT_TRUE(row.textView ? view->becomeFirstResponder() : field->becomeFirstResponder());
        window->layoutIfNeeded();
        cw::forEachCharacter(row.keys, [&](std::string_view character) {
            const std::string c(character);
            if (c == " ") {
                tap("space");
            } else if (c == "\n") {
                tap("return");
            } else {
                // Its layer, as she looks for it: the digits and signs, or back to the letters.
                if (!shows(c) && !shows(other(c))) tap(shows("123") ? "123" : "ABC");
                tap(shows(c) ? c : other(c));
            }
            return !HasFatalFailure();
        });
        if (HasFatalFailure()) return;
        EXPECT_EQ(row.textView ? view->text() : field->text().value_or(""), row.typed);
    }
    field->autocapitalizationType = AC::sentences;
    field->keyboardType = UIKeyboardType::default_;
    field->isSecureTextEntry = false;

    // What the screen sets in the field being edited counts as what was typed.
    window->endEditing(true);
    field->setText(std::string());
    ASSERT_TRUE(field->becomeFirstResponder());
    ASSERT_NO_FATAL_FAILURE(tapEach({"O", "l"}));
    field->setText(std::string("Olivia slept. "));
    EXPECT_TRUE(shows("S")) << "shifted after a sentence set by the screen";
    field->setText(std::string());
    EXPECT_TRUE(shows("O")) << "shifted in the field the screen emptied";
    ASSERT_NO_FATAL_FAILURE(tapEach({"O", "k"}));
    EXPECT_EQ(field->text(), "Ok");
    ASSERT_TRUE(cw::Keyboard::shared().type(". "));
    EXPECT_TRUE(shows("S")) << "shifted after a sentence typed on the hardware keys";
}

// A field's bar that takes no touch of its own (a label) is part of the keyboard: a finger on it
// presses nothing of the screen beneath, which still takes a finger just above the keyboard.
TEST_F(DrawnKeyboard, ATouchWithinTheKeyboardsFrameNeverReachesTheScreenBeneath) {
    auto bar = std::make_shared<UILabel>(CGRect(0, 0, 375, 44));
    bar->setText("Weight in grams");
    field->setInputAccessoryView(bar);
    int pressed = 0;
    auto beneath = std::make_shared<UIButton>(UIButtonType::system);
    beneath->setFrame(CGRect(0, 380, 375, 120));
    beneath->addAction([&](UIControl*) { ++pressed; }, UIControlEventTouchUpInside);
    screen->addSubview(beneath);
    ASSERT_NO_FATAL_FAILURE(edit(UIKeyboardType::default_));
    const CGRect keyboard = cw::Keyboard::shared().frame();
    ASSERT_LT(keyboard.minY(), beneath->frame().maxY());
    ASSERT_GT(keyboard.minY(), beneath->frame().minY());

    touches.tap({100, keyboard.minY() + 20}); // on the bar's label
    EXPECT_EQ(pressed, 0) << "the bar let the touch through to the button beneath";
    EXPECT_TRUE(field->isFirstResponder());
    ASSERT_NO_FATAL_FAILURE(tap("q"));
    EXPECT_EQ(field->text(), "q");
    EXPECT_EQ(pressed, 0);

    touches.tap({100, keyboard.minY() - 10}); // above the keyboard
    EXPECT_EQ(pressed, 1) << "beside the keyboard the screen takes its touches";
}

} // namespace
