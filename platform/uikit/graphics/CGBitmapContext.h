#pragma once

// The pixels behind a bitmap context (an image context), for code that works on them directly:
// premultiplied 32-bit ARGB in native byte order (blue, green, red, alpha in memory on this
// machine), `CGBitmapContextGetBytesPerRow` bytes per row. Asking for the data first finishes the
// context's pending drawing; what is written there afterwards is what the context holds, for its
// image and for drawing through it. A context that is not a bitmap has no data (null, 0).

#include "uikit/graphics/UIGraphics.h"

#include <cstddef>

void* CGBitmapContextGetData(CGContext* context);
std::size_t CGBitmapContextGetWidth(CGContext* context);
std::size_t CGBitmapContextGetHeight(CGContext* context);
std::size_t CGBitmapContextGetBytesPerRow(CGContext* context);
