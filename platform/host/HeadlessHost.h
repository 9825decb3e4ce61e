#pragma once

// The headless host: runs an application delegate on the main run loop with a manual clock, and
// a driver that tests and scripts use the way a person uses the phone: find what the screen shows
// (by accessibility identifier or visible text), tap it, type, scroll, drag, answer alerts and the
// system's sheets, go back, let time pass, receive pushes, go to the background and come back,
// and take a screenshot of the window. Every action ends with the run loop settled: queued work
// done and short animations and transitions finished.

#include "foundation/time/Date.h"
#include "uikit/controllers/MFMailComposeViewController.h"
#include "uikit/controllers/UIActivityViewController.h"
#include "uikit/controllers/UIApplication.h"
#include "uikit/controllers/UIWindow.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class ManualClock;
class UIImageView;

namespace cw {

class PickerWheel;

class TouchDelivery;

class HeadlessHost {
public:
    // Sets the screen's size and installs a manual clock (the host owns the only one).
    explicit HeadlessHost(CGSize screen = {375, 667}, CGFloat scale = 2);
    ~HeadlessHost();
    HeadlessHost(const HeadlessHost&) = delete;
    HeadlessHost& operator=(const HeadlessHost&) = delete;

    // didFinishLaunching, then becoming active, then the run loop settles. The delegate's result.
    bool launch(const std::shared_ptr<UIApplicationDelegate>& delegate);

    std::shared_ptr<UIWindow> window() const;
    // The controller whose screen is on top (the topmost presented one, else the window's root).
    UIViewControllerPtr topViewController() const;

    // --- Finding ---
    std::shared_ptr<UIView> findByIdentifier(const std::string& identifier) const;
    // The topmost visible view showing exactly `text` (labels, buttons' titles, text fields).
    std::shared_ptr<UIView> findByText(const std::string& text) const;
    bool isShowing(const std::string& text) const { return findByText(text) != nullptr; }
    // Every visible text, topmost first.
    std::vector<std::string> visibleTexts() const;
    // The view a finger at `pointInWindow` would touch (the window's hit test), none off the window.
    // It takes the screen as it stands, without a layout pass: the views a find just returned are
    // the views it tests (a pass may replace some).
    std::shared_ptr<UIView> viewUnderFinger(CGPoint pointInWindow) const;
    // Why a finger at the middle of `view` would not reach it: none when the view takes the touch,
    // or one inside it, or one that holds it with the point inside each view between them (a
    // button's title hands its touches to the button). Else what lies over it (a bar, an alert,
    // the keyboard), or the view that holds it and that it stands outside of, so the touch goes
    // past it (a floating menu item's title, left of the item, is on the menu's overlay).
    std::optional<std::string> coverOf(const UIView& view) const;
    // The middle of `view` where it is drawn (an animation may still move it), where a tap on it
    // lands, in the window's coordinates.
    CGPoint tapPointOf(const UIView& view) const;
    // The image views on screen that wait for their picture (a download, a photo-library request).
    std::vector<std::shared_ptr<UIImageView>> picturesLoading() const;
    // The activity indicators on screen that are turning (a screen still loading).
    std::vector<std::shared_ptr<UIView>> indicatorsTurning() const;

    // --- Acting (each returns false when there was nothing to act on) ---
    // A tap is a finger held down as a click holds the button, about 90 ms of the clock, across a
    // frame the display draws (the press's highlight is laid out and drawn), then lifted. A view
    // under the keyboard is not tapped (false): the finger would type a key there instead.
    bool tap(const std::shared_ptr<UIView>& view);
    bool tapText(const std::string& text) { return tap(findByText(text)); }
    bool tapIdentifier(const std::string& identifier) { return tap(findByIdentifier(identifier)); }
    bool tapPoint(CGPoint pointInWindow);
    // A quick double click on the middle of `view`: two short presses whose starts lie `interval`
    // seconds of the clock apart, the run loop turning between them as it does between two clicks,
    // but not settled (what the first set off is still fading in or on its way). Then it settles.
    bool doubleTap(const std::shared_ptr<UIView>& view, double interval = 0.12);
    // Taps the link whose text is `text` (blanks around it aside) in a visible label, such as a
    // web page's paragraph: the middle of the first line of it that is on screen.
    bool tapLink(const std::string& text);
    // Types into the first responder ("\n" presses return).
    bool type(const std::string& text);
    // Pastes `text` into the first responder as one edit of all its characters, as the edit menu's
    // Paste does (a line end in it is text, not the return key). False when nothing takes text or
    // the text is empty.
    bool paste(const std::string& text);
    bool deleteBackward(int times = 1);
    // A finger drags the nearest scroll view at or above `view` by `translation` (content follows
    // the finger): it lands where that scroll view shows on screen, uncovered and off its controls
    // and inner scroll views, and rests before it lifts, so nothing coasts on; a translation longer
    // than the screen allows is dragged in several strokes. False when no such point is there.
    bool scroll(const std::shared_ptr<UIView>& view, CGPoint translation);
    // A finger from one point of the window to another, in `steps` moves.
    bool drag(CGPoint from, CGPoint to, int steps = 10);
    // The same finger kept down where it arrives: what it dragged stays where it holds it (a list
    // pulled past its top stays pulled) until liftFinger() lets go, resting first so that nothing
    // coasts on.
    bool dragAndHold(CGPoint from, CGPoint to, int steps = 10);
    bool liftFinger();
    // The mouse wheel turned by `notches` with the pointer at `pointInWindow` (positive: rolled
    // away, bringing what is above into view): the innermost scroll view under it scrolls, or the
    // picker wheel under it turns a row a notch. False when nothing there scrolls.
    bool scrollWheel(CGPoint pointInWindow, CGFloat notches);
    // The button of the shown alert or action sheet whose title is `title`, when its action is
    // enabled and the button is on screen.
    std::shared_ptr<UIView> alertButton(const std::string& title) const;
    // Taps that button as a finger does (where it lands is what the finger meets); false when
    // there is none or the alert is still shown after the tap.
    bool pickAlertAction(const std::string& title);
    // Taps the back button of the navigation bar on top.
    bool goBack();
    // Taps the screen beside the popover on top, as a person closes it; false when no popover is
    // shown. (Toolbar and navigation bar items are tapped by their titles with tapText.)
    bool tapOutsidePopover();

