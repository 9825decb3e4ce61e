#pragma once

// The on-screen keyboard. When a text input becomes the first responder the keyboard "shows": it
// takes a fixed height for the screen (or its input view's height), with the input accessory view
// docked above it, and the platform's notifications go out on the default centre with the begin
// and end frames (screen coordinates), the animation duration and curve in their userInfo. The
// did-notifications follow once the animation time has passed on the run loop's clock.
//
// Other responders (a screen with a comment bar) show only what they offer: their input view in
// place of the keys, their accessory docked at the bottom edge of the screen. Such a responder
// keeps its dock while a text input inside its accessory edits: the bar rides up on the keys, and
// when the text input lets go the responder takes the focus back and the bar goes back down.
//
// The keyboard's frame always includes the docked accessory. An accessory laid out by constraints
// is as tall as its constraints make it at the screen's width, and may grow or shrink as it lays
// out (a text view that grows with its text): the keyboard then tells of its new frame.
//
// Order: will-change-frame, will-show (or will-hide); then did-change-frame, did-show (did-hide).
// The keys going up is a show, the keys going down a hide, even where a docked bar stays.
//
// The keyboard takes every touch within its frame: a finger that lifts on a drawn key types it
// into the first responder, as `type` does; one between keys, or on the bar's empty part, does
// nothing, and nothing under the keyboard is touched.
//
// The letters come up in the case the input's autocapitalization asks for, read from the text
// before the caret each time it changes: all characters keeps them shifted; words shifts them at
// the start and after a space; sentences at the start, after ". ", "! ", "? " and on a new line;
// none never. An e-mail address's keys and a secure field's are never shifted by themselves. A
// shift the text asked for goes off after one letter (all characters excepted), and the shift
// key turns it off or on for the next letter.

#include "foundation/dispatch/NotificationCenter.h"
#include "uikit/graphics/NSAttributedString.h"
#include "uikit/view/UIView.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

inline const NotificationName UIKeyboardWillShowNotification = "UIKeyboardWillShowNotification";
inline const NotificationName UIKeyboardDidShowNotification = "UIKeyboardDidShowNotification";
inline const NotificationName UIKeyboardWillHideNotification = "UIKeyboardWillHideNotification";
inline const NotificationName UIKeyboardDidHideNotification = "UIKeyboardDidHideNotification";
inline const NotificationName UIKeyboardWillChangeFrameNotification = "UIKeyboardWillChangeFrameNotification";
inline const NotificationName UIKeyboardDidChangeFrameNotification = "UIKeyboardDidChangeFrameNotification";
// userInfo keys: frames are CGRect, the duration a double (seconds), the curve a long.
inline const std::string UIKeyboardFrameBeginUserInfoKey = "UIKeyboardFrameBeginUserInfoKey";
inline const std::string UIKeyboardFrameEndUserInfoKey = "UIKeyboardFrameEndUserInfoKey";
inline const std::string UIKeyboardAnimationDurationUserInfoKey = "UIKeyboardAnimationDurationUserInfoKey";
inline const std::string UIKeyboardAnimationCurveUserInfoKey = "UIKeyboardAnimationCurveUserInfoKey";
inline const std::string UIKeyboardIsLocalUserInfoKey = "UIKeyboardIsLocalUserInfoKey";

// What a responder that takes typed text offers the keyboard.
class UIKeyInput {
public:
    virtual ~UIKeyInput() = default;
    virtual bool hasText() const = 0;
    virtual void insertText(const std::string& text) = 0;
    virtual void deleteBackward() = 0;
    // The text before the caret, as the keyboard reads it to choose the case of its letters; a
    // view of the input's own text, valid until that text next changes.
    virtual std::string_view documentContextBeforeInput() const = 0;
};

enum class UIKeyboardType {
    default_ = 0,
    asciiCapable = 1,
    numbersAndPunctuation = 2,
    URL = 3,
    numberPad = 4,
    phonePad = 5,
    namePhonePad = 6,
    emailAddress = 7,
    decimalPad = 8,
    twitter = 9,
    webSearch = 10,
    asciiCapableNumberPad = 11
};
enum class UIReturnKeyType {
    default_ = 0,
    go = 1,
    google = 2,
    join = 3,
    next = 4,
    route = 5,
    search = 6,
    send = 7,
    yahoo = 8,
    done = 9,
    emergencyCall = 10,
    continue_ = 11
};
enum class UITextAutocorrectionType { default_ = 0, no = 1, yes = 2 };
enum class UITextAutocapitalizationType { none = 0, words = 1, sentences = 2, allCharacters = 3 };
enum class UITextSpellCheckingType { default_ = 0, no = 1, yes = 2 };
enum class UIKeyboardAppearance { default_ = 0, dark = 1, light = 2 };

// The keyboard settings of a text input.
struct UITextInputTraits {
    UIKeyboardType keyboardType = UIKeyboardType::default_;
    UIReturnKeyType returnKeyType = UIReturnKeyType::default_;
    UITextAutocorrectionType autocorrectionType = UITextAutocorrectionType::default_;
    UITextAutocapitalizationType autocapitalizationType = UITextAutocapitalizationType::sentences;
    UITextSpellCheckingType spellCheckingType = UITextSpellCheckingType::default_;
    UIKeyboardAppearance keyboardAppearance = UIKeyboardAppearance::default_;
    bool enablesReturnKeyAutomatically = false;
    bool isSecureTextEntry = false;
    std::string textContentType;
};

