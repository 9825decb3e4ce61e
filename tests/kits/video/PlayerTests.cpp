#include "VideoTestSupport.h"

#include "foundation/dispatch/NotificationCenter.h"
#include "foundation/dispatch/RunLoop.h"
#include "kits/video/AVPlayerViewController.h"
#include "kits/video/XCDYouTubeVideoPlayerViewController.h"
#include "tests/support/AppEnvironment.h"
#include "tests/support/RecordingServer.h"
#include "uikit/controllers/UINavigationController.h"
#include "uikit/controls/UIButton.h"
#include "uikit/view/UILabel.h"

#include <gtest/gtest.h>

#include <vector>

using cw::test::RecordingServer;
using cw::test::Reply;
using cw::test::sampleFrameAt;
using cw::test::showsPictureOfNow;
using cw::video::PlaybackControlsView;
using cw::video::PlaybackState;

namespace {

struct Heard {
    std::string name;
    const void* object = nullptr;
    std::optional<long> reason;
    std::optional<NSError> error;
};

// Everything the players post on the default centre, in order.
class Listener {
public:
    Listener() {
        for (const auto* name : {&MPMoviePlayerPlaybackDidFinishNotification, &AVPlayerItemDidPlayToEndTimeNotification,
                                 &AVPlayerItemFailedToPlayToEndTimeNotification})
            tokens_.push_back(NotificationCenter::defaultCenter().addObserver(
                *name, nullptr, nullptr, [this](const Notification& n) {
                    Heard h{n.name, n.object, n.value<long>(MPMoviePlayerPlaybackDidFinishReasonUserInfoKey),
                            n.value<NSError>(MPMoviePlayerPlaybackDidFinishErrorUserInfoKey)};
                    if (!h.error) h.error = n.value<NSError>(AVPlayerItemFailedToPlayToEndTimeErrorKey);
                    heard.push_back(std::move(h));
                }));
    }
    ~Listener() {
        for (auto& t : tokens_) NotificationCenter::defaultCenter().removeObserver(t);
    }
    std::vector<Heard> heard;

private:
    std::vector<std::shared_ptr<NotificationObserver>> tokens_;
};

class PlayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(cw::test::sampleVideo().empty());
        app = std::make_shared<cw::test::WhiteScreenApp>();
        host.launch(app);
        server.reply("GET", "/static-files/videos/cwDemoCpr01.mp4", Reply{200, cw::test::sampleVideo(), "video/mp4"});
        server.reply("GET", "/videos/sample.mp4", Reply{200, cw::test::sampleVideo(), "video/mp4"});
        server.reply("GET", "/videos/noise.mp4", Reply{200, std::string(3000, '\x5a'), "video/mp4"});
        server.reply("GET", "/videos/gone.mp4", Reply{404, "no such video", "text/plain"});
        server.reply("GET", "/videos/stream.mp4",
                     Reply{200, "v=0\r\no=- 0 0 IN IP4 127.0.0.1\r\ns=Stream\r\nc=IN IP4 127.0.0.1\r\nt=0 0\r\n"
                                "m=video 5004 RTP/AVP 96\r\na=rtpmap:96 H264/90000\r\n",
                           "application/sdp"});
        environment.writeInfo({{"SERVER_URL", server.base()}});
    }

    URL address(const std::string& path) const { return *URL::fromString(server.base() + path); }

    static bool waitFor(const std::shared_ptr<cw::video::Playback>& playback, PlaybackState state) {
        return RunLoop::main().runUntil([&] { return playback->state() == state; }, 20.0);
    }

    cw::HeadlessHost host;
    std::shared_ptr<cw::test::WhiteScreenApp> app;
    RecordingServer server;
    cw::test::AppEnvironment environment{"cw-video"};
    Listener listener;
};

