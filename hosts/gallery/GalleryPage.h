#pragma once

// The toolkit gallery: pictures of the shared visual pieces, written under docs/toolkit/ by
// scripts/screenshots. Each page lives in a file of its own and registers itself; it runs inside
// one headless host whose window shows a plain white screen, so a page can put views or
// controllers on screen, let the clock run and take screenshots.

#include "host/HeadlessHost.h"

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace cw::gallery {

struct Context {
    HeadlessHost& host;
    // Where the page writes its PNG files (one or more, named after what they show).
    std::filesystem::path outputDirectory;
    // The window's root controller: a white screen the page may fill, present on or push onto.
    UIViewControllerPtr root;
};

// Draws the page's pictures; false, with the reason in `error`, when one cannot be drawn.
using DrawPage = std::function<bool(Context& context, std::string* error)>;

struct Page {
    std::string name;
    DrawPage draw;
};

// Every page registered so far, in registration order.
const std::vector<Page>& pages();

// A page registers itself with a static object in its own file:
//   static cw::gallery::Registration buttons{"buttons", drawButtons};
struct Registration {
    Registration(std::string name, DrawPage draw);
};

// Writes a view on its own (laid out at its current size) as a PNG, at the host's scale.
bool writeView(Context& context, UIView& view, const std::string& fileName, std::string* error);

} // namespace cw::gallery
