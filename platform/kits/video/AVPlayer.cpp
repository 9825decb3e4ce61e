#include "kits/video/AVPlayer.h"

#include "foundation/dispatch/NotificationCenter.h"

#include <cmath>

using cw::video::Playback;
using cw::video::PlaybackState;

CMTime CMTimeMakeWithSeconds(double seconds, std::int32_t preferredTimescale) {
    if (!std::isfinite(seconds) || preferredTimescale <= 0) return kCMTimeInvalid;
    return {static_cast<std::int64_t>(std::llround(seconds * preferredTimescale)), preferredTimescale};
}

namespace {

constexpr std::int32_t kTimescale = 600;

AVPlayerStatus statusOf(const Playback& playback) {
    switch (playback.state()) {
    case PlaybackState::idle:
    case PlaybackState::loading:
        return AVPlayerStatus::unknown;
    case PlaybackState::failed:
        return AVPlayerStatus::failed;
    default:
        return AVPlayerStatus::readyToPlay;
    }
}

} // namespace

AVPlayerItemStatus AVPlayerItem::status() const {
    return statusOf(*playback_);
}

CMTime AVPlayerItem::duration() const {
    const auto d = playback_->duration();
    return d ? CMTimeMakeWithSeconds(*d, kTimescale) : kCMTimeInvalid;
}

std::shared_ptr<AVPlayer> AVPlayer::make(const URL& url) {
    auto player = std::shared_ptr<AVPlayer>(new AVPlayer(Playback::make(url)));
    std::weak_ptr<AVPlayer> weak = player;
    player->playback_->onEnd = [weak](const std::optional<NSError>& error) {
        if (auto self = weak.lock()) self->ended(error);
    };
    return player;
}

AVPlayer::AVPlayer(std::shared_ptr<Playback> playback)
    : playback_(std::move(playback)), item_(std::make_shared<AVPlayerItem>(playback_)) {}

AVPlayer::~AVPlayer() = default;

void AVPlayer::play() {
    playback_->play();
}

void AVPlayer::pause() {
    playback_->pause();
}

float AVPlayer::rate() const {
    return playback_->isPlayingOrAboutTo() ? 1.0f : 0.0f;
}

CMTime AVPlayer::currentTime() const {
    return CMTimeMakeWithSeconds(playback_->currentTime(), kTimescale);
}

AVPlayerStatus AVPlayer::status() const {
    return statusOf(*playback_);
}

const std::optional<NSError>& AVPlayer::error() const {
    return playback_->error();
}

void AVPlayer::ended(const std::optional<NSError>& error) {
    auto keep = shared_from_this();
    auto& center = NotificationCenter::defaultCenter();
    if (error)
        center.post(AVPlayerItemFailedToPlayToEndTimeNotification, item_.get(),
                    {{AVPlayerItemFailedToPlayToEndTimeErrorKey, *error}});
    else
        center.post(AVPlayerItemDidPlayToEndTimeNotification, item_.get());
}
