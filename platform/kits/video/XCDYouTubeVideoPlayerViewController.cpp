#include "kits/video/XCDYouTubeVideoPlayerViewController.h"

#include "foundation/bundle/Bundle.h"

#include <algorithm>

namespace {

constexpr std::size_t kMaximumIdentifierLength = 64;

bool isIdentifier(const std::string& text) {
    // The identifier becomes part of a path on the server: nothing that could leave the folder.
    return !text.empty() && text.size() <= kMaximumIdentifierLength &&
           std::all_of(text.begin(), text.end(), [](char c) {
               return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                      c == '_';
           });
}

NSError playerError(std::int64_t code, std::string description) {
    return NSError(std::string(XCDYouTubeVideoErrorDomain), code,
                   {{std::string(NSLocalizedDescriptionKey), std::move(description)}});
}

} // namespace

XCDYouTubeVideoPlayerViewController::Source
XCDYouTubeVideoPlayerViewController::sourceFor(const std::optional<std::string>& videoIdentifier) {
    if (!videoIdentifier || !isIdentifier(*videoIdentifier))
        return {std::nullopt, playerError(XCDYouTubeErrorInvalidVideoIdentifier, "The video identifier is invalid.")};
    auto server = Bundle::main().stringForInfoDictionaryKey("SERVER_URL");
    if (server)
        while (!server->empty() && server->back() == '/') server->pop_back();
    const auto url = server ? URL::fromString(*server + "/static-files/videos/" + *videoIdentifier + ".mp4")
                            : std::nullopt;
    if (!url || !url->scheme())
        return {std::nullopt, playerError(XCDYouTubeErrorNoStreamAvailable,
                                          "No server address (SERVER_URL) to fetch the video from.")};
    return {url, std::nullopt};
}

XCDYouTubeVideoPlayerViewController::XCDYouTubeVideoPlayerViewController(std::optional<std::string> videoIdentifier)
    : XCDYouTubeVideoPlayerViewController(videoIdentifier, sourceFor(videoIdentifier)) {}

XCDYouTubeVideoPlayerViewController::XCDYouTubeVideoPlayerViewController(std::optional<std::string> videoIdentifier,
                                                                         Source source)
    : MPMoviePlayerViewController(std::move(source.url), std::move(source.error)),
      videoIdentifier_(std::move(videoIdentifier)) {}
