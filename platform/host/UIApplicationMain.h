#pragma once

// The executable's entry into the application loop: makes the delegate and runs it in the window
// host, or with --headless in the headless host (which settles, optionally writes a screenshot,
// and returns). Options:
//   --headless             no window
//   --screenshot FILE      write a PNG of the screen once the application has settled, then quit
//   --picture FILE         the picture the window host's "pick a picture" key hands over (to the
//                          photo library or the camera, which the device then has)
//   --size WIDTHxHEIGHT    the screen in points (375x667 by default)
//   --seconds N            quit after N seconds (window host)

#include "uikit/controllers/UIApplication.h"

#include <functional>
#include <memory>

int UIApplicationMain(int argc, char** argv,
                      const std::function<std::shared_ptr<UIApplicationDelegate>()>& makeDelegate);