TEST_F(PlayerTest, APlayerFollowsTheClockPausesAndPostsItsEndOnce) {
    auto player = AVPlayer::make(address("/videos/sample.mp4"));
    EXPECT_EQ(player->status(), AVPlayerStatus::unknown);
    EXPECT_FALSE(player->currentItem()->duration().isValid());
    host.settle();
    EXPECT_EQ(server.requestCount(), 0u) << "nothing is fetched before it is asked for";

    cw::video::VideoView view;
    view.setFrame({0, 0, 64, 48});
    view.setPlayback(player->playback());
    player->play();
    EXPECT_EQ(player->rate(), 1.0f);
    ASSERT_TRUE(waitFor(player->playback(), PlaybackState::playing));
    EXPECT_EQ(player->status(), AVPlayerStatus::readyToPlay);
    EXPECT_NEAR(player->currentItem()->duration().seconds(), 2.0, 0.01);
    ASSERT_EQ(server.requestsAt("/videos/sample.mp4").size(), 1u);
    EXPECT_EQ(player->currentTime().seconds(), 0);
    ASSERT_TRUE(showsPictureOfNow(view));
    EXPECT_EQ(cw::test::frameShownBy(view), 0);

    host.advance(0.25);
    EXPECT_NEAR(CMTimeGetSeconds(player->currentTime()), 0.25, 0.002);
    ASSERT_TRUE(showsPictureOfNow(view));
    EXPECT_EQ(cw::test::frameShownBy(view), 2);

    // A jump well past what was decoded ahead: the decoder catches up with the clock.
    host.advance(1.2);
    ASSERT_TRUE(showsPictureOfNow(view));
    EXPECT_EQ(cw::test::frameShownBy(view), 14);

    player->pause();
    EXPECT_EQ(player->rate(), 0.0f);
    const double pausedAt = player->currentTime().seconds();
    host.advance(3);
    EXPECT_EQ(player->currentTime().seconds(), pausedAt);
    EXPECT_TRUE(listener.heard.empty());

    player->play();
    host.advance(2);
    ASSERT_EQ(listener.heard.size(), 1u);
    EXPECT_EQ(listener.heard[0].name, AVPlayerItemDidPlayToEndTimeNotification);
    EXPECT_EQ(listener.heard[0].object, player->currentItem().get());
    EXPECT_EQ(player->rate(), 0.0f);
    EXPECT_NEAR(player->currentTime().seconds(), 2.0, 0.002);
    ASSERT_TRUE(showsPictureOfNow(view));
    EXPECT_EQ(cw::test::frameShownBy(view), 19);
    host.advance(5);
    EXPECT_EQ(listener.heard.size(), 1u);

    // Playing again starts over, without fetching the file again.
    player->play();
    ASSERT_TRUE(waitFor(player->playback(), PlaybackState::playing));
    EXPECT_EQ(player->currentTime().seconds(), 0);
    ASSERT_TRUE(showsPictureOfNow(view));
    EXPECT_EQ(cw::test::frameShownBy(view), 0);
    EXPECT_EQ(server.requestsAt("/videos/sample.mp4").size(), 1u);
}

TEST_F(PlayerTest, APlayerViewShowsTheFirstPictureAndPlaysAfterItsControl) {
    auto controller = std::make_shared<AVPlayerViewController>();
    controller->setPlayer(AVPlayer::make(address("/videos/sample.mp4")));
    controller->setShowsPlaybackControls(true);
    // Placed inside a screen of its own, as a small picture.
    controller->view()->setFrame({20, 100, 200, 150});
    app->root->view()->addSubview(controller->view());
    auto playback = controller->player()->playback();
    ASSERT_TRUE(waitFor(playback, PlaybackState::paused));
    host.settle();

    auto& video = *controller->videoView();
    EXPECT_EQ(video.frame().size, (CGSize{200, 150}));
    EXPECT_EQ(cw::test::frameShownBy(video), 0);
    EXPECT_TRUE(host.isShowing("Play"));
    EXPECT_TRUE(host.isShowing("0:00 / 0:02"));
    host.advance(1);
    EXPECT_EQ(playback->currentTime(), 0) << "it does not start by itself";

    ASSERT_TRUE(host.tapText("Play"));
    EXPECT_TRUE(host.isShowing("Pause"));
    host.advance(1.0);
    ASSERT_TRUE(showsPictureOfNow(video));
    EXPECT_GE(cw::test::frameShownBy(video), 10);
    EXPECT_TRUE(host.isShowing("0:01 / 0:02"));

    ASSERT_TRUE(host.tapText("Pause"));
    const int shown = cw::test::frameShownBy(video);
    host.advance(0.5);
    host.settle();
    EXPECT_EQ(cw::test::frameShownBy(video), shown);
    EXPECT_TRUE(host.isShowing("Play"));
}

