#pragma once

// The playback of one video, behind both players of this kit (AVFoundation's `AVPlayer` and
// MediaPlayer's `MPMoviePlayerController`).
//
// The file is fetched through the HTTP layer, then opened and decoded on a serial queue of its own,
// a little ahead of the picture on screen. The picture shown is the one for the run loop clock's
// time (Clock::uptime), picked whenever it is drawn or looked at; with the system clock a main run
// loop timer also wakes the loop at each new picture's moment so that a window draws it. A timer
// ends the playback when the clock reaches the video's length. When decoding falls behind the clock
// (a jump of a manual clock, a slow machine), the picture shown stays the latest one ready until the
// decoder catches up, skipping the pictures whose moment has passed; at the end the last picture
// is shown once decoded. Sound is not played.
//
// Contract: main thread only. Observers and the end callback are called on the main thread, never
// inside the call that caused the change (so a caller may post notifications or dismiss screens
// from them). The playback ends exactly once per run: `onEnd` gets no error when the clock
// reached the end (or `finish` was called) and the reason when the video could not be had (no
// address, a failed request, a file that is not a decodable video).

#include "foundation/json/NSError.h"
#include "foundation/url/URL.h"
#include "kits/video/VideoDecoder.h"
#include "uikit/graphics/Geometry.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class AFHTTPSessionManager;
class DispatchQueue;
class NSURLSessionDataTask;

// The errors of playback, as AVFoundation names them.
inline constexpr std::string_view AVFoundationErrorDomain = "AVFoundationErrorDomain";
// The file is not a video this player can decode.
inline constexpr std::int64_t AVErrorFileFormatNotRecognized = -11828;

namespace cw::video {

enum class PlaybackState {
    idle,    // nothing asked for yet
    loading, // fetching or opening the file
    paused,  // ready, the clock does not move the picture
    playing,
    ended,   // reached the end (or was finished)
    stopped, // stopped on request before the end
    failed,
};

class Playback : public std::enable_shared_from_this<Playback> {
public:
    // `unavailable` is the error to fail with when there is no address.
    static std::shared_ptr<Playback> make(std::optional<URL> url, std::optional<NSError> unavailable = {});
    ~Playback();
    Playback(const Playback&) = delete;
    Playback& operator=(const Playback&) = delete;

    const std::optional<URL>& url() const { return url_; }

    // Starts fetching and opening the file (once; later calls do nothing).
    void prepare();
    // Plays from where it stands; prepares first when needed and starts once the first picture is
    // ready. After the end (or a stop) it starts over from the beginning. Nothing after a failure.
    void play();
    void pause();
    // Stops before the end: no end is reported; a later `play` starts over.
    void stop();
    // Ends now as if the clock had reached the end (the end is reported as usual).
    void finish();

    PlaybackState state() const { return state_; }
    // Whether it plays, or will once loaded.
    bool isPlayingOrAboutTo() const;
    // Seconds from the start at the clock's present time.
    double currentTime() const;
    // The length in seconds, once known.
    std::optional<double> duration() const { return duration_; }
    // The pictures' size in pixels (zero until opened).
    CGSize naturalSize() const { return naturalSize_; }
    // The picture on show when last looked at, if one was decoded.
    const std::optional<VideoFrame>& currentFrame() const { return current_; }
    // The picture for the clock's present time, as far as it is decoded (what a view draws).
    const std::optional<VideoFrame>& pictureForNow();
    const std::optional<NSError>& error() const { return error_; }

    // Called after every change of state, picture or length. The token removes it.
    std::uint64_t addObserver(std::function<void()> observer);
    void removeObserver(std::uint64_t token);
    // Called once the playback has ended (see above).
    std::function<void(const std::optional<NSError>&)> onEnd;

    // How far ahead of the clock pictures are decoded, and how many at most in one go.
    static constexpr double kLookahead = 0.5;
    static constexpr std::size_t kBatchFrames = 12;

private:
    struct DecodeJob;
    struct Opened;
    struct Batch;

    Playback(std::optional<URL> url, std::optional<NSError> unavailable);
    void fetched(const Data& bytes);
    bool isOver() const;
    void cancelFetch();
    void open(bool startPlaying);
    void opened(const std::shared_ptr<DecodeJob>& job, Opened result);
    void received(const std::shared_ptr<DecodeJob>& job, Batch batch);
    void requestMore();
    void refresh();
    void scheduleTimers();
    void cancelTimers();
    void dropJob();
    void reachEnd();
    void fail(NSError error);
    void setState(PlaybackState state);
    void noteEndOfStream(double lastFrameTime);
    void notifyLater();
    void notifyNow();

    std::optional<URL> url_;
    std::optional<NSError> unavailable_;
    std::shared_ptr<AFHTTPSessionManager> session_;
    std::shared_ptr<NSURLSessionDataTask> task_;
    std::shared_ptr<const Data> bytes_;
    // Where the file is opened and decoded, one job after another.
    std::unique_ptr<DispatchQueue> decodeQueue_;

    PlaybackState state_ = PlaybackState::idle;
    bool playWhenReady_ = false;
    std::optional<NSError> error_;
    std::optional<double> duration_;
    CGSize naturalSize_{0, 0};
    double frameInterval_ = 1.0 / 25;

    // The clock: position = basePosition_ + (uptime − baseUptime_) while playing.
    double basePosition_ = 0;
    double baseUptime_ = 0;

    std::shared_ptr<DecodeJob> job_;
    bool batchInFlight_ = false;
    bool endOfStream_ = false;
    double lastDecodedTime_ = -1;
    std::deque<VideoFrame> buffered_;
    std::optional<VideoFrame> current_;

    std::uint64_t frameTimer_ = 0;
    std::uint64_t endTimer_ = 0;

    std::vector<std::pair<std::uint64_t, std::function<void()>>> observers_;
    std::uint64_t nextObserver_ = 1;
    bool notifyQueued_ = false;
};

// "m:ss" for a number of seconds (negative and non-finite as 0).
std::string formatPlaybackTime(double seconds);

} // namespace cw::video
