#pragma once

// Pictures of view trees: what the screen would show, drawn with Cairo. Every screen's
// screenshot comes from here.

#include "uikit/graphics/UIImage.h"
#include "uikit/view/UIView.h"

#include <filesystem>
#include <memory>
#include <string>

namespace cw {

// Lays the tree out if it needs it and draws `view` with its subviews at `scale` pixels per point.
std::shared_ptr<UIImage> renderView(UIView& view, CGFloat scale = 2);
// The same, written to a PNG file; false (and why, in `error`) when it cannot be written.
bool writeViewPNG(UIView& view, const std::filesystem::path& path, CGFloat scale = 2,
                  std::string* error = nullptr);

} // namespace cw
