#pragma once

// How the short signed-out forms keep their fields clear of the keyboard: on a screen less than 667
// points high, the screen's whole view moves up by a fixed distance while the keyboard is up, and
// back down when it goes. One object per screen, made when its view has loaded.
//
// A screen that needs the room only for some of its fields gives a condition (the sign-in screen:
// only while the password is edited) and calls update() when the field being edited changes: the
// keyboard stays up as the focus moves between fields and says nothing then.
//
// The view moves from where its container put it and comes back exactly there, never "another 42
// points up" for a repeated notification; over 0.36 s: up without options, back down with user
// interaction allowed. Main thread only.

#include "uikit/controllers/UIViewController.h"

#include <functional>
#include <memory>

class KeyboardShift : public std::enable_shared_from_this<KeyboardShift> {
public:
    static constexpr double kDuration = 0.36;
    // Screens this high or higher have room enough and never move.
    static constexpr CGFloat kRoomyScreenHeight = 667;

    // Observes the keyboard for `controller` (held weakly) from now on.
    static std::shared_ptr<KeyboardShift> observe(UIViewController& controller, CGFloat distance,
                                                  std::function<bool()> applies = {});
    ~KeyboardShift();

    // Moves the view to where it belongs now: up while the keyboard is up and the condition holds.
    void update();

    KeyboardShift(UIViewController& controller, CGFloat distance, std::function<bool()> applies);

private:
    void keyboardWillShow();
    void keyboardWillHide();

    std::weak_ptr<UIViewController> controller_;
    CGFloat distance_;
    std::function<bool()> applies_;
    bool keyboardUp_ = false;
    bool shifted_ = false;
    CGFloat resting_ = 0;
};
