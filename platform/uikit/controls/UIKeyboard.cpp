#include "uikit/controls/UIKeyboard.h"

#include "foundation/dispatch/RunLoop.h"
#include "foundation/text/CaseMapping.h"
#include "foundation/text/Utf8.h"
#include "foundation/time/Clock.h"
#include "uikit/controls/UIEvent.h"
#include "uikit/controls/UIInputView.h"
#include "uikit/graphics/UIBezierPath.h"
#include "uikit/graphics/UIGraphics.h"
#include "uikit/view/UIResponder.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace cw::detail {

std::size_t utf16Length(const std::string& text) {
    return cw::utf16Length(text);
}

std::string replacingUTF16(const std::string& text, NSRange range, const std::string& replacement) {
    std::u16string t = utf8ToUTF16(text);
    const std::size_t loc = std::min(range.location, t.size());
    const std::size_t len = std::min(range.length, t.size() - loc);
    t.replace(loc, len, utf8ToUTF16(replacement));
    return utf16ToUTF8(t);
}

NSRange lastCharacterRange(const std::string& text) {
    const std::size_t length = cw::utf16Length(cw::lastCharacter(text));
    return {cw::utf16Length(text) - length, length};
}

} // namespace cw::detail

namespace cw {

namespace {

// Holds the docked views above everything in the key window; tells the keyboard when a pass has
// laid them out (a bar laid out by constraints may have changed its height).
class KeyboardHostView : public UIView {
public:
    explicit KeyboardHostView(const CGRect& frame) : UIView(frame) {}
    std::string className() const override { return "UIInputSetHostView"; }
    void layoutSubviews() override {
        UIView::layoutSubviews();
        Keyboard::shared().hostDidLayout();
    }
};

// What a key does when a finger lifts on it: types its label, or changes the keys shown.
enum class KeyRole { character, shift, backspace, letters, numbers, signs, space, enter };

struct KeyCap {
    CGRect frame; // in the keys view
    std::string label;
    KeyRole role;
    bool light;     // a white cap (letters, digits, space) rather than a grey one
    CGFloat points; // the label's size
};

// Which keys an input asks for.
enum class KeysKind { letters, email, numbersFirst, numberPad };

// The layers of the keys, as a phone has them: the letters; the digits and common signs ("123");
// more signs ("#+="). "ABC" goes back to the letters.
enum class KeysLayer { letters, numbers, signs };

// Whether the letters come up shifted for `before`, the text before the caret, under the input's
// capitalization. Only the end of the text is read, whatever its length.
bool capitalizes(UITextAutocapitalizationType type, std::string_view before) {
    if (type == UITextAutocapitalizationType::none) return false;
    if (type == UITextAutocapitalizationType::allCharacters) return true;
    const std::size_t end = before.find_last_not_of(' ');
    if (end == std::string_view::npos || before[end] == '\n') return true;
    const bool spaced = end + 1 < before.size();
    if (type == UITextAutocapitalizationType::words) return spaced;
    return spaced && (before[end] == '.' || before[end] == '!' || before[end] == '?');
}

// The two upper rows of each layer of signs, ten keys each, and the third row's five, which
// both layers share.
const char* const kNumberRows[2][10] = {{"1", "2", "3", "4", "5", "6", "7", "8", "9", "0"},
                                        {"-", "/", ":", ";", "(", ")", "$", "&", "@", "\""}};
const char* const kSignRows[2][10] = {{"[", "]", "{", "}", "#", "%", "^", "*", "+", "="},
                                      {"_", "\\", "|", "~", "<", ">", "\u20ac", "\u00a3", "\u00a5", "\u2022"}};
const char* const kPunctuationRow[5] = {".", ",", "?", "!", "'"};

// The keys as the phone draws them for the input being edited: the letters with shift, delete,
// the number key, space and the return key (an e-mail address's keys add "@" and "."), their
// layers of digits and signs, or a number pad. A finger that lifts on a key types it into the
// field being edited; the whole view takes touches, so one between two keys types nothing and
// reaches nothing under the keyboard either.
//
// As on the phone, the layer of digits and signs stays while she types on it (a record number,
// a date), and goes back to the letters when a space follows what she typed there, or when she
// types the apostrophe (the next word goes on in letters).
class KeyboardKeysView : public UIView {
public:
    KeyboardKeysView() { setBackgroundColor(UIInputView::keyboardBackgroundColor()); }
    std::string className() const override { return "UIKeyboardLayoutStar"; }