TEST_F(PlayerTest, AVideoThatCannotBeHadFailsWithItsReason) {
    struct Case {
        std::string path;
        std::string domain;
    };
    for (const Case& c : {Case{"/videos/noise.mp4", "AVFoundationErrorDomain"},
                          Case{"/videos/stream.mp4", "AVFoundationErrorDomain"},
                          Case{"/videos/gone.mp4", "com.alamofire.error.serialization.response"}}) {
        SCOPED_TRACE(c.path);
        listener.heard.clear();
        auto controller = std::make_shared<AVPlayerViewController>();
        controller->setPlayer(AVPlayer::make(address(c.path)));
        controller->view()->setFrame({20, 100, 200, 150});
        app->root->view()->addSubview(controller->view());
        controller->player()->play();
        ASSERT_TRUE(waitFor(controller->player()->playback(), PlaybackState::failed));
        host.settle();
        EXPECT_EQ(controller->player()->status(), AVPlayerStatus::failed);
        ASSERT_TRUE(controller->player()->error());
        EXPECT_EQ(controller->player()->error()->domain, c.domain);
        EXPECT_TRUE(host.isShowing("This video cannot be played."));
        EXPECT_FALSE(controller->controlsView()->playPauseButton()->isEnabled());
        ASSERT_EQ(listener.heard.size(), 1u);
        EXPECT_EQ(listener.heard[0].name, AVPlayerItemFailedToPlayToEndTimeNotification);
        ASSERT_TRUE(listener.heard[0].error);
        EXPECT_EQ(listener.heard[0].error->domain, c.domain);
        controller->view()->removeFromSuperview();
    }
}

TEST_F(PlayerTest, AnIdentifierPlaysItsServerVideoPresentedAndClosesAtTheEnd) {
    auto player = std::make_shared<XCDYouTubeVideoPlayerViewController>("cwDemoCpr01");
    presentMoviePlayerViewControllerAnimated(*app->root, player);
    host.settle();
    EXPECT_EQ(host.topViewController(), player);
    EXPECT_TRUE(host.isShowing("Done"));
    auto playback = player->moviePlayer()->playback();
    ASSERT_TRUE(waitFor(playback, PlaybackState::playing));
    ASSERT_EQ(server.requestsAt("/static-files/videos/cwDemoCpr01.mp4").size(), 1u);
    EXPECT_EQ(player->moviePlayer()->playbackState(), MPMoviePlaybackState::playing);

    const double before = player->moviePlayer()->currentPlaybackTime();
    host.advance(0.3);
    ASSERT_TRUE(showsPictureOfNow(*player->moviePlayer()->view()));
    EXPECT_EQ(cw::test::frameShownBy(*player->moviePlayer()->view()), sampleFrameAt(before + 0.3));

    host.advance(2);
    host.settle();
    ASSERT_EQ(listener.heard.size(), 1u);
    EXPECT_EQ(listener.heard[0].name, MPMoviePlayerPlaybackDidFinishNotification);
    EXPECT_EQ(listener.heard[0].object, player->moviePlayer().get());
    EXPECT_EQ(listener.heard[0].reason, 0L);
    EXPECT_EQ(host.topViewController(), app->root) << "a player presented for playback closes at the end";
}