    // --- Pickers, turned by a finger ---
    // The topmost visible wheel picker (an input view above the keyboard, or one on the screen)
    // turned to the row whose title is exactly `title`, in `component`, by a finger that drags the
    // wheel a row at a time; where the wheel comes to rest the picker selects the row and tells its
    // delegate. False when no picker is visible, no row of that wheel has that title, or the finger
    // cannot get the wheel there (something lies over it).
    bool turnPicker(const std::string& title, long component = 0);
    // The same by row number; false when the wheel has no such row.
    bool turnPickerToRow(long row, long component = 0);
    // The topmost visible date picker's wheels turned by a finger, each a row at a time, until
    // they show `date`'s fields. A wheel taken past the minimum or maximum date springs back to
    // it (reporting the bound, value-changed, as the platform does): such a date cannot be reached
    // and the turn is false. False too when no date picker is visible or it is disabled.
    bool turnDatePicker(const Date& date);

    // --- The system's sheets ---
    bool pickImage(const std::filesystem::path& file, std::string* error = nullptr);
    bool cancelImagePicker();
    // A share target (none = Cancel).
    bool chooseShareTarget(const std::optional<UIActivityType>& type);
    bool finishMail(MFMailComposeResult result);
    // The movie player on screen (presented, or on top of a navigation stack) plays its video to the
    // end at once: the player reports the end as it would have (and, when presented for playback,
    // closes). False when no movie player is on screen, or its video has already finished.
    bool finishPlayback();

    // --- Time, pushes, life cycle, Touch ID ---
    // The application's clock starts at a fixed moment (13 September 2020, 12:26:40 UTC), so that
    // what a test sees does not depend on the day it runs. This sets the date and time the
    // application reads (Date::now()) to `date`, for hosts that talk to a server living in real time
    // (the demo server dates everything from its own today); timers keep their course.
    void setDate(const Date& date);
    // Moves the clock by exactly `seconds`, firing every timer that falls due on the way in order.
    void advance(double seconds);
    // Runs queued work and lets short waits (transitions, decelerations, animations) run out,
    // moving the clock by at most two seconds.
    void settle();
    // A push arriving: the background handler runs in the present state; in front, the
    // notification centre's delegate also decides how it shows. Returns the result the handler
    // completed with, if it did.
    std::optional<UIBackgroundFetchResult> deliverPush(const NotificationUserInfo& payload);
    // The person taps a delivered push: the application comes to the front (if it was not) and
    // hears of the tap.
    void tapPush(const NotificationUserInfo& payload);
    void enterBackground();
    void enterForeground();
    // The device's Touch ID sensor, reading a finger that matches or not (or no sensor); a check
    // waiting at the Touch ID prompt (where one is installed) takes the finger.
    void setTouchID(bool available, bool matches = true);

    // --- Pictures ---
    bool screenshot(const std::filesystem::path& path, std::string* error = nullptr);
    // Settles and draws the window once, as the display would show it, keeping no picture. False
    // when there is no window.
    bool drawFrame();
    CGFloat scale() const { return scale_; }

private:
    struct WheelTarget;
    template <class T> std::shared_ptr<T> presented() const;
    // Whether the keyboard lies over the middle of `view`, which is none of its own.
    bool keyboardCovers(const UIView& view) const;
    bool moveFinger(CGPoint from, CGPoint to, int steps, bool restBeforeLifting);
    // A finger put down at `from` and moved to `to` in `steps` moves, left down there.
    bool pressAndMove(CGPoint from, CGPoint to, int steps);
    bool turnWheels(const std::vector<WheelTarget>& targets);
    // The topmost view of type T that is visible on screen.
    template <class T> std::shared_ptr<T> topmostVisible() const;
    void layout() const;

    std::unique_ptr<ManualClock> clock_;
    std::unique_ptr<TouchDelivery> touches_;
    // Where the finger that dragAndHold left down stands.
    std::optional<CGPoint> held_;
    CGFloat scale_;
    int pushCount_ = 0;
};

// The plainest application to launch in a host: a window over the screen whose root controller
// shows a white screen, for tests and pictures that put their own views or controllers on it.
class WhiteScreenApplication : public UIApplicationDelegate {
public:
    bool didFinishLaunchingWithOptions(UIApplication& application, const LaunchOptions& options) override;
    std::shared_ptr<UIWindow> window() const override { return window_; }
    // The white screen (made at launch).
    UIViewControllerPtr root;

private:
    std::shared_ptr<UIWindow> window_;
};

// Whether a view and all its ancestors are shown (not hidden, not transparent) and it lies at
// least partly inside the window.
bool isVisibleOnScreen(const UIView& view);
// The text a view shows, if it shows one of its own.
std::optional<std::string> visibleTextOf(const UIView& view);
// A view as a message names it: its type, its identifier, and the first text in it (an alert's
// title, a bar's title).
std::string describeView(const UIView& view);

} // namespace cw
