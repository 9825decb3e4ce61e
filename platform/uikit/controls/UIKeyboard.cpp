#include "uikit/controls/UIKeyboard.h"

#include "foundation/dispatch/RunLoop.h"
#include "foundation/time/Clock.h"
#include "uikit/view/UIResponder.h"

#include <algorithm>

namespace cw::detail {

std::size_t utf16Length(const std::string& text) {
    return utf8ToUTF16(text).size();
}

std::string replacingUTF16(const std::string& text, NSRange range, const std::string& replacement) {
    std::u16string t = utf8ToUTF16(text);
    const std::size_t loc = std::min(range.location, t.size());
    const std::size_t len = std::min(range.length, t.size() - loc);
    t.replace(loc, len, utf8ToUTF16(replacement));
    return utf16ToUTF8(t);
}

NSRange lastCharacterRange(const std::string& text) {
    const std::u32string points = utf8ToUTF32(text);
    if (points.empty()) return {0, 0};
    const std::size_t length = points.back() > 0xFFFF ? 2 : 1;
    return {utf16Length(text) - length, length};
}

} // namespace cw::detail

namespace cw {

Keyboard& Keyboard::shared() {
    static Keyboard k;
    return k;
}

Keyboard::Keyboard() {
    host_ = std::make_shared<UIView>(CGRect(0, 0, 375, 667));
    host_->setBackgroundColor(std::nullopt);
    host_->setOpaque(false);
    host_->setHidden(true);
}

void Keyboard::setScreenSize(CGSize size) {
    if (size.width <= 0 || size.height <= 0) return;
    screenSize_ = size;
    host_->setFrame(CGRect(0, 0, size.width, size.height));
    place();
}

CGFloat Keyboard::heightFor(CGSize screen) {
    // Portrait phone keyboards: the larger phones' is a little taller.
    return screen.width >= 414 ? 226 : 216;
}

CGRect Keyboard::frameFor(bool visible) const {
    CGFloat h = input_ ? input_->frame().size.height : heightFor(screenSize_);
    if (input_ && h <= 0) h = heightFor(screenSize_);
    if (accessory_) h += std::max<CGFloat>(0, accessory_->frame().size.height);
    const CGFloat y = visible ? screenSize_.height - h : screenSize_.height;
    return CGRect(0, y, screenSize_.width, h);
}

CGRect Keyboard::frame() const {
    return frameFor(visible_);
}

void Keyboard::dock(const std::shared_ptr<UIView>& view, const CGRect& rect) {
    view->setFrame(rect);
    auto& held = dockConstraints_[view.get()];
    NSLayoutConstraint::deactivate(held);
    held.clear();
    // A view laid out by constraints (an accessory that pins its content inside it) is placed by
    // constraints too, or the layout pass would move it away again.
    if (view->translatesAutoresizingMaskIntoConstraints()) return;
    held = {view->leadingAnchor().constraintEqualTo(host_->leadingAnchor(), rect.origin.x),
            view->widthAnchor().constraintEqualToConstant(rect.size.width),
            view->topAnchor().constraintEqualTo(host_->topAnchor(), rect.origin.y),
            view->heightAnchor().constraintEqualToConstant(rect.size.height)};
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
        const CGFloat h = accessory_->frame().size.height;
        dock(accessory_, CGRect(0, y, screenSize_.width, h));
        y += h;
    }
    if (input_) {
        const CGFloat h =
            input_->frame().size.height > 0 ? input_->frame().size.height : heightFor(screenSize_);
        dock(input_, CGRect(0, y, screenSize_.width, h));
    }
    host_->setHidden(!visible_ || (!accessory_ && !input_));
}

void Keyboard::post(bool showing, const CGRect& begin, const CGRect& end) {
    std::map<std::string, std::any> info{{UIKeyboardFrameBeginUserInfoKey, begin},
                                         {UIKeyboardFrameEndUserInfoKey, end},
                                         {UIKeyboardAnimationDurationUserInfoKey, animationDuration},
                                         {UIKeyboardAnimationCurveUserInfoKey, animationCurve},
                                         {UIKeyboardIsLocalUserInfoKey, true}};
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

void Keyboard::inputDidBecomeFirstResponder(const void* input, std::shared_ptr<UIView> inputView,
                                            std::shared_ptr<UIView> accessoryView) {
    const CGRect begin = frame();
    owner_ = input;
    for (auto* old : {accessory_.get(), input_.get()})
        if (old && old != inputView.get() && old != accessoryView.get()) undock(old);
    accessory_ = std::move(accessoryView);
    input_ = std::move(inputView);
    if (accessory_ && accessory_->frame().size.height <= 0) {
        const CGSize s = accessory_->intrinsicContentSize();
        accessory_->setFrame(CGRect(0, 0, screenSize_.width, std::max<CGFloat>(0, s.height)));
    }
    if (accessory_) host_->addSubview(accessory_);
    if (input_) host_->addSubview(input_);
    const bool wasVisible = visible_;
    visible_ = true;
    place();
    const CGRect end = frame();
    if (!wasVisible || !(begin == end)) post(true, begin, end);
}

void Keyboard::inputDidResign(const void* input) {
    if (input != owner_) return;
    owner_ = nullptr;
    // Focus moving to another text input keeps the keyboard up.
    if (focusChanging_ > 0 || !visible_) return;
    const CGRect begin = frame();
    visible_ = false;
    const CGRect end = frame();
    place();
    post(false, begin, end);
}

bool Keyboard::type(const std::string& text) {
    auto* input = dynamic_cast<UIKeyInput*>(UIResponder::currentFirstResponder());
    if (!input) return false;
    // The return key is a key of its own.
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t nl = text.find('\n', start);
        const std::string part = text.substr(start, nl == std::string::npos ? std::string::npos : nl - start);
        if (!part.empty()) {
            input = dynamic_cast<UIKeyInput*>(UIResponder::currentFirstResponder());
            if (!input) return false;
            input->insertText(part);
        }
        if (nl == std::string::npos) break;
        pressReturn();
        start = nl + 1;
    }
    return true;
}

bool Keyboard::deleteBackward(int times) {
    for (int i = 0; i < times; ++i) {
        auto* input = dynamic_cast<UIKeyInput*>(UIResponder::currentFirstResponder());
        if (!input) return false;
        input->deleteBackward();
    }
    return true;
}

bool Keyboard::pressReturn() {
    auto* input = dynamic_cast<UIKeyInput*>(UIResponder::currentFirstResponder());
    if (!input) return false;
    input->insertText("\n");
    return true;
}

void Keyboard::reset() {
    if (didTimer_) RunLoop::main().cancelTimer(didTimer_);
    didTimer_ = 0;
    visible_ = false;
    owner_ = nullptr;
    focusChanging_ = 0;
    undock(accessory_.get());
    undock(input_.get());
    dockConstraints_.clear();
    accessory_.reset();
    input_.reset();
    place();
}

} // namespace cw