    // The keys an input asks for; from their first layer when it begins editing (`fresh`).
    void setKind(KeysKind kind, UITextAutocapitalizationType capitals, std::string returnTitle, bool fresh) {
        const bool again = fresh || kind != kind_ || capitals != capitals_;
        if (fresh || kind != kind_) {
            typedOnLayer_ = false;
            layer_ = kind == KeysKind::numbersFirst ? KeysLayer::numbers : KeysLayer::letters;
        }
        kind_ = kind;
        capitals_ = capitals;
        returnTitle_ = std::move(returnTitle);
        if (again) followText();
        setNeedsDisplay();
    }

    // The shift the text before the caret asks for, in place of the one shown.
    void followText() {
        auto* input = Keyboard::keysInput();
        setShifted(capitalizes(capitals_, input ? input->documentContextBeforeInput() : std::string_view()));
    }

    // Every key, where it is drawn, for the present size, kind and layer.
    std::vector<KeyCap> keys() const {
        const CGRect b = bounds();
        std::vector<KeyCap> out;
        if (kind_ == KeysKind::numberPad) {
            constexpr CGFloat side = 6, gap = 6, top = 6;
            const CGFloat keyW = (b.size.width - 2 * side - 2 * gap) / 3;
            const CGFloat keyH = (b.size.height - top - 3 * gap - 6) / 4;
            const char* labels[] = {"1", "2", "3", "4", "5", "6", "7", "8", "9", "", "0", "\u232b"};
            for (int i = 0; i < 12; ++i) {
                if (!*labels[i]) continue;
                const CGRect frame{side + static_cast<CGFloat>(i % 3) * (keyW + gap),
                                   top + static_cast<CGFloat>(i / 3) * (keyH + gap), keyW, keyH};
                out.push_back({frame, labels[i], i == 11 ? KeyRole::backspace : KeyRole::character, i != 11, 24});
            }
            return out;
        }
        // Rows of ten key widths with gaps between, as on a phone held upright.
        constexpr CGFloat side = 3, gap = 6, top = 8, rowGap = 12;
        const CGFloat keyW = (b.size.width - 2 * side - 9 * gap) / 10;
        const CGFloat keyH = std::max<CGFloat>(20, (b.size.height - top - 3 * rowGap - 4) / 4);
        const auto rowY = [&](int r) { return top + static_cast<CGFloat>(r) * (keyH + rowGap); };
        // A row of character keys of one width, centred.
        const auto centredRow = [&](const std::vector<std::string>& labels, int r, CGFloat points) {
            const auto n = static_cast<CGFloat>(labels.size());
            CGFloat x = (b.size.width - n * keyW - (n - 1) * gap) / 2;
            for (const auto& label : labels) {
                out.push_back({{x, rowY(r), keyW, keyH}, label, KeyRole::character, true, points});
                x += keyW + gap;
            }
        };
        const CGFloat sideW = keyW * 1.3;
        if (layer_ == KeysLayer::letters) {
            const char* rows[] = {"qwertyuiop", "asdfghjkl", "zxcvbnm"};
            for (int r = 0; r < 3; ++r) {
                std::vector<std::string> labels;
                for (const char c : std::string(rows[r]))
                    labels.emplace_back(1, shifted_ ? static_cast<char>(c - 'a' + 'A') : c);
                centredRow(labels, r, 22);
            }
            // Shift beside the last row of letters.
            out.push_back({{side, rowY(2), sideW, keyH}, "\u21e7", KeyRole::shift, shifted_, 18});
        } else {
            const auto& rows = layer_ == KeysLayer::numbers ? kNumberRows : kSignRows;
            for (int r = 0; r < 2; ++r)
                centredRow(std::vector<std::string>(std::begin(rows[r]), std::end(rows[r])), r, 20);
            // The other layer of signs in shift's place, and five wider keys of punctuation.
            if (layer_ == KeysLayer::numbers)
                out.push_back({{side, rowY(2), sideW, keyH}, "#+=", KeyRole::signs, false, 16});
            else
                out.push_back({{side, rowY(2), sideW, keyH}, "123", KeyRole::numbers, false, 16});
            const CGFloat left = side + sideW + gap * 1.5;
            const CGFloat wide = (b.size.width - 2 * left - 4 * gap) / 5;
            for (int i = 0; i < 5; ++i)
                out.push_back({{left + static_cast<CGFloat>(i) * (wide + gap), rowY(2), wide, keyH},
                               kPunctuationRow[i], KeyRole::character, true, 20});
        }
        out.push_back({{b.size.width - side - sideW, rowY(2), sideW, keyH}, "\u232b", KeyRole::backspace, false, 18});
        // The bottom row: the other layer, space (an e-mail address's "@" and "." beside it on
        // the letters), return.
        const CGFloat y4 = rowY(3);
        const CGFloat smallW = keyW * 2 + gap * 0.5;
        const CGFloat returnW = keyW * 2.5;
        if (layer_ == KeysLayer::letters)
            out.push_back({{side, y4, smallW, keyH}, "123", KeyRole::numbers, false, 16});
        else
            out.push_back({{side, y4, smallW, keyH}, "ABC", KeyRole::letters, false, 16});
        CGFloat spaceEnd = b.size.width - side - returnW - gap;
        if (kind_ == KeysKind::email && layer_ == KeysLayer::letters) {
            for (const char* sign : {".", "@"}) {
                spaceEnd -= keyW;
                out.push_back({{spaceEnd, y4, keyW, keyH}, sign, KeyRole::character, true, 20});
                spaceEnd -= gap;
            }
        }
        out.push_back({{b.size.width - side - returnW, y4, returnW, keyH}, returnTitle_, KeyRole::enter, false, 16});
        const CGFloat spaceX = side + smallW + gap;
        out.push_back({{spaceX, y4, spaceEnd - spaceX, keyH}, "space", KeyRole::space, true, 16});
        return out;
    }

