#include "kits/video/Playback.h"

#include "foundation/dispatch/DispatchQueue.h"
#include "foundation/dispatch/RunLoop.h"
#include "foundation/time/Clock.h"
#include "net/AFHTTPSessionManager.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <iostream>

namespace cw::video {

namespace {

// A container that claims much more than the last picture's moment is believed only this far.
constexpr double kTrailingSlack = 1.0;

NSError undecodable(const std::string& why) {
    return NSError(std::string(AVFoundationErrorDomain), AVErrorFileFormatNotRecognized,
                   {{std::string(NSLocalizedDescriptionKey), std::string("This video cannot be played.")},
                    {std::string(NSDebugDescriptionErrorKey), why}});
}

} // namespace

// One opening of the file: the decoder lives on its queue. A start-over or the end of the
// playback drops the job; work still queued for it then does nothing.
struct Playback::DecodeJob {
    std::unique_ptr<VideoDecoder> decoder; // on the decode queue only
    std::atomic<bool> dropped{false};
};

struct Playback::Opened {
    std::optional<std::string> error;
    VideoDecoder::Info info;
    std::vector<VideoFrame> frames;
    bool ended = false;
};

struct Playback::Batch {
    std::vector<VideoFrame> frames;
    bool ended = false;
    std::optional<std::string> error;
};

std::shared_ptr<Playback> Playback::make(std::optional<URL> url, std::optional<NSError> unavailable) {
    return std::shared_ptr<Playback>(new Playback(std::move(url), std::move(unavailable)));
}

Playback::Playback(std::optional<URL> url, std::optional<NSError> unavailable)
    : url_(std::move(url)), unavailable_(std::move(unavailable)),
      decodeQueue_(std::make_unique<DispatchQueue>("cw.video.decode", DispatchQoS::userInitiated)) {}

Playback::~Playback() {
    cancelTimers();
    cancelFetch();
    if (job_) job_->dropped = true;
}

bool Playback::isPlayingOrAboutTo() const {
    return state_ == PlaybackState::playing || (state_ == PlaybackState::loading && playWhenReady_);
}

double Playback::currentTime() const {
    double t = basePosition_;
    if (state_ == PlaybackState::playing) t += Clock::uptime() - baseUptime_;
    if (duration_) t = std::min(t, *duration_);
    return std::max(t, 0.0);
}

void Playback::prepare() {
    if (state_ != PlaybackState::idle) return;
    setState(PlaybackState::loading);
    if (!url_) {
        fail(unavailable_.value_or(NSError(std::string(AVFoundationErrorDomain), AVErrorFileFormatNotRecognized,
                                           {{std::string(NSLocalizedDescriptionKey),
                                             std::string("This video cannot be played.")}})));
        return;
    }
    session_ = std::make_shared<AFHTTPSessionManager>();
    std::weak_ptr<Playback> weak = weak_from_this();
    task_ = session_->GETData(
        url_->absoluteString(), nullptr,
        [weak](const AFHTTPSessionManager::Task&, const Data& bytes) {
            if (auto self = weak.lock()) self->fetched(bytes);
        },
        [weak](const AFHTTPSessionManager::Task&, const NSError& error) {
            if (auto self = weak.lock()) {
                self->task_.reset();
                if (self->state_ == PlaybackState::loading) self->fail(error);
            }
        });
}

void Playback::fetched(const Data& bytes) {
    task_.reset();
    if (state_ != PlaybackState::loading) return;
    bytes_ = std::make_shared<const Data>(bytes);
    open(playWhenReady_);
}

void Playback::open(bool startPlaying) {
    dropJob();
    setState(PlaybackState::loading);
    playWhenReady_ = startPlaying;
    auto job = std::make_shared<DecodeJob>();
    job_ = job;
    std::weak_ptr<Playback> weak = weak_from_this();
    decodeQueue_->async([job, bytes = bytes_, weak] {
        if (job->dropped) return;
        Opened result;
        std::string why;
        job->decoder = VideoDecoder::open(bytes, &why);
        if (!job->decoder) {
            result.error = why;
        } else {
            result.info = job->decoder->info();
            result.frames = job->decoder->framesFrom(0, kLookahead, kBatchFrames);
            result.ended = job->decoder->atEnd();
            if (result.frames.empty())
                result.error = job->decoder->error().value_or("the video has no picture that can be decoded");
        }
        DispatchQueue::main().async([weak, job, result = std::move(result)]() mutable {
            if (auto self = weak.lock()) self->opened(job, std::move(result));
        });
    });
}

void Playback::opened(const std::shared_ptr<DecodeJob>& job, Opened result) {
    if (job != job_ || state_ != PlaybackState::loading) return;
    if (result.error) {
        std::cerr << "video: " << (url_ ? url_->absoluteString() : std::string("(no address)"))
                  << " cannot be played: " << *result.error << std::endl;
        fail(undecodable(*result.error));
        return;
    }
    naturalSize_ = {static_cast<CGFloat>(result.info.width), static_cast<CGFloat>(result.info.height)};
    frameInterval_ = result.info.frameInterval;
    duration_ = result.info.duration;
    basePosition_ = 0;
    baseUptime_ = Clock::uptime();
    buffered_.assign(result.frames.begin(), result.frames.end());
    lastDecodedTime_ = buffered_.back().time;
    // The first picture shows at once, also when it starts a little after zero.
    current_ = buffered_.front();
    buffered_.pop_front();
    endOfStream_ = false;
    if (result.ended) noteEndOfStream(lastDecodedTime_);
    setState(playWhenReady_ ? PlaybackState::playing : PlaybackState::paused);
    playWhenReady_ = false;
    refresh();
}

void Playback::requestMore() {
    if (batchInFlight_ || endOfStream_ || !job_) return;
    const double now = currentTime();
    if (!buffered_.empty() && buffered_.back().time >= now + kLookahead / 2) return;
    batchInFlight_ = true;
    auto job = job_;
    std::weak_ptr<Playback> weak = weak_from_this();
    decodeQueue_->async([job, weak, now] {
        if (job->dropped) return;
        Batch batch;
        if (job->decoder) {
            batch.frames = job->decoder->framesFrom(now, now + kLookahead, kBatchFrames);
            batch.ended = job->decoder->atEnd();
            batch.error = job->decoder->error();
        } else {
            batch.ended = true;
        }
        DispatchQueue::main().async([weak, job, batch = std::move(batch)]() mutable {
            if (auto self = weak.lock()) self->received(job, std::move(batch));
        });
    });
}

void Playback::received(const std::shared_ptr<DecodeJob>& job, Batch batch) {
    if (job != job_) return;
    batchInFlight_ = false;
    for (auto& f : batch.frames) {
        lastDecodedTime_ = std::max(lastDecodedTime_, f.time);
        buffered_.push_back(std::move(f));
    }
    if (batch.error)
        std::cerr << "video: " << (url_ ? url_->absoluteString() : std::string("(no address)"))
                  << " stops early: " << *batch.error << std::endl;
    if (batch.ended) noteEndOfStream(lastDecodedTime_);
    refresh();
}

void Playback::noteEndOfStream(double lastFrameTime) {
    endOfStream_ = true;
    const double end = lastFrameTime + frameInterval_;
    if (!duration_ || *duration_ > lastFrameTime + std::max(frameInterval_, kTrailingSlack)) duration_ = end;
    notifyLater();
}

void Playback::refresh() {
    const bool ended = state_ == PlaybackState::ended;
    if (state_ != PlaybackState::playing && state_ != PlaybackState::paused && !ended) return;
    const double now = currentTime();
    bool moved = false;
    while (!buffered_.empty() && buffered_.front().time <= now + kSameMoment) {
        current_ = std::move(buffered_.front());
        buffered_.pop_front();
        moved = true;
    }
    if (moved) notifyLater();
    if (ended) {
        // After the end only the last pictures are still wanted; then the decoder can go.
        if (endOfStream_)
            dropJob();
        else
            requestMore();
        return;
    }
    if (state_ == PlaybackState::playing && duration_ && now >= *duration_ - kSameMoment) {
        reachEnd();
        return;
    }
    requestMore();
    scheduleTimers();
}

const std::optional<VideoFrame>& Playback::pictureForNow() {
    refresh();
    return current_;
}

void Playback::scheduleTimers() {
    cancelTimers();
    if (state_ != PlaybackState::playing) return;
    std::weak_ptr<Playback> weak = weak_from_this();
    // A real clock wakes the loop at each picture's moment, so a window draws it. A manual clock
    // moves only when a test or the headless host moves it: the picture is picked when it is drawn,
    // and waiting for pictures never holds the host's settling of the screen.
    if (!buffered_.empty() && !Clock::isManual()) {
        const double at = baseUptime_ + (buffered_.front().time - basePosition_);
        frameTimer_ = RunLoop::main().addTimer(at, [weak] {
            if (auto self = weak.lock()) {
                self->frameTimer_ = 0;
                self->refresh();
            }
        });
    }
    if (duration_) {
        const double at = baseUptime_ + (*duration_ - basePosition_);
        endTimer_ = RunLoop::main().addTimer(at, [weak] {
            if (auto self = weak.lock()) {
                self->endTimer_ = 0;
                self->refresh();
            }
        });
    }
}

void Playback::cancelTimers() {
    if (frameTimer_) RunLoop::main().cancelTimer(frameTimer_);
    if (endTimer_) RunLoop::main().cancelTimer(endTimer_);
    frameTimer_ = endTimer_ = 0;
}

void Playback::play() {
    switch (state_) {
    case PlaybackState::idle:
        playWhenReady_ = true;
        prepare();
        break;
    case PlaybackState::loading:
        playWhenReady_ = true;
        break;
    case PlaybackState::paused:
        baseUptime_ = Clock::uptime();
        setState(PlaybackState::playing);
        refresh();
        break;
    case PlaybackState::ended:
    case PlaybackState::stopped:
        // Back to the beginning: the file is opened again (nothing is fetched again).
        if (bytes_) {
            open(true);
        } else {
            setState(PlaybackState::idle);
            playWhenReady_ = true;
            prepare();
        }
        break;
    case PlaybackState::playing:
    case PlaybackState::failed:
        break;
    }
}

void Playback::pause() {
    if (state_ == PlaybackState::loading) {
        playWhenReady_ = false;
        return;
    }
    if (state_ != PlaybackState::playing) return;
    basePosition_ = currentTime();
    cancelTimers();
    setState(PlaybackState::paused);
}

bool Playback::isOver() const {
    return state_ == PlaybackState::ended || state_ == PlaybackState::stopped || state_ == PlaybackState::failed;
}

void Playback::cancelFetch() {
    if (task_) task_->cancel();
    task_.reset();
}

void Playback::stop() {
    if (isOver()) return;
    cancelFetch();
    basePosition_ = currentTime();
    cancelTimers();
    dropJob();
    playWhenReady_ = false;
    setState(PlaybackState::stopped);
}

void Playback::finish() {
    if (isOver()) return;
    cancelFetch();
    // Nothing opened yet: there is nothing to show at the end either.
    if (state_ == PlaybackState::loading) dropJob();
    if (duration_) basePosition_ = *duration_;
    reachEnd();
}

void Playback::reachEnd() {
    if (duration_) basePosition_ = *duration_;
    cancelTimers();
    setState(PlaybackState::ended);
    // The decoder goes on to the last picture if it is behind.
    refresh();
    std::weak_ptr<Playback> weak = weak_from_this();
    RunLoop::main().perform([weak] {
        if (auto self = weak.lock())
            if (self->onEnd) self->onEnd(std::nullopt);
    });
}

void Playback::fail(NSError error) {
    cancelTimers();
    dropJob();
    error_ = error;
    setState(PlaybackState::failed);
    std::weak_ptr<Playback> weak = weak_from_this();
    RunLoop::main().perform([weak, error = std::move(error)] {
        if (auto self = weak.lock())
            if (self->onEnd) self->onEnd(error);
    });
}

void Playback::dropJob() {
    if (job_) job_->dropped = true;
    job_.reset();
    batchInFlight_ = false;
    buffered_.clear();
    endOfStream_ = false;
}

void Playback::setState(PlaybackState state) {
    if (state_ == state) return;
    state_ = state;
    notifyLater();
}

std::uint64_t Playback::addObserver(std::function<void()> observer) {
    observers_.emplace_back(nextObserver_, std::move(observer));
    return nextObserver_++;
}

void Playback::removeObserver(std::uint64_t token) {
    std::erase_if(observers_, [token](const auto& o) { return o.first == token; });
}

void Playback::notifyLater() {
    if (notifyQueued_) return;
    notifyQueued_ = true;
    std::weak_ptr<Playback> weak = weak_from_this();
    RunLoop::main().perform([weak] {
        if (auto self = weak.lock()) self->notifyNow();
    });
}

void Playback::notifyNow() {
    notifyQueued_ = false;
    // An observer may remove itself (or others) while being told.
    const auto observers = observers_;
    for (const auto& [token, observer] : observers)
        if (std::any_of(observers_.begin(), observers_.end(), [t = token](const auto& o) { return o.first == t; }))
            observer();
}

std::string formatPlaybackTime(double seconds) {
    if (!std::isfinite(seconds) || seconds < 0) seconds = 0;
    const long whole = static_cast<long>(std::floor(seconds));
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
    return text;
}

} // namespace cw::video
