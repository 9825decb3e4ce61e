#pragma once

// Solid-colour images, drawn at the main screen's scale on a transparent background. Both give
// none when no image context can be made (a size without area).

#include "uikit/graphics/UIColor.h"
#include "uikit/graphics/UIImage.h"

#include <memory>

// `UIImage.withColor(_:size:cornerRadius:)`: the colour as a rounded rectangle over the whole size.
// A radius of 0 or less gives square corners.
std::shared_ptr<UIImage> UIImageWithColor(const UIColor& color, CGSize size, CGFloat cornerRadius);

// The whole size filled with the colour.
std::shared_ptr<UIImage> makeImageWithColorAndSize(const UIColor& color, CGSize size);
