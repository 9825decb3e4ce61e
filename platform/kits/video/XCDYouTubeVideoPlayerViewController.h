#pragma once

// XCDYouTubeKit's player of a video by its identifier: a movie player view controller whose video
// is served by the application's own server, at SERVER_URL + "/static-files/videos/<identifier>.mp4".
//
// An identifier is letters, digits, "-" and "_" (1 to 64 of them). Without one, with any other
// text, or without a SERVER_URL in the bundle configuration, the player shows that the video cannot
// be played and its movie player finishes with `playbackError` and an error of
// `XCDYouTubeVideoErrorDomain` (`XCDYouTubeErrorInvalidVideoIdentifier`, or
// `XCDYouTubeErrorNoStreamAvailable` for the missing address) once it is shown. Everything else is
// the movie player view controller's.

#include "kits/video/MPMoviePlayerController.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

inline constexpr std::string_view XCDYouTubeVideoErrorDomain = "XCDYouTubeVideoErrorDomain";
inline constexpr std::int64_t XCDYouTubeErrorInvalidVideoIdentifier = 2;
inline constexpr std::int64_t XCDYouTubeErrorNoStreamAvailable = -2;

class XCDYouTubeVideoPlayerViewController : public MPMoviePlayerViewController {
public:
    // `initWithVideoIdentifier:`.
    explicit XCDYouTubeVideoPlayerViewController(std::optional<std::string> videoIdentifier);
    std::string className() const override { return "XCDYouTubeVideoPlayerViewController"; }

    const std::optional<std::string>& videoIdentifier() const { return videoIdentifier_; }

    // The address a video identifier plays from, or the reason there is none.
    struct Source {
        std::optional<URL> url;
        std::optional<NSError> error;
    };
    static Source sourceFor(const std::optional<std::string>& videoIdentifier);

private:
    XCDYouTubeVideoPlayerViewController(std::optional<std::string> videoIdentifier, Source source);
    std::optional<std::string> videoIdentifier_;
};
