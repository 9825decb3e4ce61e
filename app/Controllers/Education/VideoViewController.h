#pragma once

// A screen that plays the library's sample video with the player's controls, in a small frame
// (200 by 150 points at 20, 100). The video waits for the member to start it.

#include "kits/video/AVPlayerViewController.h"
#include "uikit/controllers/UIViewController.h"

#include <memory>
#include <optional>

class VideoViewController : public UIViewController {
public:
    static constexpr const char* kSampleVideoPath = "/static-files/videos/sample.mp4";

    VideoViewController() = default;
    std::string className() const override { return "VideoViewController"; }

    // Made when the view loads.
    std::shared_ptr<AVPlayerViewController> moviePlayer;

    // SERVER_URL followed by the sample video's path; none when that is no address.
    static std::optional<URL> sampleVideoURL();

    void viewDidLoad() override;
};