    void draw(const CGRect&) override {
        CGContext* ctx = UIGraphicsGetCurrentContext();
        if (!ctx) return;
        for (const auto& k : keys())
            drawKey(*ctx, k);
    }

    // The key types where the finger lifts, as on the phone: a finger that slides onto the next
    // key types that one.
    void touchesBegan(const TouchSet&, const UIEvent*) override {}
    void touchesMoved(const TouchSet&, const UIEvent*) override {}
    void touchesCancelled(const TouchSet&, const UIEvent*) override {}
    void touchesEnded(const TouchSet& touches, const UIEvent*) override {
        if (touches.empty()) return;
        const CGPoint at = (*touches.begin())->location(this);
        for (const auto& k : keys())
            if (k.frame.contains(at)) return press(k);
    }

private:
    void press(const KeyCap& k) {
        auto& keyboard = Keyboard::shared();
        switch (k.role) {
        case KeyRole::character:
            keyboard.type(k.label);
            // The shift was for one letter, even one the input refused.
            followText();
            if (layer_ != KeysLayer::letters) {
                typedOnLayer_ = true;
                if (k.label == "'") setLayer(KeysLayer::letters);
            }
            break;
        case KeyRole::shift:
            setShifted(!shifted_);
            break;
        case KeyRole::backspace:
            keyboard.deleteBackward();
            break;
        case KeyRole::space:
            keyboard.type(" ");
            if (layer_ != KeysLayer::letters && typedOnLayer_) setLayer(KeysLayer::letters);
            break;
        case KeyRole::enter:
            keyboard.pressReturn();
            break;
        case KeyRole::letters:
            setLayer(KeysLayer::letters);
            break;
        case KeyRole::numbers:
            setLayer(KeysLayer::numbers);
            break;
        case KeyRole::signs:
            setLayer(KeysLayer::signs);
            break;
        }
    }