TEST_F(PlayerTest, DoneEndsWithUserExitedAndTheHostCanEndPlayback) {
    auto player = std::make_shared<XCDYouTubeVideoPlayerViewController>("cwDemoCpr01");
    presentMoviePlayerViewControllerAnimated(*app->root, player);
    host.settle();
    ASSERT_TRUE(waitFor(player->moviePlayer()->playback(), PlaybackState::playing));
    ASSERT_TRUE(host.tapText("Done"));
    ASSERT_EQ(listener.heard.size(), 1u);
    EXPECT_EQ(listener.heard[0].reason, 2L);
    EXPECT_EQ(host.topViewController(), app->root);
    EXPECT_EQ(player->moviePlayer()->playbackState(), MPMoviePlaybackState::stopped);

    // Pushed onto a navigation controller, as the class screen shows it: the host finds it there,
    // and the player leaves closing to whoever hears the end.
    listener.heard.clear();
    auto navigation = UINavigationController::withRoot(std::make_shared<UIViewController>());
    app->root->present(navigation, false);
    host.settle();
    auto pushed = std::make_shared<XCDYouTubeVideoPlayerViewController>("cwDemoCpr01");
    navigation->pushViewController(pushed, true);
    host.settle();
    ASSERT_TRUE(waitFor(pushed->moviePlayer()->playback(), PlaybackState::playing));
    ASSERT_TRUE(host.finishPlayback());
    ASSERT_EQ(listener.heard.size(), 1u);
    EXPECT_EQ(listener.heard[0].object, pushed->moviePlayer().get());
    EXPECT_EQ(listener.heard[0].reason, 0L);
    EXPECT_EQ(navigation->topViewController(), pushed);
    EXPECT_FALSE(host.finishPlayback()) << "the finished player is still on screen but has nothing left to end";
}

TEST_F(PlayerTest, WithoutAPlayableVideoThePlayerSaysSoAndEndsWithTheErrorReason) {
    struct Case {
        std::optional<std::string> identifier;
        std::string domain;
        long code;
    };
    server.reply("GET", "/static-files/videos/broken.mp4", Reply{200, std::string(2000, '\x11'), "video/mp4"});
    for (const Case& c : {Case{std::nullopt, "XCDYouTubeVideoErrorDomain", 2},
                          Case{"../../secrets", "XCDYouTubeVideoErrorDomain", 2},
                          Case{"broken", "AVFoundationErrorDomain", -11828}}) {
        SCOPED_TRACE(c.identifier.value_or("(none)"));
        listener.heard.clear();
        server.clearRequests();
        auto player = std::make_shared<XCDYouTubeVideoPlayerViewController>(c.identifier);
        presentMoviePlayerViewControllerAnimated(*app->root, player);
        host.settle();
        ASSERT_TRUE(waitFor(player->moviePlayer()->playback(), PlaybackState::failed));
        host.settle();
        ASSERT_EQ(listener.heard.size(), 1u);
        EXPECT_EQ(listener.heard[0].reason, 1L);
        ASSERT_TRUE(listener.heard[0].error);
        EXPECT_EQ(listener.heard[0].error->domain, c.domain);
        EXPECT_EQ(listener.heard[0].error->code, c.code);
        if (c.domain == "XCDYouTubeVideoErrorDomain") {
            EXPECT_EQ(server.requestCount(), 0u);
        }
        // The failure stays on screen until the person leaves it; leaving posts nothing more.
        EXPECT_EQ(host.topViewController(), player);
        EXPECT_TRUE(host.isShowing("This video cannot be played."));
        ASSERT_TRUE(host.tapText("Done"));
        EXPECT_EQ(listener.heard.size(), 1u);
        EXPECT_EQ(host.topViewController(), app->root);
    }
}

} // namespace
