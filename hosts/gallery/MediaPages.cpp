// The media kits as the post and education screens show them: the full-screen picture gallery, the
// movie player on a decoded picture, the small player inside a screen, and a video that cannot be
// played. The videos are made here and served from a local HTTP server, as the demo server does.

#include "GalleryPage.h"
#include "LandscapePicture.h"

#include "foundation/dispatch/RunLoop.h"
#include "kits/gallery/GalleryViewController.h"
#include "kits/video/AVPlayerViewController.h"
#include "kits/video/VideoView.h"
#include "kits/video/XCDYouTubeVideoPlayerViewController.h"
#include "tests/support/video/VideoEncoder.h"
#include "uikit/graphics/UIGraphics.h"

#include <httplib.h>

#include <cmath>
#include <thread>

namespace cw::gallery {

namespace {

// A second picture for the gallery: evening over the same hills.
std::shared_ptr<UIImage> eveningPicture() {
    UIGraphicsImageRenderer renderer({300, 400});
    return renderer.image([](UIGraphicsImageRendererContext& r) {
        auto& c = r.cgContext();
        c.drawLinearGradient({UIColor(0.16, 0.13, 0.35), UIColor(0.93, 0.45, 0.33)}, {}, {0, 0}, {0, 260});
        UIColor(1, 0.85, 0.55).setFill();
        c.fillEllipse({180, 170, 70, 70});
        UIColor(0.18, 0.22, 0.25).setFill();
        c.fill(CGRect{0, 250, 300, 150});
        UIColor(0.25, 0.3, 0.32).setFill();
        c.fillEllipse({-60, 210, 260, 120});
        c.fillEllipse({140, 225, 240, 110});
    });
}

class Pictures : public GalleryItemsDataSource {
public:
    int itemCount() override { return 2; }
    GalleryItem provideGalleryItem(int index) override {
        return GalleryItem::image([index](const std::function<void(std::shared_ptr<UIImage>)>& completion) {
            completion(index == 0 ? landscapePicture() : eveningPicture());
        });
    }
};

bool drawImageGallery(Context& context, std::string* error) {
    auto pictures = std::make_shared<Pictures>();
    auto gallery = std::make_shared<GalleryViewController>(
        1, pictures,
        GalleryConfiguration{GalleryConfigurationItem::closeButtonMode(ButtonMode::builtIn),
                             GalleryConfigurationItem::overlayColor(UIColor::blackColor())});
    presentImageGallery(*context.root, gallery);
    context.host.settle();
    // Back to the first picture by a drag, as a person pages.
    context.host.drag({60, 330}, {300, 330}, 8);
    return context.host.screenshot(context.outputDirectory / "image-gallery.png", error);
}

// Serves one video at /videos/demo.mp4 on a free port of the loopback address.
class VideoServer {
public:
    explicit VideoServer(std::string bytes) : bytes_(std::move(bytes)) {
        server_.Get("/videos/demo.mp4", [this](const httplib::Request&, httplib::Response& response) {
            response.set_content(bytes_, "video/mp4");
        });
        port_ = server_.bind_to_any_port("127.0.0.1");
        thread_ = std::thread([this] { server_.listen_after_bind(); });
    }
    ~VideoServer() {
        server_.stop();
        thread_.join();
    }
    std::optional<URL> url() const {
        return URL::fromString("http://127.0.0.1:" + std::to_string(port_) + "/videos/demo.mp4");
    }

private:
    std::string bytes_;
    httplib::Server server_;
    int port_ = 0;
    std::thread thread_;
};

// Turns the loop until the view draws the picture of the clock's present time.
bool showsPictureOfNow(video::VideoView& view) {
    const double now = view.playback()->currentTime();
    return RunLoop::main().runUntil(
        [&] {
            const auto t = view.displayedFrameTime();
            return t && *t <= now + 1e-6 && now - *t < 0.04 + 1e-6;
        },
        20.0);
}

bool drawVideo(Context& context, std::string* error) {
    test::VideoSpec spec;
    spec.width = 640;
    spec.height = 360;
    spec.framesPerSecond = 25;
    spec.frameCount = 100;
    const auto bytes = test::encodeVideo(spec, test::countingFrames(0x3a9d8f), error);
    if (!bytes) return false;
    VideoServer server(std::string(bytes->begin(), bytes->end()));

    // Full screen, 1.48 seconds in (picture 37), paused there for the picture.
    auto player = std::make_shared<MPMoviePlayerViewController>(server.url());
    presentMoviePlayerViewControllerAnimated(*context.root, player);
    context.host.settle();
    auto playback = player->moviePlayer()->playback();
    if (!RunLoop::main().runUntil([&] { return playback->state() == video::PlaybackState::playing; }, 20.0)) {
        *error = "the video did not start";
        return false;
    }
    context.host.advance(1.48);
    player->moviePlayer()->pause();
    if (!showsPictureOfNow(*player->moviePlayer()->view())) {
        *error = "the video's picture did not come";
        return false;
    }
    if (!context.host.screenshot(context.outputDirectory / "video-player.png", error)) return false;
    context.host.tapText("Done");

    // Inside a screen, before anyone played it: the first picture and the controls.
    auto inline_ = std::make_shared<AVPlayerViewController>();
    inline_->setPlayer(AVPlayer::make(*server.url()));
    inline_->view()->setFrame({20, 100, 335, 190});
    context.root->view()->addSubview(inline_->view());
    if (!RunLoop::main().runUntil(
            [&] { return inline_->player()->status() == AVPlayerStatus::readyToPlay; }, 20.0)) {
        *error = "the small player did not load";
        return false;
    }
    if (!context.host.screenshot(context.outputDirectory / "video-inline.png", error)) return false;
    inline_->view()->removeFromSuperview();

    // A video that cannot be had.
    auto missing = std::make_shared<XCDYouTubeVideoPlayerViewController>(std::nullopt);
    presentMoviePlayerViewControllerAnimated(*context.root, missing);
    context.host.settle();
    RunLoop::main().runUntil(
        [&] { return missing->moviePlayer()->playback()->state() == video::PlaybackState::failed; }, 20.0);
    return context.host.screenshot(context.outputDirectory / "video-error.png", error);
}

Registration galleryPage{"image-gallery", drawImageGallery};
Registration videoPage{"video", drawVideo};

} // namespace

} // namespace cw::gallery