    void setShifted(bool shifted) {
        shifted_ = shifted;
        setNeedsDisplay();
    }

    void setLayer(KeysLayer layer) {
        layer_ = layer;
        typedOnLayer_ = false;
        followText();
        setNeedsDisplay();
    }

    // One key: a rounded cap with a darker edge under it and its label in the middle.
    static void drawKey(CGContext& ctx, const KeyCap& k) {
        const CGRect& r = k.frame;
        ctx.setFillColor(UIColor(0.53, 0.54, 0.56, 1));
        ctx.fill(UIBezierPath::roundedRect(r.offsetBy(0, 1), 5));
        ctx.setFillColor(k.light ? UIColor::whiteColor() : UIColor(0.67, 0.70, 0.74, 1));
        ctx.fill(UIBezierPath::roundedRect(r, 5));
        TextAttributes a;
        a.font = UIFont::systemFont(k.points);
        a.foregroundColor = UIColor::blackColor();
        const NSAttributedString text(k.label, a);
        const CGSize s = text.size();
        text.draw(CGPoint{r.midX() - s.width / 2, r.midY() - s.height / 2});
    }

    KeysKind kind_ = KeysKind::letters;
    KeysLayer layer_ = KeysLayer::letters;
    UITextAutocapitalizationType capitals_ = UITextAutocapitalizationType::none;
    bool shifted_ = false;
    // Whether anything was typed since the present layer of signs came up.
    bool typedOnLayer_ = false;
    std::string returnTitle_ = "return";
};

// The return key's title for each kind the input asks for.
std::string returnKeyTitle(UIReturnKeyType type) {
    static const std::map<UIReturnKeyType, std::string> titles = {
        {UIReturnKeyType::default_, "return"}, {UIReturnKeyType::go, "Go"},
        {UIReturnKeyType::google, "Google"},   {UIReturnKeyType::join, "Join"},
        {UIReturnKeyType::next, "Next"},       {UIReturnKeyType::route, "Route"},
        {UIReturnKeyType::search, "Search"},   {UIReturnKeyType::send, "Send"},
        {UIReturnKeyType::yahoo, "Yahoo"},     {UIReturnKeyType::done, "Done"},
        {UIReturnKeyType::emergencyCall, "Emergency Call"}, {UIReturnKeyType::continue_, "Continue"},
    };
    auto it = titles.find(type);
    return it == titles.end() ? "return" : it->second;
}

} // namespace

Keyboard& Keyboard::shared() {
    static Keyboard k;
    return k;
}

Keyboard::Keyboard() {
    host_ = std::make_shared<KeyboardHostView>(CGRect(0, 0, 375, 667));
    host_->setBackgroundColor(std::nullopt);
    host_->setOpaque(false);
    host_->setHidden(true);
    keysBackdrop_ = std::make_shared<KeyboardKeysView>();
}

void Keyboard::setScreenSize(CGSize size) {
    if (size.width <= 0 || size.height <= 0) return;
    screenSize_ = size;
    host_->setFrame(CGRect(0, 0, size.width, size.height));
    accessoryHeight_ = measureAccessory();
    place();
}

CGFloat Keyboard::heightFor(CGSize screen) {
    // Portrait phone keyboards: the larger phones' is a little taller.
    return screen.width >= 414 ? 226 : 216;
}

CGFloat Keyboard::keysHeight() const {
    if (!keys_) return 0;
    const CGFloat h = input_ ? input_->frame().size.height : 0;
    return h > 0 ? h : heightFor(screenSize_);
}

CGRect Keyboard::frameFor(bool visible) const {
    const CGFloat h = keysHeight() + accessoryHeight_;
    const CGFloat y = visible ? screenSize_.height - h : screenSize_.height;
    return CGRect(0, y, screenSize_.width, h);
}

CGRect Keyboard::frame() const {
    return frameFor(visible_);
}

// A bar laid out by constraints is as tall as they make it at the screen's width; one placed by
// its frame keeps its frame's height.
CGFloat Keyboard::measureAccessory() const {
    if (!accessory_) return 0;
    if (accessory_->translatesAutoresizingMaskIntoConstraints())
        return std::max<CGFloat>(0, accessory_->frame().size.height);
    const CGSize fit = accessory_->systemLayoutSizeFitting({screenSize_.width, 0}, UILayoutPriorityRequired,
                                                           UILayoutPriorityFittingSizeLevel);
    return std::max<CGFloat>(0, fit.height);
}

void Keyboard::dock(const std::shared_ptr<UIView>& view, const CGRect& rect) {
    auto& held = dockConstraints_[view.get()];
    NSLayoutConstraint::deactivate(held);
    held.clear();
    view->setFrame(rect);
    if (view->translatesAutoresizingMaskIntoConstraints()) return;
    // A view laid out by constraints is placed by constraints too, or the layout pass would move
    // it away again. Its bottom stays where the keys begin and its own constraints decide its
    // height, so a bar that grows with its text grows upwards.
    held = {view->leadingAnchor().constraintEqualTo(host_->leadingAnchor(), rect.origin.x),
            view->widthAnchor().constraintEqualToConstant(rect.size.width),
            view->bottomAnchor().constraintEqualTo(host_->topAnchor(), rect.origin.y + rect.size.height)};
    if (view != accessory_) held.push_back(view->heightAnchor().constraintEqualToConstant(rect.size.height));
    NSLayoutConstraint::activate(held);
}

void Keyboard::undock(UIView* view) {
    if (!view) return;
    if (auto it = dockConstraints_.find(view); it != dockConstraints_.end()) {
        NSLayoutConstraint::deactivate(it->second);
        dockConstraints_.erase(it);
    }
    if (view->superviewPointer() == host_.get()) view->removeFromSuperview();
}

void Keyboard::place() {
    const CGRect f = frame();
    CGFloat y = f.origin.y;
    if (accessory_) {
        dock(accessory_, CGRect(0, y, screenSize_.width, accessoryHeight_));
        y += accessoryHeight_;
    }
    if (input_ && keys_) dock(input_, CGRect(0, y, screenSize_.width, keysHeight()));
    if (keys_ && !input_) {
        keysBackdrop_->setFrame(CGRect(0, y, screenSize_.width, keysHeight()));
        if (keysBackdrop_->superviewPointer() != host_.get()) host_->insertSubview(keysBackdrop_, 0);
    } else if (keysBackdrop_->superviewPointer()) {
        keysBackdrop_->removeFromSuperview();
    }
    host_->setHidden(!visible_ || (!accessory_ && !keys_));
}

void Keyboard::hostDidLayout() {
    if (!accessory_ || accessory_->translatesAutoresizingMaskIntoConstraints() ||
        accessory_->superviewPointer() != host_.get())
        return;
    const CGFloat h = accessory_->frame().size.height;
    if (std::abs(h - accessoryHeight_) < 0.5) return;
    const CGRect begin = frame();
    accessoryHeight_ = h;
    const CGRect end = frame();
    // Told on the next turn of the loop: observers must not change views in the middle of a pass.
    if (visible_) RunLoop::main().perform([this, begin, end] { postFrameChange(begin, end); });
}

std::map<std::string, std::any> Keyboard::userInfo(const CGRect& begin, const CGRect& end) const {
    return {{UIKeyboardFrameBeginUserInfoKey, begin},
            {UIKeyboardFrameEndUserInfoKey, end},
            {UIKeyboardAnimationDurationUserInfoKey, animationDuration},
            {UIKeyboardAnimationCurveUserInfoKey, animationCurve},
            {UIKeyboardIsLocalUserInfoKey, true}};
}

void Keyboard::post(bool showing, const CGRect& begin, const CGRect& end) {
    const auto info = userInfo(begin, end);
    auto& center = NotificationCenter::defaultCenter();
    center.post(UIKeyboardWillChangeFrameNotification, nullptr, info);
    center.post(showing ? UIKeyboardWillShowNotification : UIKeyboardWillHideNotification, nullptr, info);
    if (didTimer_) RunLoop::main().cancelTimer(didTimer_);
    didTimer_ = RunLoop::main().addTimer(Clock::uptime() + animationDuration, [this, showing, info] {
        didTimer_ = 0;
        auto& c = NotificationCenter::defaultCenter();
        c.post(UIKeyboardDidChangeFrameNotification, nullptr, info);
        c.post(showing ? UIKeyboardDidShowNotification : UIKeyboardDidHideNotification, nullptr, info);
    });
}

void Keyboard::postFrameChange(const CGRect& begin, const CGRect& end) {
    const auto info = userInfo(begin, end);
    auto& center = NotificationCenter::defaultCenter();
    center.post(UIKeyboardWillChangeFrameNotification, nullptr, info);
    center.post(UIKeyboardDidChangeFrameNotification, nullptr, info);
}

void Keyboard::show(const void* owner, std::shared_ptr<UIView> inputView,
                    std::shared_ptr<UIView> accessoryView, bool keys) {
    CGRect begin = frame();
    const bool hadKeys = areKeysShown();
    const bool wasVisible = visible_;
    owner_ = owner;
    for (auto* old : {accessory_.get(), input_.get()})
        if (old && old != inputView.get() && old != accessoryView.get()) undock(old);
    accessory_ = std::move(accessoryView);
    input_ = std::move(inputView);
    keys_ = keys;
    if (accessory_ && accessory_->translatesAutoresizingMaskIntoConstraints() &&
        accessory_->frame().size.height <= 0) {
        const CGSize s = accessory_->intrinsicContentSize();
        accessory_->setFrame(CGRect(0, 0, screenSize_.width, std::max<CGFloat>(0, s.height)));
    }
    if (accessory_) host_->addSubview(accessory_);
    if (input_) host_->addSubview(input_);
    accessoryHeight_ = measureAccessory();
    // Coming up, the keyboard starts just below the screen, as tall as it will be.
    if (!wasVisible) begin = frameFor(false);
    visible_ = true;
    place();
    // The window places the keyboard above the screen now edited.
    if (UIView* window = host_->superviewPointer()) window->setNeedsLayout();
    const CGRect end = frame();
    if (!wasVisible || !(begin == end)) post(keys_ || !hadKeys, begin, end);
}

void Keyboard::hide() {
    const CGRect begin = frame();
    const bool wasVisible = visible_;
    visible_ = false;
    const CGRect end = frame();
    // The views go with the keyboard: it keeps nothing of a screen that may be going away.
    undock(accessory_.get());
    undock(input_.get());
    accessory_.reset();
    input_.reset();
    accessoryHeight_ = 0;
    place();
    if (wasVisible) post(false, begin, end);
}

void Keyboard::inputDidBecomeFirstResponder(UIResponder* input, std::shared_ptr<UIView> inputView,
                                            std::shared_ptr<UIView> accessoryView) {
    // The keys drawn are the ones the input asks for.
    if (auto* traits = dynamic_cast<const UITextInputTraits*>(input)) {
        const auto type = traits->keyboardType;
        const bool pad = type == UIKeyboardType::numberPad || type == UIKeyboardType::phonePad ||
                         type == UIKeyboardType::decimalPad || type == UIKeyboardType::asciiCapableNumberPad;
        const KeysKind kind = pad                                              ? KeysKind::numberPad
                              : type == UIKeyboardType::emailAddress           ? KeysKind::email
                              : type == UIKeyboardType::numbersAndPunctuation ? KeysKind::numbersFirst
                                                                               : KeysKind::letters;
        // An e-mail address or a password is typed as it is: its letters are never shifted for it.
        const auto capitals = type == UIKeyboardType::emailAddress || traits->isSecureTextEntry
                                  ? UITextAutocapitalizationType::none
                                  : traits->autocapitalizationType;
        // The input reloading its views keeps the layer it was typing on.
        static_cast<KeyboardKeysView&>(*keysBackdrop_)
            .setKind(kind, capitals, returnKeyTitle(traits->returnKeyType), input != owner_ || !keys_);
    }
    // A text input inside a docked bar (the bar's own text view) has no accessory of its own: the
    // bar goes up with the keys.
    if (!accessoryView && dock_ && dock_->accessory)
        if (auto* view = dynamic_cast<UIView*>(input); view && view->isDescendant(dock_->accessory.get()))
            accessoryView = dock_->accessory;
    show(input, std::move(inputView), std::move(accessoryView), true);
}

void Keyboard::responderDidBecomeFirstResponder(UIResponder* responder, std::shared_ptr<UIView> inputView,
                                                std::shared_ptr<UIView> accessoryView,
                                                std::function<bool()> reclaim) {
    if (!inputView && !accessoryView) {
        if (dock_ && dock_->owner == responder) dock_.reset();
        owner_ = responder;
        hide();
        return;
    }
    dock_ = Dock{responder, inputView, accessoryView, std::move(reclaim)};
    const bool keys = inputView != nullptr;
    show(responder, std::move(inputView), std::move(accessoryView), keys);
}

void Keyboard::releaseDock(const UIResponder* responder) {
    if (dock_ && dock_->owner == responder) dock_.reset();
}

void Keyboard::inputDidResign(const void* input) {
    if (input != owner_) return;
    owner_ = nullptr;
    if (dock_ && dock_->owner == input) {
        // The docking responder itself lets go (not to a text input in its bar): the dock goes.
        if (focusChanging_ > 0) return;
        dock_.reset();
    }
    // Focus moving to another text input keeps the keyboard up.
    if (focusChanging_ > 0 || !visible_) return;
    // A screen that docks a bar takes the focus back: the keys go down and the bar stays.
    if (dock_ && dock_->reclaim) {
        auto reclaim = dock_->reclaim;
        if (reclaim() && owner_) return;
        dock_.reset();
    }
    hide();
}
void Keyboard::inputTextDidChange(const void* input) {
    if (input && input == owner_ && keys_ && !input_) static_cast<KeyboardKeysView&>(*keysBackdrop_).followText();
}

std::optional<CGRect> Keyboard::keyFrame(const std::string& label) const {
    if (!areKeysShown() || input_ || keysBackdrop_->superviewPointer() != host_.get()) return std::nullopt;
    for (const auto& k : static_cast<const KeyboardKeysView&>(*keysBackdrop_).keys())
        if (k.label == label) return keysBackdrop_->convert(k.frame, host_.get());
    return std::nullopt;
}

UIKeyInput* Keyboard::keysInput() {
    auto* responder = UIResponder::currentFirstResponder();
    // A field whose input is a view of its own (a wheel) shows that view in place of the keys:
    // nothing typed reaches it.
    if (!responder || responder->inputView()) return nullptr;
    return dynamic_cast<UIKeyInput*>(responder);
}

bool Keyboard::type(const std::string& text) {
    if (!keysInput()) return false;
    // The return key is a key of its own.
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t nl = text.find('\n', start);
        const std::string part = text.substr(start, nl == std::string::npos ? std::string::npos : nl - start);
        if (!part.empty()) {
            auto* input = keysInput();
            if (!input) return false;
            input->insertText(part);
        }
        if (nl == std::string::npos) break;
        if (!pressReturn()) return false;
        start = nl + 1;
    }
    return true;
}

bool Keyboard::deleteBackward(int times) {
    for (int i = 0; i < times; ++i) {
        auto* input = keysInput();
        if (!input) return false;
        input->deleteBackward();
    }
    return true;
}

bool Keyboard::pressReturn() {
    auto* input = keysInput();
    if (!input) return false;
    input->insertText("\n");
    return true;
}

void Keyboard::reset() {
    if (didTimer_) RunLoop::main().cancelTimer(didTimer_);
    didTimer_ = 0;
    visible_ = false;
    keys_ = false;
    dock_.reset();
    owner_ = nullptr;
    focusChanging_ = 0;
    undock(accessory_.get());
    undock(input_.get());
    dockConstraints_.clear();
    accessory_.reset();
    input_.reset();
    accessoryHeight_ = 0;
    place();
}

} // namespace cw
