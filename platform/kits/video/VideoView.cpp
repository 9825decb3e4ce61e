#include "kits/video/VideoView.h"

#include "uikit/controls/UIButton.h"
#include "uikit/view/UIActivityIndicatorView.h"
#include "uikit/view/UIImageView.h"
#include "uikit/view/UILabel.h"

#include <algorithm>

namespace cw::video {

VideoView::VideoView() {
    setBackgroundColor(UIColor::blackColor());
    setClipsToBounds(true);
    setContentMode(UIViewContentMode::scaleAspectFit);

    spinner_ = std::make_shared<UIActivityIndicatorView>(UIActivityIndicatorViewStyle::whiteLarge);
    addSubview(spinner_);

    message_ = std::make_shared<UILabel>();
    message_->setText(kUnplayableText);
    message_->setTextColor(UIColor::whiteColor());
    message_->setFont(UIFont::systemFont(15));
    message_->setTextAlignment(NSTextAlignment::center);
    message_->setNumberOfLines(0);
    message_->setHidden(true);
    addSubview(message_);
}

VideoView::~VideoView() {
    if (playback_) playback_->removeObserver(observer_);
}

void VideoView::setPlayback(std::shared_ptr<Playback> playback) {
    if (playback_ == playback) return;
    if (playback_) playback_->removeObserver(observer_);
    playback_ = std::move(playback);
    // The view dies before it could be told anything more: it removes itself in its destructor.
    if (playback_) observer_ = playback_->addObserver([this] { playbackChanged(); });
    playbackChanged();
}

std::optional<double> VideoView::displayedFrameTime() {
    if (!playback_ || playback_->state() == PlaybackState::failed) return std::nullopt;
    const auto& picture = playback_->pictureForNow();
    if (!picture) return std::nullopt;
    return picture->time;
}

void VideoView::playbackChanged() {
    const auto state = playback_ ? playback_->state() : PlaybackState::idle;
    const bool loading = state == PlaybackState::loading && !(playback_ && playback_->currentFrame());
    if (loading)
        spinner_->startAnimating();
    else
        spinner_->stopAnimating();
    message_->setHidden(state != PlaybackState::failed);
    setNeedsDisplay();
    setNeedsLayout();
}

void VideoView::layoutSubviews() {
    UIView::layoutSubviews();
    const CGRect b = bounds();
    const CGSize s = spinner_->intrinsicContentSize();
    spinner_->setFrame({b.midX() - s.width / 2, b.midY() - s.height / 2, s.width, s.height});
    const CGFloat width = std::max<CGFloat>(b.width() - 32, 0);
    const CGSize fit = message_->sizeThatFits({width, b.height()});
    message_->setFrame({b.midX() - width / 2, b.midY() - fit.height / 2, width, fit.height});
}

void VideoView::draw(const CGRect&) {
    if (!playback_ || playback_->state() == PlaybackState::failed) return;
    const auto& picture = playback_->pictureForNow();
    if (!picture) return;
    const auto& image = picture->image;
    if (!image) return;
    image->draw(contentModeRect(UIViewContentMode::scaleAspectFit, image->size(), bounds()));
}

PlaybackControlsView::PlaybackControlsView() {
    setBackgroundColor(UIColor::withWhite(0.1, 0.85));

    button_ = std::make_shared<UIButton>(UIButtonType::custom);
    button_->setTitleColor(UIColor::whiteColor(), UIControlStateNormal);
    button_->setTitleColor(UIColor::withWhite(1, 0.4), UIControlStateDisabled);
    button_->titleLabel()->setFont(UIFont::systemFont(15, UIFont::Weight::semibold));
    button_->setContentEdgeInsets({4, 10, 4, 10});
    button_->addTarget(this, &PlaybackControlsView::togglePlayback, UIControlEventTouchUpInside);
    addSubview(button_);

    time_ = std::make_shared<UILabel>();
    time_->setTextColor(UIColor::whiteColor());
    time_->setFont(UIFont::systemFont(13));
    time_->setTextAlignment(NSTextAlignment::right);
    addSubview(time_);
    playbackChanged();
}

PlaybackControlsView::~PlaybackControlsView() {
    if (playback_) playback_->removeObserver(observer_);
}

void PlaybackControlsView::setPlayback(std::shared_ptr<Playback> playback) {
    if (playback_ == playback) return;
    if (playback_) playback_->removeObserver(observer_);
    playback_ = std::move(playback);
    if (playback_) observer_ = playback_->addObserver([this] { playbackChanged(); });
    playbackChanged();
}

void PlaybackControlsView::togglePlayback() {
    if (!playback_) return;
    if (playback_->isPlayingOrAboutTo())
        playback_->pause();
    else
        playback_->play();
    playbackChanged();
}

void PlaybackControlsView::playbackChanged() {
    const bool playing = playback_ && playback_->isPlayingOrAboutTo();
    const bool failed = !playback_ || playback_->state() == PlaybackState::failed;
    button_->setTitle(playing ? kPauseTitle : kPlayTitle, UIControlStateNormal);
    button_->setEnabled(!failed);
    const double now = playback_ ? playback_->currentTime() : 0;
    const auto duration = playback_ ? playback_->duration() : std::nullopt;
    // A video that cannot be played has no time to tell.
    time_->setText(failed && playback_ ? std::string()
                                       : formatPlaybackTime(now) + " / " +
                                             (duration ? formatPlaybackTime(*duration) : std::string("-:--")));
    setNeedsLayout();
}

void PlaybackControlsView::layoutSubviews() {
    UIView::layoutSubviews();
    const CGRect b = bounds();
    const CGSize buttonSize = button_->sizeThatFits(b.size);
    // Wide enough for either title, so the time does not move when the title changes.
    const CGFloat buttonWidth = std::max<CGFloat>(buttonSize.width, 72);
    button_->setFrame({b.minX() + 4, b.minY(), std::min(buttonWidth, b.width()), b.height()});
    const CGFloat left = b.minX() + 8 + buttonWidth;
    time_->setFrame({left, b.minY(), std::max<CGFloat>(b.maxX() - 10 - left, 0), b.height()});
}

} // namespace cw::video
