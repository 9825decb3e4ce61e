#pragma once

// The executable's entry into the application loop: makes the delegate and runs it in the window
// host, or with --headless in the headless host (which settles, optionally runs a script and writes
// a screenshot, and returns). Options:
//   --headless             no window
//   --script FILE          (headless) run the steps of this script (host/HeadlessScript.h); the exit
//                          status is the script's
//   --screenshots DIR      (headless) where the script's screenshot steps write (default: .)
//   --screenshot FILE      write a PNG of the screen once the application has settled, then quit
//   --picture FILE         the picture the window host's "pick a picture" key hands over (to the
//                          photo library or the camera, which the device then has)
//   --photos DIR           the folder the photo library shows (default: in the window the
//                          desktop's pictures folder, else the host's demo set; headless the demo set)
//   --size WIDTHxHEIGHT    the screen in points (375x667 by default)
//   --seconds N            quit after N seconds (window host)
//   --touch-id match|nomatch  the device has a Touch ID sensor from the start, reading a finger
//                          that matches or not

#include "host/WindowHost.h"
#include "uikit/controllers/UIApplication.h"

#include <functional>
#include <memory>

int UIApplicationMain(int argc, char** argv,
                      const std::function<std::shared_ptr<UIApplicationDelegate>()>& makeDelegate);
// The same, with the window host's options to start from (the push keys' payload, for one); the
// command line's options are set over them.
int UIApplicationMain(int argc, char** argv,
                      const std::function<std::shared_ptr<UIApplicationDelegate>()>& makeDelegate,
                      cw::WindowHostOptions windowOptions);

namespace cw {

// Blocks of many megabytes (a reply's body, its words, the reader's buffers) are taken from the
// system one by one and handed back the moment they are freed, as a phone's allocator does. The C library's own
// rule raises that size to the largest block freed so far, after which such blocks come from the
// heap and stay resident once freed: a few replies of tens of megabytes then keep hundreds.
// `UIApplicationMain` sets it first thing.
void returnLargeBlocksToTheSystem();

} // namespace cw