namespace cw::detail {
// Edits as typing makes them, with ranges in UTF-16 code units like the delegates'.
std::size_t utf16Length(const std::string& text);
std::string replacingUTF16(const std::string& text, NSRange range, const std::string& replacement);
// The range of the last character as she sees it (a flag, a family emoji, a letter with its
// marks), found from the end of the text; empty for "".
NSRange lastCharacterRange(const std::string& text);
} // namespace cw::detail

namespace cw {

class Keyboard {
public:
    static Keyboard& shared();

    // The screen the keyboard sits at the bottom of, in points (the screen object sets it).
    CGSize screenSize() const { return screenSize_; }
    void setScreenSize(CGSize size);
    // The keyboard's own height on a screen of that size.
    static CGFloat heightFor(CGSize screen);

    // Whether anything is shown: the keys, an input view or a docked accessory.
    bool isVisible() const { return visible_; }
    // Whether the keys (or an input view in their place) are up.
    bool areKeysShown() const { return visible_ && keys_; }
    // The keyboard's frame, accessory included, in screen coordinates (below the screen when hidden).
    CGRect frame() const;
    double animationDuration = 0.25;
    long animationCurve = 7;

    // A view the window keeps above the screen being edited (and below what is presented over
    // it): it holds the docked accessory and input views.
    const std::shared_ptr<UIView>& hostView() const { return host_; }
    std::shared_ptr<UIView> accessoryView() const { return accessory_; }
    std::shared_ptr<UIView> inputView() const { return input_; }

    // Called by text inputs.
    void beginFocusChange() { ++focusChanging_; }
    void endFocusChange() {
        if (focusChanging_ > 0) --focusChanging_;
    }
    void inputDidBecomeFirstResponder(UIResponder* input, std::shared_ptr<UIView> inputView,
                                      std::shared_ptr<UIView> accessoryView);
    void inputDidResign(const void* input);
    // The input's text changed, typed or set: the letters come up in the case it now asks for.
    void inputTextDidChange(const void* input);

    // Called by responders that take no text (view controllers). `reclaim` makes the responder
    // first responder again, false when it no longer can; it is asked when a text input inside
    // its accessory lets go. With neither view, the keyboard goes down.
    void responderDidBecomeFirstResponder(UIResponder* responder, std::shared_ptr<UIView> inputView,
                                          std::shared_ptr<UIView> accessoryView,
                                          std::function<bool()> reclaim);
    // The responder no longer keeps a dock (it is leaving the screen).
    void releaseDock(const UIResponder* responder);
    // The responder whose accessory is docked while no text input needs the keys.
    const UIResponder* dockingResponder() const { return dock_ ? dock_->owner : nullptr; }

    // Typing into the first responder, as the keys do: text (a "\n" is the return key), the
    // delete key, and the return key. False when no text input has the keys: none is first
    // responder, or its input is a view of its own (a wheel), which takes no typed text.
    bool type(const std::string& text);
    bool deleteBackward(int times = 1);
    bool pressReturn();

    // Where the key that shows `label` ("c", "space", "123", the return key's title) is drawn on
    // the layer of keys shown now, in screen coordinates; none while no keys are shown (a wheel
    // stands in their place) or none of that layer shows it.
    std::optional<CGRect> keyFrame(const std::string& label) const;

    // The text input the keys type into: the first responder, when it takes text and shows the
    // keys rather than an input view of its own.
    static UIKeyInput* keysInput();

    // Back to hidden, with nothing attached and no notifications (for tests).
    void reset();

    // The host view calls this after each layout pass.
    void hostDidLayout();

private:
    struct Dock {
        const UIResponder* owner = nullptr;
        std::shared_ptr<UIView> inputView;
        std::shared_ptr<UIView> accessory;
        std::function<bool()> reclaim;
    };

    Keyboard();
    CGRect frameFor(bool visible) const;
    CGFloat keysHeight() const;
    CGFloat measureAccessory() const;
    void show(const void* owner, std::shared_ptr<UIView> inputView, std::shared_ptr<UIView> accessoryView,
              bool keys);
    void hide();
    std::map<std::string, std::any> userInfo(const CGRect& begin, const CGRect& end) const;
    void post(bool showing, const CGRect& begin, const CGRect& end);
    void postFrameChange(const CGRect& begin, const CGRect& end);
    void place();
    void dock(const std::shared_ptr<UIView>& view, const CGRect& rect);
    void undock(UIView* view);

    CGSize screenSize_{375, 667};
    bool visible_ = false;
    bool keys_ = false;
    CGFloat accessoryHeight_ = 0;
    std::optional<Dock> dock_;
    const void* owner_ = nullptr;
    int focusChanging_ = 0;
    std::shared_ptr<UIView> host_;
    std::shared_ptr<UIView> accessory_;
    std::shared_ptr<UIView> input_;
    // Drawn where the keys are, with the keys the input asks for (letters and their layers of
    // digits and signs, an e-mail address's, or a number pad; its return key's title); a finger
    // on a key types it, and between keys touches nothing.
    std::shared_ptr<UIView> keysBackdrop_;
    std::uint64_t didTimer_ = 0;
    std::map<UIView*, std::vector<NSLayoutConstraintPtr>> dockConstraints_;
};

} // namespace cw
