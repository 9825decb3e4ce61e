#include "kits/video/AVPlayerViewController.h"

#include "kits/video/VideoView.h"
#include "uikit/controllers/UIScreen.h"

using cw::video::PlaybackControlsView;
using cw::video::VideoView;

AVPlayerViewController::~AVPlayerViewController() = default;

void AVPlayerViewController::setPlayer(std::shared_ptr<AVPlayer> player) {
    player_ = std::move(player);
    attach();
}

void AVPlayerViewController::setShowsPlaybackControls(bool shows) {
    showsPlaybackControls_ = shows;
    if (controls_) controls_->setHidden(!shows);
}

void AVPlayerViewController::loadView() {
    auto root = std::make_shared<UIView>(UIScreen::main().bounds());
    root->setBackgroundColor(UIColor::blackColor());
    root->setClipsToBounds(true);

    videoView_ = std::make_shared<VideoView>();
    videoView_->setFrame(root->bounds());
    videoView_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    root->addSubview(videoView_);

    const CGRect b = root->bounds();
    controls_ = std::make_shared<PlaybackControlsView>();
    controls_->setFrame({0, b.height() - PlaybackControlsView::kHeight, b.width(), PlaybackControlsView::kHeight});
    controls_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleTopMargin);
    controls_->setHidden(!showsPlaybackControls_);
    root->addSubview(controls_);
    setView(root);
    attach();
}

void AVPlayerViewController::attach() {
    if (!videoView_) return;
    auto playback = player_ ? player_->playback() : nullptr;
    videoView_->setPlayback(playback);
    controls_->setPlayback(playback);
    if (playback) playback->prepare();
}
