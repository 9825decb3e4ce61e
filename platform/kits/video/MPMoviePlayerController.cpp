#include "kits/video/MPMoviePlayerController.h"

#include "foundation/dispatch/NotificationCenter.h"
#include "foundation/dispatch/RunLoop.h"
#include "kits/video/VideoView.h"
#include "uikit/controllers/UIScreen.h"
#include "uikit/controls/UIButton.h"

#include <any>
#include <map>

using cw::video::Playback;
using cw::video::PlaybackControlsView;
using cw::video::PlaybackState;
using cw::video::VideoView;

std::shared_ptr<MPMoviePlayerController> MPMoviePlayerController::make(std::optional<URL> contentURL,
                                                                       std::optional<NSError> unavailable) {
    auto player = std::shared_ptr<MPMoviePlayerController>(
        new MPMoviePlayerController(Playback::make(std::move(contentURL), std::move(unavailable))));
    std::weak_ptr<MPMoviePlayerController> weak = player;
    player->playback_->onEnd = [weak](const std::optional<NSError>& error) {
        if (auto self = weak.lock())
            self->postFinish(error ? MPMovieFinishReason::playbackError : MPMovieFinishReason::playbackEnded, error);
    };
    return player;
}

MPMoviePlayerController::MPMoviePlayerController(std::shared_ptr<Playback> playback)
    : playback_(std::move(playback)), view_(std::make_shared<VideoView>()) {
    view_->setPlayback(playback_);
}

MPMoviePlayerController::~MPMoviePlayerController() = default;

const std::optional<URL>& MPMoviePlayerController::contentURL() const {
    return playback_->url();
}

void MPMoviePlayerController::prepareToPlay() {
    playback_->prepare();
}

bool MPMoviePlayerController::isPreparedToPlay() const {
    const auto s = playback_->state();
    return s == PlaybackState::paused || s == PlaybackState::playing;
}

void MPMoviePlayerController::play() {
    // A new run of the video finishes anew.
    const auto s = playback_->state();
    if (s == PlaybackState::ended || s == PlaybackState::stopped) finished_ = false;
    playback_->play();
}

void MPMoviePlayerController::pause() {
    playback_->pause();
}

void MPMoviePlayerController::stop() {
    playback_->stop();
}

MPMoviePlaybackState MPMoviePlayerController::playbackState() const {
    switch (playback_->state()) {
    case PlaybackState::playing:
        return MPMoviePlaybackState::playing;
    case PlaybackState::paused:
        return MPMoviePlaybackState::paused;
    default:
        return playback_->isPlayingOrAboutTo() ? MPMoviePlaybackState::playing : MPMoviePlaybackState::stopped;
    }
}

double MPMoviePlayerController::currentPlaybackTime() const {
    return playback_->currentTime();
}

double MPMoviePlayerController::duration() const {
    return playback_->duration().value_or(0);
}

const std::optional<NSError>& MPMoviePlayerController::error() const {
    return playback_->error();
}

void MPMoviePlayerController::exitPlayback() {
    playback_->stop();
    if (finished_) return;
    finished_ = true;
    std::weak_ptr<MPMoviePlayerController> weak = weak_from_this();
    RunLoop::main().perform([weak] {
        if (auto self = weak.lock()) self->postFinish(MPMovieFinishReason::userExited, std::nullopt);
    });
}

void MPMoviePlayerController::finishPlayback() {
    playback_->finish();
}

void MPMoviePlayerController::postFinish(MPMovieFinishReason reason, const std::optional<NSError>& error) {
    // The end of a run that the person already left is not news.
    if (reason != MPMovieFinishReason::userExited && finished_) return;
    finished_ = true;
    std::map<std::string, std::any> info{
        {MPMoviePlayerPlaybackDidFinishReasonUserInfoKey, static_cast<long>(reason)}};
    if (error) info.emplace(MPMoviePlayerPlaybackDidFinishErrorUserInfoKey, *error);
    // Observers may let go of the player (and its controller) while they hear of it.
    auto keep = shared_from_this();
    NotificationCenter::defaultCenter().post(MPMoviePlayerPlaybackDidFinishNotification, this, std::move(info));
    if (finishedHook_) finishedHook_(reason);
}

MPMoviePlayerViewController::MPMoviePlayerViewController(std::optional<URL> contentURL)
    : MPMoviePlayerViewController(std::move(contentURL), std::nullopt) {}

MPMoviePlayerViewController::MPMoviePlayerViewController(std::optional<URL> contentURL,
                                                         std::optional<NSError> unavailable)
    : moviePlayer_(MPMoviePlayerController::make(std::move(contentURL), std::move(unavailable))) {
    // The hook is the controller's own; it goes with the controller's shared owner.
    moviePlayer_->finishedHook_ = [this](MPMovieFinishReason reason) { playerFinished(reason); };
}

