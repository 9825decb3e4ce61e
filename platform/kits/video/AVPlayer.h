#pragma once

// AVFoundation's player of one video at an address: play, pause and the time, on the playback of
// this kit (fetched through the HTTP layer, decoded off the main thread, the picture following the
// run loop's clock; sound is not played).
//
// The file is fetched when the player is first asked to play or is shown by a player view
// controller. Reaching the end posts `AVPlayerItemDidPlayToEndTimeNotification` from the player's
// item; a video that cannot be had or decoded makes the player and its item `failed` with the error,
// and posts `AVPlayerItemFailedToPlayToEndTimeNotification` with the error under
// `AVPlayerItemFailedToPlayToEndTimeErrorKey`. Both on the default notification centre, on the
// main thread, never inside the call that caused them. `play` after the end starts over. Main
// thread only.

#include "foundation/json/NSError.h"
#include "foundation/url/URL.h"
#include "kits/video/Playback.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

inline const std::string AVPlayerItemDidPlayToEndTimeNotification = "AVPlayerItemDidPlayToEndTimeNotification";
inline const std::string AVPlayerItemFailedToPlayToEndTimeNotification =
    "AVPlayerItemFailedToPlayToEndTimeNotification";
inline const std::string AVPlayerItemFailedToPlayToEndTimeErrorKey = "AVPlayerItemFailedToPlayToEndTimeErrorKey";

// A time as CoreMedia keeps it: `value` / `timescale` seconds, or an invalid (unknown) time.
struct CMTime {
    std::int64_t value = 0;
    std::int32_t timescale = 0;
    bool isValid() const { return timescale > 0; }
    double seconds() const { return isValid() ? static_cast<double>(value) / timescale : 0; }
    friend bool operator==(const CMTime&, const CMTime&) = default;
};
inline constexpr CMTime kCMTimeInvalid{};
inline constexpr CMTime kCMTimeZero{0, 1};
// To the nearest `preferredTimescale`-th of a second.
CMTime CMTimeMakeWithSeconds(double seconds, std::int32_t preferredTimescale);
inline double CMTimeGetSeconds(const CMTime& time) {
    return time.seconds();
}

enum class AVPlayerStatus { unknown, readyToPlay, failed };
using AVPlayerItemStatus = AVPlayerStatus;

class AVPlayerItem {
public:
    explicit AVPlayerItem(std::shared_ptr<cw::video::Playback> playback) : playback_(std::move(playback)) {}
    const std::optional<URL>& url() const { return playback_->url(); }
    AVPlayerItemStatus status() const;
    const std::optional<NSError>& error() const { return playback_->error(); }
    // Invalid until the file has been opened.
    CMTime duration() const;

private:
    std::shared_ptr<cw::video::Playback> playback_;
};

class AVPlayer : public std::enable_shared_from_this<AVPlayer> {
public:
    // `AVPlayer(url:)`.
    static std::shared_ptr<AVPlayer> make(const URL& url);
    ~AVPlayer();
    AVPlayer(const AVPlayer&) = delete;
    AVPlayer& operator=(const AVPlayer&) = delete;

    void play();
    void pause();
    // 1 while playing (or about to, once loaded), else 0.
    float rate() const;
    CMTime currentTime() const;
    AVPlayerStatus status() const;
    const std::optional<NSError>& error() const;
    const std::shared_ptr<AVPlayerItem>& currentItem() const { return item_; }

    // The playback behind it (its view shows it).
    const std::shared_ptr<cw::video::Playback>& playback() const { return playback_; }

private:
    explicit AVPlayer(std::shared_ptr<cw::video::Playback> playback);
    void ended(const std::optional<NSError>& error);

    std::shared_ptr<cw::video::Playback> playback_;
    std::shared_ptr<AVPlayerItem> item_;
};
