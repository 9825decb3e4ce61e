#include "Controllers/SignIn/Shared/SignInKeyboardShift.h"

#include "foundation/dispatch/NotificationCenter.h"
#include "uikit/controllers/UIScreen.h"
#include "uikit/controls/UIKeyboard.h"

KeyboardShift::KeyboardShift(UIViewController& controller, CGFloat distance, std::function<bool()> applies)
    : controller_(controller.weak_from_this()), distance_(distance), applies_(std::move(applies)) {}

KeyboardShift::~KeyboardShift() {
    NotificationCenter::defaultCenter().removeObserver(this);
}

std::shared_ptr<KeyboardShift> KeyboardShift::observe(UIViewController& controller, CGFloat distance,
                                                      std::function<bool()> applies) {
    auto shift = std::make_shared<KeyboardShift>(controller, distance, std::move(applies));
    std::weak_ptr<KeyboardShift> weak = shift;
    auto& center = NotificationCenter::defaultCenter();
    center.addObserver(shift, UIKeyboardWillShowNotification, [weak](const Notification&) {
        if (auto self = weak.lock()) self->keyboardWillShow();
    });
    center.addObserver(shift, UIKeyboardWillHideNotification, [weak](const Notification&) {
        if (auto self = weak.lock()) self->keyboardWillHide();
    });
    return shift;
}

void KeyboardShift::keyboardWillShow() {
    keyboardUp_ = true;
    update();
}

void KeyboardShift::keyboardWillHide() {
    keyboardUp_ = false;
    update();
}

void KeyboardShift::update() {
    if (UIScreen::main().bounds().size.height >= kRoomyScreenHeight) return;
    auto controller = controller_.lock();
    if (!controller || !controller->isViewLoaded()) return;
    auto view = controller->view();
    CGRect frame = view->frame();
    const bool up = keyboardUp_ && (!applies_ || applies_());
    if (up == shifted_) return;
    // The view rests where its container put it (below an opaque bar, for instance); it moves up
    // from there and comes back to it.
    if (up) {
        resting_ = frame.origin.y;
        frame.origin.y = resting_ - distance_;
    } else {
        frame.origin.y = resting_;
    }
    shifted_ = up;
    UIView::animate(kDuration, 0, up ? 0 : UIViewAnimationOptionAllowUserInteraction,
                    [view, frame] { view->setFrame(frame); });
}