MPMoviePlayerViewController::~MPMoviePlayerViewController() {
    moviePlayer_->finishedHook_ = nullptr;
}

void MPMoviePlayerViewController::loadView() {
    const CGRect screen = UIScreen::main().bounds();
    auto root = std::make_shared<UIView>(screen);
    root->setBackgroundColor(UIColor::blackColor());
    root->setClipsToBounds(true);

    auto video = moviePlayer_->view();
    video->setFrame(root->bounds());
    video->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    root->addSubview(video);

    topBar_ = std::make_shared<UIView>();
    topBar_->setBackgroundColor(UIColor::withWhite(0.1, 0.85));
    topBar_->setTranslatesAutoresizingMaskIntoConstraints(false);
    root->addSubview(topBar_);

    doneButton_ = std::make_shared<UIButton>(UIButtonType::custom);
    doneButton_->setTitle(kDoneTitle, UIControlStateNormal);
    doneButton_->setTitleColor(UIColor::whiteColor(), UIControlStateNormal);
    doneButton_->titleLabel()->setFont(UIFont::systemFont(17, UIFont::Weight::semibold));
    doneButton_->setContentEdgeInsets({4, 12, 4, 12});
    doneButton_->setAccessibilityIdentifier("MoviePlayerDoneButton");
    doneButton_->setTranslatesAutoresizingMaskIntoConstraints(false);
    doneButton_->addTarget(this, &MPMoviePlayerViewController::done, UIControlEventTouchUpInside);
    topBar_->addSubview(doneButton_);

    controls_ = std::make_shared<PlaybackControlsView>();
    controls_->setPlayback(moviePlayer_->playback());
    controls_->setTranslatesAutoresizingMaskIntoConstraints(false);
    root->addSubview(controls_);

    auto safe = root->safeAreaLayoutGuide();
    NSLayoutConstraint::activate({
        topBar_->leadingAnchor().constraintEqualTo(root->leadingAnchor()),
        topBar_->trailingAnchor().constraintEqualTo(root->trailingAnchor()),
        topBar_->topAnchor().constraintEqualTo(root->topAnchor()),
        topBar_->bottomAnchor().constraintEqualTo(safe->topAnchor(), 44),
        doneButton_->leadingAnchor().constraintEqualTo(topBar_->leadingAnchor(), 4),
        doneButton_->bottomAnchor().constraintEqualTo(topBar_->bottomAnchor()),
        doneButton_->heightAnchor().constraintEqualToConstant(44),
        controls_->leadingAnchor().constraintEqualTo(root->leadingAnchor()),
        controls_->trailingAnchor().constraintEqualTo(root->trailingAnchor()),
        controls_->bottomAnchor().constraintEqualTo(safe->bottomAnchor()),
        controls_->heightAnchor().constraintEqualToConstant(PlaybackControlsView::kHeight),
    });
    setView(root);
}

void MPMoviePlayerViewController::viewDidAppear(bool animated) {
    UIViewController::viewDidAppear(animated);
    if (appearedOnce_) return;
    appearedOnce_ = true;
    if (moviePlayer_->shouldAutoplay)
        moviePlayer_->play();
    else
        moviePlayer_->prepareToPlay();
}

void MPMoviePlayerViewController::viewDidDisappear(bool animated) {
    UIViewController::viewDidDisappear(animated);
    // A video that nobody sees does not go on to its end behind another screen.
    moviePlayer_->pause();
}

void MPMoviePlayerViewController::done() {
    const bool finishedBefore = moviePlayer_->hasFinished();
    moviePlayer_->exitPlayback();
    // After a failure nothing more is posted, so nothing else would close the player.
    if (finishedBefore && presentedForPlayback_ && presentingViewController() && !isBeingDismissed())
        dismiss(true);
}

void MPMoviePlayerViewController::playerFinished(MPMovieFinishReason reason) {
    // A failure stays on screen, saying so, until the person taps "Done".
    if (reason == MPMovieFinishReason::playbackError) return;
    if (presentedForPlayback_ && presentingViewController() && !isBeingDismissed()) dismiss(true);
}

void presentMoviePlayerViewControllerAnimated(UIViewController& presenter,
                                              const std::shared_ptr<MPMoviePlayerViewController>& player) {
    if (!player) return;
    player->presentedForPlayback_ = true;
    player->modalPresentationStyle = UIModalPresentationStyle::fullScreen;
    presenter.present(player, true);
}

void dismissMoviePlayerViewControllerAnimated(UIViewController& presenter) {
    if (std::dynamic_pointer_cast<MPMoviePlayerViewController>(presenter.presentedViewController()))
        presenter.dismiss(true);
}
