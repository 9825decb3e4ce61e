#pragma once

// `updateImageWith:`: the picture a text names, shown in an image view.

#include "uikit/view/UIImageView.h"

#include <string>

// The text is tested in order, each a case-sensitive search anywhere in it:
// - "images/upload", else "static-files/images": a picture on the server. The text is
//   percent-encoded for a query (so an already encoded text is encoded again) and resolved against
//   SERVER_URL (a full address stays itself), then downloaded through the shared image loader. When
//   no address can be made, the view is cleared.
// - "assets-library": a picture the member picked from the photo library, by its library address
//   (not encoded). A small picture arrives first, then one of at least 200 by 200 pixels (aspect
//   fill); each is shown. An address that names no picture leaves the view as it is.
// - anything else: nothing happens.
// Returns at once; pictures arrive later on the main thread. A picture or server text also drops the
// view's earlier request, so its picture can no longer arrive (a reused cell shows its own row's
// picture), and a picture set on the view meanwhile by other code is never replaced. Main thread.
void updateImageWith(UIImageView& imageView, const std::string& text);
