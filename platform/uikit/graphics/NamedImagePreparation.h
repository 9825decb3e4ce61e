#pragma once

// Reading and decoding a picture shipped with the application costs a few milliseconds the first
// time it is asked for by name, which on the main thread holds up the frame that first shows it.
// A screen that knows which of them it is about to show has them decoded ahead, on a background
// queue, into the store `UIImage::named` serves from; `named` then finds them decoded (or, asked
// before that is done, decodes as it always does).

#include <functional>
#include <string>
#include <vector>

namespace cw {

// Decodes the named pictures (each name once, as `UIImage::named` finds them) on a global queue,
// then runs `done` (when given) on the main queue. Names that find no picture are passed over.
void prepareNamedImages(std::vector<std::string> names, std::function<void()> done = {});

} // namespace cw
