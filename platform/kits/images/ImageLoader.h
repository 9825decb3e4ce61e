#pragma once

// Pictures by address, for image views and anyone else who wants one.
//
// A request looks in the memory cache, then in the disk cache, then downloads. Whatever number of
// requests wait for one address, it is read from disk and downloaded once. Files and downloads are
// read and decoded off the main thread; callbacks run on the main thread.
//
// Contract: call from the main thread. A picture found in the memory cache is delivered inside
// `retrieve` itself; anything else later, on the main queue. Each request ends with exactly one call
// of its completion, unless it is cancelled first: a cancelled request never calls back, and once
// no request waits for an address any more its download is cancelled.
//
// A failure (no connection, an HTTP status outside 200–299, a reply that is not a PNG or JPEG, holds
// more than 20 MB — once inflated, for a compressed reply — or declares more than 50 megapixels)
// caches nothing, is printed on standard error once per download, and reaches the completion as an
// NSURLErrorDomain error. A disk-cache file that no longer decodes is removed and the picture
// downloaded again.
//
// Memory: a picture is decoded no larger than the screen (Configuration::maxPixelSide), keeping the
// size in points it would have at full size, and the memory cache counts the bytes each picture
// holds, the copies drawing keeps with it included, against its limit. A decoding holds memory of
// its own while it runs (up to the decoder's limit): a few run at once (Configuration::
// decodingPlaces) and the others wait their turn, in the order their bytes came (DecodingTurns.h:
// one that takes longer than its turn lets the others by).
//
// Time: a decoding stops as soon as no request waits for its picture, and fails once it has taken
// Configuration::maxDecodingSeconds of a core (a JPEG of more scans than a camera writes is refused
// as it reaches them). A download fails with NSURLErrorTimedOut once nothing has come for the API's
// time-out (AFJSONRequestSerializer::defaultTimeoutInterval()), or once its reply has come slower
// than Configuration::leastPace for as long as it says: a reply that stops halfway frees its picture
// for another request, and one that keeps coming faster arrives however long it takes. Downloads
// have a low priority: they never hold every connection to their server.

#include "foundation/json/NSError.h"
#include "foundation/url/URL.h"
#include "kits/images/ImageCache.h"
#include "net/NSURLSessionDataTask.h"
#include "uikit/graphics/UIImage.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

namespace cw::images {

// Where a delivered picture came from.
enum class ImageCacheType { none, memory, disk };

class ImageLoader {
public:
    struct Configuration {
        // The disk cache's directory.
        std::filesystem::path directory;
        std::size_t memoryCostLimit = 64u * 1024u * 1024u;
        std::uint64_t diskSizeLimit = 128u * 1024u * 1024u;
        // The most pixels a picture keeps on its longer side; a larger one is reduced as it is
        // decoded. 0: the screen's longer side in pixels, as it is when the picture is asked for.
        int maxPixelSide = 0;
        // Pictures decoded at once.
        int decodingPlaces = 2;
        // A decoding's turn, and the most it may take, in seconds of a core's time.
        double decodingTurnSeconds = 0.25;
        double maxDecodingSeconds = 5;
        // Called on the decoding thread as each decoding begins, its place taken, and each time a
        // decoding keeps its place as it goes: tests hold a decoding there to see what the others do
        // meanwhile.
        std::function<void()> decodingBegins = nullptr;
        std::function<void()> decodingGoesOn = nullptr;
        // A download slower than this, second after second for as long as it says, fails: about
        // what the slowest phone network still carries, for as long as a connection may take to be
        // made.
        NSURLRequest::Pace leastPace{1024, 15};
    };
    // The picture, or an error; and where the picture came from (`none` for a download or a failure).
    using Completion =
        std::function<void(std::shared_ptr<UIImage>, const std::optional<NSError>&, ImageCacheType)>;

    // One request's handle. Cancelling a request that has ended does nothing.
    class Request {
    public:
        virtual ~Request() = default;
        virtual void cancel() = 0;
    };

    // The loader every image view uses, over cw::cachesDirectory()/"images".
    static ImageLoader& shared();
    // Drops the shared loader (its memory cache with it); the next shared() makes a new one over
    // the caches directory of that moment, its configuration changed by `adjust` when given. For
    // tests; requests of the old loader never call back.
    static void resetShared(std::function<void(Configuration&)> adjust = nullptr);

    explicit ImageLoader(Configuration configuration);
    ~ImageLoader();
    ImageLoader(const ImageLoader&) = delete;
    ImageLoader& operator=(const ImageLoader&) = delete;

    std::shared_ptr<Request> retrieve(const URL& url, Completion completion);

    MemoryImageCache& memoryCache();
    DiskImageCache& diskCache();
    // Addresses being read or downloaded now.
    std::size_t pendingCount() const;
    // Pictures decoding or waiting for a place to decode. Safe from any thread.
    std::size_t decodingCount() const;

    struct State;

private:
    std::shared_ptr<State> state_;
};

} // namespace cw::images
