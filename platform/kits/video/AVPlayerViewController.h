#pragma once

// AVKit's player view controller: shows its player's video fitted into its view on black, with the
// playback controls ("Play" / "Pause" and the time) along the bottom when `showsPlaybackControls`.
// Giving it a player whose view is loaded (or loading the view with one) fetches the video, so the
// first picture shows before anyone plays it; playing is the player's or the person's to start.
// Its view can be placed inside another screen's view on its own. Main thread only.

#include "kits/video/AVPlayer.h"
#include "uikit/controllers/UIViewController.h"

#include <memory>

namespace cw::video {
class VideoView;
class PlaybackControlsView;
} // namespace cw::video

class AVPlayerViewController : public UIViewController {
public:
    AVPlayerViewController() = default;
    ~AVPlayerViewController() override;
    std::string className() const override { return "AVPlayerViewController"; }

    const std::shared_ptr<AVPlayer>& player() const { return player_; }
    void setPlayer(std::shared_ptr<AVPlayer> player);
    bool showsPlaybackControls() const { return showsPlaybackControls_; }
    void setShowsPlaybackControls(bool shows);

    // The view that shows the picture (once the view is loaded).
    const std::shared_ptr<cw::video::VideoView>& videoView() const { return videoView_; }
    const std::shared_ptr<cw::video::PlaybackControlsView>& controlsView() const { return controls_; }

    void loadView() override;

private:
    void attach();

    std::shared_ptr<AVPlayer> player_;
    bool showsPlaybackControls_ = true;
    std::shared_ptr<cw::video::VideoView> videoView_;
    std::shared_ptr<cw::video::PlaybackControlsView> controls_;
};
