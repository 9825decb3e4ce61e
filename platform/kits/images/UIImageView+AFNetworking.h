#pragma once

// AFNetworking's image-view calls, on the shared image loader.
//
// `setImageWithURL` shows the picture at the address: at once when it is in the memory cache,
// otherwise once it has been read from the disk cache or downloaded (on the main thread). Until then
// the view keeps what it shows. The view's earlier request is dropped (its picture never arrives, its
// download is cancelled when nobody else waits for it), and so is this one when the view is given a
// picture by other code, a later request, or `cancelImageDownloadTask`. A failed download leaves the
// view as it is (the loader prints why). One that failed on its way (timed out, connection lost, the
// server out of reach) is asked for again while the view still waits for it: after
// kFirstPictureRetryPause, then after pauses twice as long each time, up to
// kLongestPictureRetryPause. Main thread only.

#include "foundation/url/URL.h"
#include "uikit/view/UIImageView.h"

inline constexpr double kFirstPictureRetryPause = 2;
inline constexpr double kLongestPictureRetryPause = 60;

void setImageWithURL(UIImageView& imageView, const URL& url);
void cancelImageDownloadTask(UIImageView& imageView);
