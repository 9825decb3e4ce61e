#pragma once

// Scripts for the headless host: one step a line, run against a launched application the way a
// person would use it. Blank lines and lines starting with "#" are skipped. The steps:
//
//   tap "text"            tap what shows exactly this text (a label's whole text)
//   tap #identifier       tap the view with this accessibility identifier
//                         (a tap fails when another view lies over the middle of its target,
//                         or the target stands outside the view that holds it; the finger is
//                         held down about 90 ms across a drawn frame, as a click holds it)
//   type "text"           type into the focused field ("\n" presses return; \" \\ \t too);
//                         fails on a field whose input is a wheel (it shows no keys)
//   paste "text"          paste into the focused field, one edit of the whole text (as `type`,
//                         not into a field whose input is a wheel)
//   delete N              press backspace N times
//   back                  the navigation bar's back button
//   alert "title"         tap the button of the shown alert or action sheet with this title
//                         (as `tap` does: refused when the keyboard or a view lies over it)
//   drag x,y x,y [s]      a finger from one point of the screen to another (points), taking s
//                         seconds (a quick flick by default; a slow drag barely coasts)
//   wait seconds          let this much time pass on the application's clock
//   push {json}           a remote notification with this payload arrives
//   tap-push {json}       the person taps a notification with this payload
//   background            the application goes to the background
//   foreground            and comes back
//   touchid match|nomatch the finger the next Touch ID check reads
//   pick FILE             pick this picture in the shown photo picker (relative to the script)
//   turn "title"          turn the picker on screen (a wheel above the keyboard) to the row with
//                         this title: a finger drags the wheel a row at a time, and the wheel
//                         reports each row it rests on; fails when no row has the title or the
//                         finger cannot get the wheel there
//   turn-date yyyy-MM-dd  turn the date picker's wheels on screen to this day the same way; fails
//                         on a day past its bounds (the wheels spring back to the bound)
//   expect "text"         the screen shows this text, or the script fails
//   absent "text"         the settled screen does not show this text (checked at once)
//   screenshot NAME       write the screen to NAME.png in the screenshot directory, once the
//                         pictures on screen have arrived
//   draw                  draw the screen as the display would, keeping no picture
//
// Texts are in double quotes with the escapes \" \\ \n \t and \xHH (one byte, such as a pasted
// control character).
//
// The application's clock is the host's manual one, but a server answers in real time: `tap`,
// `alert` and `expect` wait (in real time, up to HeadlessScriptOptions::waitSeconds) for what they
// look for to show (a `tap`, for nothing to lie over it), and `screenshot` for the pictures on
// screen to arrive, turning the run loop meanwhile, so a step after a request finds its reply.
// `wait` moves the application's clock only (60 seconds of it pass at once).
//
// The whole script is read before anything runs, so a mistyped step never leaves the application
// half driven.

#include <filesystem>
#include <iosfwd>
#include <string>

namespace cw {

class HeadlessHost;

struct HeadlessScriptOptions {
    // Where `screenshot` steps write (created when missing).
    std::filesystem::path screenshotDirectory = ".";
    // Where relative `pick` files are found: the script's own directory.
    std::filesystem::path baseDirectory = ".";
    // The script's name in messages ("tour.txt:12: ...").
    std::string name = "script";
    // How long `tap`, `alert` and `expect` wait for their target, in real seconds.
    double waitSeconds = 10;
};

// The script's exit statuses.
inline constexpr int kScriptSucceeded = 0;
inline constexpr int kScriptStepFailed = 1; // a step could not be done or an expect did not hold
inline constexpr int kScriptInvalid = 2;    // a line that is no step; nothing has run

// Runs every step in order and stops at the first that fails. Messages (one line each, naming the
// script and the line) go to `errors`. Returns one of the statuses above.
int runHeadlessScript(HeadlessHost& host, std::istream& script, const HeadlessScriptOptions& options,
                      std::ostream& errors);
// Runs steps as they arrive, one a line, for a driver in another process: after each line that is
// a step (blank lines and comments get no answer) one line goes to `replies` and is flushed:
// "step N ok", "step N failed: why" or "step N invalid: why" (N the line's number; the why on one
// line). A failed or invalid step does not end the run; the input's end does. While it waits for
// the next line the run loop turns (work from other threads, such as replies, is done; the
// application's clock stands still). Returns the status of
// the worst line (kScriptInvalid over kScriptStepFailed).
int runHeadlessSteps(HeadlessHost& host, std::istream& steps, std::ostream& replies,
                     const HeadlessScriptOptions& options);
// Turns the run loop (in real time, up to `seconds`) until no image view on screen waits for its
// picture, so that a screenshot shows the pictures rather than blanks where they go. False with
// `why` naming the pictures still on their way when the time ran out.
bool waitForPictures(HeadlessHost& host, double seconds, std::string& why);
// Turns the run loop (in real time, up to `seconds`) until the screen has settled: no activity
// indicator on it turns, no request of the process is on its way, and no image view on screen
// waits for its picture. False with `why` naming what it still waited for when the time ran out.
bool waitForSettledScreen(HeadlessHost& host, double seconds, std::string& why);
// The same for a file; a file that cannot be read is kScriptInvalid. Relative `pick` files are
// found beside it.
int runHeadlessScriptFile(HeadlessHost& host, const std::filesystem::path& file,
                          const std::filesystem::path& screenshotDirectory, std::ostream& errors);

} // namespace cw
