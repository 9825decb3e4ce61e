#include "Controllers/Education/VideoViewController.h"

#include "Services/BaseHTTPService.h"

std::optional<URL> VideoViewController::sampleVideoURL() {
    return URL::fromString(BaseHTTPService::baseServerURL() + kSampleVideoPath);
}

void VideoViewController::viewDidLoad() {
    UIViewController::viewDidLoad();
    view()->setBackgroundColor(UIColor::whiteColor());
    auto url = sampleVideoURL();
    if (!url) return;
    moviePlayer = std::make_shared<AVPlayerViewController>();
    moviePlayer->setPlayer(AVPlayer::make(*url));
    moviePlayer->setShowsPlaybackControls(true);
    auto playerView = moviePlayer->view();
    playerView->setFrame({20, 100, 200, 150});
    view()->addSubview(playerView);
}
