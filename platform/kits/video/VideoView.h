#pragma once

// The views the players show: the picture of a playback, and the bar of controls under it.
//
// `VideoView` draws the playback's picture on show, fitted into its bounds on black; while the file
// loads it shows a spinner, and when the video cannot be played it says so ("This video cannot be
// played."). `PlaybackControlsView` holds a "Play" / "Pause" button and the time, "0:01 / 0:04".
// Both follow the playback by themselves. Main thread only.

#include "kits/video/Playback.h"
#include "uikit/view/UIView.h"

#include <cstdint>
#include <memory>
#include <optional>

class UIActivityIndicatorView;
class UIButton;
class UILabel;

namespace cw::video {

class VideoView : public UIView {
public:
    static inline const std::string kUnplayableText = "This video cannot be played.";

    VideoView();
    ~VideoView() override;
    std::string className() const override { return "VideoView"; }

    const std::shared_ptr<Playback>& playback() const { return playback_; }
    void setPlayback(std::shared_ptr<Playback> playback);

    // The moment (seconds from the start) of the picture the view draws at the clock's present
    // time; none before the first.
    std::optional<double> displayedFrameTime();

    void layoutSubviews() override;
    void draw(const CGRect& rect) override;

private:
    void playbackChanged();

    std::shared_ptr<Playback> playback_;
    std::uint64_t observer_ = 0;
    std::shared_ptr<UIActivityIndicatorView> spinner_;
    std::shared_ptr<UILabel> message_;
};

class PlaybackControlsView : public UIView {
public:
    static inline const std::string kPlayTitle = "Play";
    static inline const std::string kPauseTitle = "Pause";
    static constexpr CGFloat kHeight = 36;

    PlaybackControlsView();
    ~PlaybackControlsView() override;
    std::string className() const override { return "PlaybackControlsView"; }

    void setPlayback(std::shared_ptr<Playback> playback);
    const std::shared_ptr<UIButton>& playPauseButton() const { return button_; }
    const std::shared_ptr<UILabel>& timeLabel() const { return time_; }

    void layoutSubviews() override;

private:
    void togglePlayback();
    void playbackChanged();

    std::shared_ptr<Playback> playback_;
    std::uint64_t observer_ = 0;
    std::shared_ptr<UIButton> button_;
    std::shared_ptr<UILabel> time_;
};

} // namespace cw::video
