#pragma once

// MediaPlayer's movie player: a controller of one video's playback with a view that shows it, and a
// full-screen view controller around it with "Done", "Play" / "Pause" and the time.
//
// The end of a playback posts `MPMoviePlayerPlaybackDidFinishNotification` on the default
// notification centre, from the movie player (the notification's object is the
// `MPMoviePlayerController`), on the main thread and never inside the call that caused it. Its
// user info holds `MPMoviePlayerPlaybackDidFinishReasonUserInfoKey` as a number (a `long`, the
// `MPMovieFinishReason`), and for a failure the error under
// `MPMoviePlayerPlaybackDidFinishErrorUserInfoKey` (an `NSError`). It is posted once for each run
// of the video: at its end (`playbackEnded`), when the video cannot be had or decoded
// (`playbackError`), or when the person taps "Done" (`userExited`).
//
// The view controller starts the video when it first appears (`shouldAutoplay`) and pauses it when
// it disappears. Presented with `presentMoviePlayerViewControllerAnimated`, it dismisses itself
// when the video ends or "Done" is tapped; after a failure it stays, showing that the video cannot
// be played, until "Done". Pushed onto a navigation controller, it leaves that to whoever hears
// the notification.

#include "foundation/json/NSError.h"
#include "foundation/url/URL.h"
#include "kits/video/Playback.h"
#include "uikit/controllers/UIViewController.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

class UIButton;

namespace cw::video {
class VideoView;
class PlaybackControlsView;
} // namespace cw::video

inline const std::string MPMoviePlayerPlaybackDidFinishNotification = "MPMoviePlayerPlaybackDidFinishNotification";
inline const std::string MPMoviePlayerPlaybackDidFinishReasonUserInfoKey =
    "MPMoviePlayerPlaybackDidFinishReasonUserInfoKey";
inline const std::string MPMoviePlayerPlaybackDidFinishErrorUserInfoKey = "error";

enum class MPMovieFinishReason : long { playbackEnded = 0, playbackError = 1, userExited = 2 };
enum class MPMoviePlaybackState { stopped = 0, playing = 1, paused = 2 };

class MPMoviePlayerController : public std::enable_shared_from_this<MPMoviePlayerController> {
public:
    // The video at `contentURL`; without one the playback fails with `unavailable` (or a plain
    // "cannot be played" error).
    static std::shared_ptr<MPMoviePlayerController> make(std::optional<URL> contentURL,
                                                         std::optional<NSError> unavailable = std::nullopt);
    ~MPMoviePlayerController();

    const std::optional<URL>& contentURL() const;
    bool shouldAutoplay = true;

    void prepareToPlay();
    bool isPreparedToPlay() const;
    void play();
    void pause();
    // Stops and goes back to the beginning; posts nothing.
    void stop();

    MPMoviePlaybackState playbackState() const;
    double currentPlaybackTime() const;
    // Seconds; 0 until known.
    double duration() const;
    // The error of a failed playback.
    const std::optional<NSError>& error() const;

    // The view that shows the video (made with the player).
    std::shared_ptr<cw::video::VideoView> view() const { return view_; }
    const std::shared_ptr<cw::video::Playback>& playback() const { return playback_; }

    // The person leaves the video ("Done"): stops it and, unless this run has already finished,
    // posts the finish notification with `userExited`.
    void exitPlayback();
    // The video plays to its end at once (the headless host's call), with the usual notification.
    void finishPlayback();
    // Whether this run of the video has finished (the notification is out or on its way).
    bool hasFinished() const { return finished_; }

private:
    friend class MPMoviePlayerViewController;
    explicit MPMoviePlayerController(std::shared_ptr<cw::video::Playback> playback);
    void postFinish(MPMovieFinishReason reason, const std::optional<NSError>& error);
    // Told after the notification is out (the view controller around the player).
    std::function<void(MPMovieFinishReason)> finishedHook_;

    std::shared_ptr<cw::video::Playback> playback_;
    std::shared_ptr<cw::video::VideoView> view_;
    std::uint64_t observer_ = 0;
    bool finished_ = false;
};

class MPMoviePlayerViewController : public UIViewController {
public:
    static inline const std::string kDoneTitle = "Done";

    explicit MPMoviePlayerViewController(std::optional<URL> contentURL);
    ~MPMoviePlayerViewController() override;
    std::string className() const override { return "MPMoviePlayerViewController"; }

    const std::shared_ptr<MPMoviePlayerController>& moviePlayer() const { return moviePlayer_; }

    // What "Done" does.
    void done();

    void loadView() override;
    void viewDidAppear(bool animated) override;
    void viewDidDisappear(bool animated) override;
    bool prefersStatusBarHidden() const override { return true; }

protected:
    // For players that find their address themselves; without one, `unavailable` is the reason.
    MPMoviePlayerViewController(std::optional<URL> contentURL, std::optional<NSError> unavailable);

private:
    friend void presentMoviePlayerViewControllerAnimated(UIViewController&,
                                                         const std::shared_ptr<MPMoviePlayerViewController>&);
    void playerFinished(MPMovieFinishReason reason);

    std::shared_ptr<MPMoviePlayerController> moviePlayer_;
    std::shared_ptr<cw::video::PlaybackControlsView> controls_;
    std::shared_ptr<UIButton> doneButton_;
    std::shared_ptr<UIView> topBar_;
    bool presentedForPlayback_ = false;
    bool appearedOnce_ = false;
};

// MediaPlayer's additions to view controllers: presents a movie player full screen, animated, and
// lets it dismiss itself when its video ends; dismisses the movie player a controller presents.
void presentMoviePlayerViewControllerAnimated(UIViewController& presenter,
                                              const std::shared_ptr<MPMoviePlayerViewController>& player);
void dismissMoviePlayerViewControllerAnimated(UIViewController& presenter);
